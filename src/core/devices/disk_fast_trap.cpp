// The +3 ROM waits for the drive motor and for each head step in counted delay loops. The real
// drive needs the time; the emulated controller answers at once, so with "Disk fastLoad" on the
// loops end as soon as they start, in the state they would end in: the counter and A zero, Z set.
#include "devices/disk_fast_trap.h"

#include "cpu/z80.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

bool FastTrapModel(const MachineState& m) {
  return m.MachineModel == kModelPlus3 && m.settings.DiskFastLoad != 0;
}

// The end state of both loops, with PC past the loop.
void EndDelayLoop(CpuState& c, uint16_t exit) {
  c.AF.b.h = 0;
  c.AF.b.l |= 0x40;  // Z
  c.Q = c.AF.b.l;
  c.PC = exit;
}

// DEC BC at 0x2144: the instruction still runs its 6 T-states, then the loop is done.
FetchTrapResult DelayLoopTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  const uint8_t op = Z80FetchCycle(m);
  if (op != 0x0B || !FastTrapModel(m)) return FetchTrapResult::Execute(op);
  m.InternalCycles(m.cpu.IR.w, 2);
  m.cpu.BC.w = 0;
  EndDelayLoop(m.cpu, 0x2149);
  return FetchTrapResult::Skip();
}

// LD L,n at 0x201B: the operand is read as usual (7 T-states), then the loop is done.
FetchTrapResult StepWaitTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  const uint8_t op = Z80FetchCycle(m);
  if (op != 0x2E || !FastTrapModel(m)) return FetchTrapResult::Execute(op);
  m.ReadByte(m.cpu.PC++);
  m.cpu.HL.w = 0;
  EndDelayLoop(m.cpu, 0x2024);
  return FetchTrapResult::Skip();
}

}  // namespace

void UpdateDiskFastTrap(MachineState& m) {
  const bool on = FastTrapModel(m);
  // Both loops lie in the +3DOS ROM (ROM 2): with another ROM paged in the core need not look.
  const uint8_t* page = m.RomBuffer128.data() + 2 * 16384 + 0x2000;
  m.FetchTraps.Set(kDiskDelayLoopAddress, DelayLoopTrap, &m, on, page);
  m.FetchTraps.Set(kDiskStepWaitAddress, StepWaitTrap, &m, on, page);
  m.FetchTraps.Remap(m.PageTable);
}

}  // namespace orvo
