// Speed of the bare Z80 core: emulated T-states per host second while it runs the zexdoc
// instruction exerciser on a flat 64 KB bus with no contention, and that rate as a multiple of a
// 3.5 MHz Spectrum ("x real time").
//
//   orvo-bench-cpu_zexdoc [T-states]     default 2e9; zexdoc is read from ORVO_SHARED or ../shared
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cpu/z80.h"

namespace {

// The leanest bus the core can run against: flat RAM and the plain cycle lengths.
struct BenchBus {
  orvo::CpuState cpu;
  uint32_t FrameTState = 0;
  uint32_t InstructionStartTState = 0;
  uint32_t InstructionTStates = 0;
  uint8_t InterruptArmed = 0;
  orvo::FetchTrapList FetchTraps;  // none registered
  uint8_t mem[65536] = {};

  uint8_t FetchOpcode(uint16_t a) {
    FrameTState += 4;
    return mem[a];
  }
  uint8_t ReadByte(uint16_t a) {
    FrameTState += 3;
    return mem[a];
  }
  void WriteByte(uint16_t a, uint8_t v) {
    FrameTState += 3;
    mem[a] = v;
  }
  void InternalCycles(uint16_t, uint32_t n) { FrameTState += n; }
  uint8_t ReadPort(uint16_t port) {
    FrameTState += 4;
    return static_cast<uint8_t>(port >> 8);
  }
  void WritePort(uint16_t, uint8_t) { FrameTState += 4; }
  uint32_t InterruptLength() const { return 32; }
  uint8_t InterruptDataBus() { return 0xFF; }
  bool IsCmos() const { return false; }
  void OnIRegisterWrite() {}
  void OnNmiAccepted() {}
};

std::string SharedDir() {
  const char* env = std::getenv("ORVO_SHARED");
  if (env && *env) return env;
  return std::string(ORVO_SOURCE_DIR) + "/../shared";
}

}  // namespace

int main(int argc, char** argv) {
  const double wanted = argc > 1 ? std::atof(argv[1]) : 2e9;
  const uint64_t limit = wanted > 0 ? static_cast<uint64_t>(wanted) : 2000000000ull;
  const std::string path = SharedDir() + "/testdata/cpu/zex/zexdoc.com";
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> program((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
  if (program.empty()) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }

  auto bus = std::make_unique<BenchBus>();
  for (size_t i = 0; i < program.size() && 0x100 + i < 0xF000; ++i)
    bus->mem[0x100 + i] = program[i];
  bus->mem[0x0005] = 0xC3;  // JP 0xF000 (BDOS), whose address word is also the stack top
  bus->mem[0x0006] = 0x00;
  bus->mem[0x0007] = 0xF0;
  bus->mem[0xF000] = 0xC9;  // RET: the exerciser's output is not needed here
  bus->cpu.PC = 0x0100;
  bus->cpu.SP = 0xF000;

  uint64_t tstates = 0;
  uint64_t instructions = 0;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  while (tstates < limit) {
    // One frame's worth of instructions between checks, as the frame loop runs them.
    while (bus->FrameTState < 69888) {
      orvo::ExecuteZ80(*bus);
      ++instructions;
    }
    bus->FrameTState -= 69888;
    tstates += 69888;
    if (bus->cpu.PC == 0x0000) break;  // the exerciser finished
  }
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The processor time is the figure that counts on a shared machine; the wall time is shown too.
  const double seconds = cpuSeconds > 0 ? cpuSeconds : wallSeconds;
  const double rate = static_cast<double>(tstates) / seconds;
  std::printf("zexdoc on the bare core: %.3g T-states in %.3f s of processor time (%.3f s wall)\n",
              static_cast<double>(tstates), cpuSeconds, wallSeconds);
  std::printf("%.4g T-states per second, %.1f x real time (3.5 MHz = 1x), %.1f M instructions/s\n",
              rate, rate / 3.5e6, static_cast<double>(instructions) / seconds / 1e6);
  return 0;
}
