#pragma once
// A CP/M .COM runner for the instruction exercisers on a FlatBus: the program at 0x0100, a BDOS
// entry at 0x0005 that prints for functions 2 (character in E) and 9 ('$'-terminated string at
// DE), and the run ends when the program returns to 0x0000.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"

namespace orvo::test {

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
  // Runs until the program returns to 0x0000 or `limit` T-states have passed.
  for (uint64_t tstates = 0; tstates + bus->FrameTState < limit;) {
    const CpuState& c = bus->cpu;
    if (c.PC <= 0x0005) [[unlikely]] {
      if (c.PC == 0x0000) {
        run.finished = true;
        break;
      }
      if (c.PC == 0x0005 && c.BC.b.l == 2) {
        run.output.push_back(static_cast<char>(c.DE.b.l));
      } else if (c.PC == 0x0005 && c.BC.b.l == 9) {
        for (uint16_t a = c.DE.w; bus->mem[a] != '$' && run.output.size() < (1u << 20); ++a)
          run.output.push_back(static_cast<char>(bus->mem[a]));
      }
    }
    ExecuteZ80(*bus);
    if (bus->FrameTState >= (1u << 30)) {
      tstates += bus->FrameTState;
      bus->FrameTState = 0;
    }
  }
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
