#pragma once
// Putting a snapshot record into a machine and taking one out of it. Every snapshot format goes
// through these two: a loaded file is bytes -> record -> ApplySnapshot, a saved one is
// CaptureSnapshot -> record -> bytes.
#include <cstdint>

#include "cpu/cpu_state.h"
#include "formats/snapshot_record.h"

namespace orvo {

struct MachineState;

// Puts `record` into `m`, which has been set up for the record's model (MachineModel and the
// machine set-up; the caller does that, as it loads ROMs and touches the settings). Registers,
// border, Interface 1 paging (only where an Interface 1 is fitted), AY, RAM and the paging latches
// are set from the record; what the record leaves empty stays as the set-up made it. The CPU is
// left between two instructions (halted only when the record says so). Safe with any record a
// reader gives: short or missing pages fill only what they hold. Each fitted device that keeps its
// state in a block (Device::stateId) is given the record's block of that name, when it has one.
void ApplySnapshot(MachineState& m, const SnapshotRecord& record);

// Everything of `m` a snapshot format can carry. The 48K models' pages are read as the CPU sees
// 0x4000-0xFFFF; the 128K models give all eight banks. The label is left empty.
// The state of every fitted device that keeps one (Device::stateId) is added as a block.
SnapshotRecord CaptureSnapshot(const MachineState& m);

// Whether every device block of `record` that a fitted device of `m` would take is one that device
// accepts: checked before anything of the machine changes, so a bad block refuses the file whole.
bool SnapshotDeviceBlocksValid(const MachineState& m, const SnapshotRecord& record);

// R as LD A,R would read it: the low seven bits count, bit 7 is the one last loaded.
inline uint8_t VisibleR(const CpuState& cpu) {
  return static_cast<uint8_t>((cpu.IR.b.l & 0x7F) | (cpu.R7 & 0x80));
}

}  // namespace orvo
