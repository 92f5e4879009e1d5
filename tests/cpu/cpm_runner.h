#pragma once
// Bare-machine runs of whole test programs on a FlatBus: a loop that ends when the program returns
// to 0x0000, and a CP/M .COM runner (the instruction exercisers) on top of it: the program at
// 0x0100, a BDOS entry at 0x0005 that prints for functions 2 (character in E) and 9
// ('$'-terminated string at DE).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"

namespace orvo::test {

// Runs `bus` until PC reaches 0x0000 (true) or `limit` T-states have passed (false), calling
// `atPc(pc)` before each instruction at an address from 1 to `watchTop`.
template <class AtPc>
bool RunToZero(FlatBus& bus, uint64_t limit, uint16_t watchTop, AtPc atPc) {
  uint64_t tstates = 0;
  while (tstates + bus.FrameTState < limit) {
    const uint16_t pc = bus.cpu.PC;
    if (pc <= watchTop) [[unlikely]] {
      if (pc == 0x0000) return true;
      atPc(pc);
    }
    ExecuteZ80(bus);
    if (bus.FrameTState >= (1u << 30)) {
      tstates += bus.FrameTState;
      bus.FrameTState = 0;
    }
  }
  return false;
}

struct CpmRun {
  std::string output;
  bool finished = false;  // reached 0x0000 before the T-state limit
};

inline CpmRun RunCpmProgram(const std::vector<uint8_t>& program, uint64_t limit) {
  auto bus = std::make_unique<FlatBus>();
  CpmRun run;
  for (size_t i = 0; i < program.size() && 0x100 + i < 0xF000; ++i)
    bus->mem[0x100 + i] = program[i];
  bus->Load(0x0005, {0xC3, 0x00, 0xF0});  // JP 0xF000; the word at 0x0006 is the stack top
  bus->mem[0xF000] = 0xC9;                // RET
  bus->cpu.PC = 0x0100;
  bus->cpu.SP = 0xF000;
  run.finished = RunToZero(*bus, limit, 0x0005, [&](uint16_t pc) {
    const CpuState& c = bus->cpu;
    if (pc != 0x0005) return;
    if (c.BC.b.l == 2) {
      run.output.push_back(static_cast<char>(c.DE.b.l));
    } else if (c.BC.b.l == 9) {
      for (uint16_t a = c.DE.w; bus->mem[a] != '$' && run.output.size() < (1u << 20); ++a)
        run.output.push_back(static_cast<char>(bus->mem[a]));
    }
  });
  return run;
}

// Counts the lines of an exerciser's report that end in "OK" and those that report an error.
inline void CountExerciserResults(const std::string& output, int& ok, int& errors) {
  ok = errors = 0;
  std::string line;
  for (char ch : output + "\n") {
    if (ch == '\n' || ch == '\r') {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      if (line.size() >= 2 && line.compare(line.size() - 2, 2, "OK") == 0) ++ok;
      if (line.find("ERROR") != std::string::npos) ++errors;
      line.clear();
    } else {
      line.push_back(ch);
    }
  }
}

}  // namespace orvo::test
