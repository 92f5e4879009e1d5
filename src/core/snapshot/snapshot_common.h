#pragma once
// Small pieces the snapshot formats share: little-endian fields and the machine state that every
// loader sets the same way.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "machine/machine_state.h"

namespace orvo {

inline uint16_t ReadLe16(std::span<const uint8_t> data, size_t offset) {
  return static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
}

inline void WriteLe16(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
  out[offset] = static_cast<uint8_t>(value & 0xFF);
  out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void PutLe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void AppendLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// The border colour as a snapshot gives it; it is also what the ULA port last received, so the
// MIC and EAR bits of the previous program do not linger.
inline void SetSnapshotBorder(MachineState& m, uint8_t colour) {
  m.ports.BorderColour = colour & 7;
  m.ports.LastUlaOut = colour & 7;
}

// The formats hold a CPU between two instructions: no HALT in progress, no pending prefix or EI.
inline void ClearCpuRunState(CpuState& cpu) {
  cpu.Halted = 0;
  cpu.HaltNoAdvance = 0;
  cpu.EiDelay = 0;
  cpu.PrefixPending = 0;
  cpu.Q = 0;
  cpu.LdAIR = 0;
}

// The PC a snapshot stores. A CPU halted by a HALT opcode has PC past it; the formats have no
// halted flag, so the file points at the HALT and the program waits for its interrupt again.
inline uint16_t SnapshotPC(const MachineState& m) {
  const CpuState& cpu = m.cpu;
  const uint16_t before = static_cast<uint16_t>(cpu.PC - 1);
  if (cpu.Halted && cpu.HaltNoAdvance && m.Peek(before) == 0x76) return before;
  return cpu.PC;
}

// R as LD A,R would read it: the low seven bits count, bit 7 is the one last loaded.
inline uint8_t VisibleR(const CpuState& cpu) {
  return static_cast<uint8_t>((cpu.IR.b.l & 0x7F) | (cpu.R7 & 0x80));
}

}  // namespace orvo
