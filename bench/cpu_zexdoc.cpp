// Speed of the bare Z80 core: emulated T-states per second of processor time while it runs the
// zexdoc instruction exerciser on a flat 64 KB bus with no contention, that rate as a multiple of a
// 3.5 MHz Spectrum ("x real time"), and the instructions per second.
//
//   orvo-bench-cpu_zexdoc [--seconds S]     zexdoc is read from $ORVO_SHARED or ../shared
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_report.h"
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

// Puts the exerciser at 0x100 with a CP/M "BDOS" that returns at once (its output is not needed).
void LoadExerciser(BenchBus& bus, const std::vector<uint8_t>& program) {
  for (size_t i = 0; i < program.size() && 0x100 + i < 0xF000; ++i) bus.mem[0x100 + i] = program[i];
  bus.mem[0x0005] = 0xC3;  // JP 0xF000 (BDOS), whose address word is also the stack top
  bus.mem[0x0006] = 0x00;
  bus.mem[0x0007] = 0xF0;
  bus.mem[0xF000] = 0xC9;  // RET
  bus.cpu.PC = 0x0100;
  bus.cpu.SP = 0xF000;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvo::bench;
  if (!ParseCommonOptions(argc, argv, "Measures the bare Z80 core running zexdoc.")) return 0;
  const std::string path = SharedDir() + "/testdata/cpu/zex/zexdoc.com";
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> program((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
  if (program.empty()) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }

  auto bus = std::make_unique<BenchBus>();
  LoadExerciser(*bus, program);
  uint64_t instructions = 0;
  // One frame's worth of instructions between checks, as the frame loop runs them.
  const Measured run = MeasureAtLeast(
      [&](uint64_t frames) {
        for (uint64_t f = 0; f < frames; ++f) {
          while (bus->FrameTState < 69888) {
            orvo::ExecuteZ80(*bus);
            ++instructions;
          }
          bus->FrameTState -= 69888;
          if (bus->cpu.PC == 0x0000) LoadExerciser(*bus, program);  // finished: start again
        }
        return frames;
      },
      20);
  PrintTStateRate("cpu_zexdoc.bare_core", run.PerSecond() * 69888);
  PrintFigure("cpu_zexdoc.instructions", static_cast<double>(instructions) / run.seconds / 1e6,
              "Minstr/s");
  return 0;
}
