// Whole-machine speed: a 48K with contention on, the ULA drawing every frame, headless.
// Measures the idle BASIC prompt and a CPU-heavy program (z80full's code running under the ROM),
// and prints emulated T-states per host second and "x real time" (3.5 MHz = 1x).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "machine/setup.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"

namespace {

using namespace orvo;

using bench::BenchHost;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The data block that follows the first CODE header of a TAP file.
bool FindCodeBlock(const std::vector<uint8_t>& tap, std::vector<uint8_t>* code, uint16_t* start) {
  size_t pos = 0;
  bool nextIsCode = false;
  while (pos + 2 <= tap.size()) {
    const size_t len = tap[pos] | (tap[pos + 1] << 8);
    pos += 2;
    if (pos + len > tap.size() || len < 2) return false;
    const uint8_t* block = &tap[pos];
    if (nextIsCode && block[0] == 0xFF) {
      code->assign(block + 1, block + len - 1);
      return true;
    }
    nextIsCode = block[0] == 0x00 && len == 19 && block[1] == 3;
    if (nextIsCode) *start = static_cast<uint16_t>(block[14] | (block[15] << 8));
    pos += len;
  }
  return false;
}

double Run(Emulator& emu, int frames, double* seconds) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) RunFrame(emu);
  const auto t1 = std::chrono::steady_clock::now();
  *seconds = std::chrono::duration<double>(t1 - t0).count();
  return static_cast<double>(frames) * emu.m.FrameLength / *seconds;
}

void Report(const char* what, double tstatesPerSecond, double seconds) {
  std::printf("%-34s %8.1f M T-states/s  %7.1fx real time  (%.2f s)\n", what,
              tstatesPerSecond / 1e6, tstatesPerSecond / 3.5e6, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string shared = bench::SharedDir();
  int frames = 3000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf(
          "Usage: %s [--frames N]\nMeasures a whole 48K machine (ROMs from $ORVO_SHARED/roms).\n",
          argv[0]);
      return 0;
    }
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::atoi(argv[++i]);
  }

  BenchHost host;
  Emulator emu(host);
  if (!bench::SetUpBenchMachine(emu, host, kModel48K)) return 1;

  double seconds = 0;
  Run(emu, 150, &seconds);  // boot to the prompt
  double rate = Run(emu, frames, &seconds);
  Report("48K, idle BASIC prompt:", rate, seconds);

  std::vector<uint8_t> code;
  uint16_t start = 0x8000;
  const std::vector<uint8_t> tap = ReadFile(shared + "/testdata/cpu/z80test/z80full.tap");
  if (!FindCodeBlock(tap, &code, &start)) {
    std::fprintf(stderr, "cannot read the code block of z80full.tap\n");
    return 1;
  }
  for (size_t i = 0; i < code.size(); ++i) {
    emu.m.PageTable[(start + i) >> 13][(start + i) & 0x1FFF] = code[i];
  }
  emu.m.cpu.PC = start;
  emu.m.cpu.SP = 0x7FF0;
  rate = Run(emu, frames, &seconds);
  Report("48K, busy program (z80full):", rate, seconds);
  return 0;
}
