// Whole-machine speed: a 48K with contention on, the ULA drawing every frame, headless.
// Measures the idle BASIC prompt and a CPU-heavy program (z80full's code running under the ROM),
// then the same program with the Beta 128 fitted (its TR-DOS entry watched at every fetch), and
// prints emulated T-states per second of processor time and "x real time" (3.5 MHz = 1x).
//
//   orvo-bench-machine_48k [--seconds S]     ROMs and z80full from $ORVO_SHARED or ../shared
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "devices/beta128.h"
#include "devices/device.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (!bench::ParseCommonOptions(argc, argv, "Measures a whole 48K machine.")) return 0;
  const std::string shared = bench::SharedDir();
  BenchHost host;
  Emulator emu(host);
  if (!bench::SetUpBenchMachine(emu, host, kModel48K)) return 1;

  for (int f = 0; f < 150; ++f) RunFrame(emu);  // boot to the prompt
  bench::PrintTStateRate("machine_48k.idle_prompt", bench::FrameRate(emu));

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
  bench::PrintTStateRate("machine_48k.busy_program", bench::FrameRate(emu));

  std::vector<uint8_t> trdos = ReadFile(shared + "/roms/extras/trdos.rom");
  if (trdos.size() != kTrdosRomSize) {
    std::fprintf(stderr, "no roms/extras/trdos.rom: the Beta 128 measurement is left out\n");
    return 0;
  }
  emu.settings.Beta128 = emu.m.settings.Beta128 = 1;
  emu.m.TrdosRom = std::move(trdos);
  UpdateDevices(emu.m);
  emu.m.cpu.PC = start;
  emu.m.cpu.SP = 0x7FF0;
  bench::PrintTStateRate("machine_48k.busy_program_beta128", bench::FrameRate(emu));
  return 0;
}
