#include "shell/rewind.h"

#include <algorithm>
#include <cstring>

#include "shell/emulator.h"

namespace orvo {

namespace {

void Capture(const MachineState& m, RewindRecord& r) {
  const CpuState& c = m.cpu;
  r.PC = c.PC;
  r.SP = c.SP;
  r.IFF1 = c.IFF1;
  r.IFF2 = c.IFF2;
  r.IM = c.IM;
  r.I = c.IR.b.h;
  r.R = c.IR.b.l;
  r.R7 = c.R7;
  r.InterruptArmed = m.InterruptArmed;
  r.AF = c.AF.w;
  r.BC = c.BC.w;
  r.DE = c.DE.w;
  r.HL = c.HL.w;
  r.IX = c.IX.w;
  r.IY = c.IY.w;
  r.AF_ = c.AF_.w;
  r.BC_ = c.BC_.w;
  r.DE_ = c.DE_.w;
  r.HL_ = c.HL_.w;
  for (int page = 2; page < 8; ++page) {
    std::memcpy(r.memory.data() + (page - 2) * 0x2000, m.PageTable[page], 0x2000);
  }
  r.stored = true;
}

void Restore(const RewindRecord& r, MachineState& m) {
  CpuState& c = m.cpu;
  c.PC = r.PC;
  c.SP = r.SP;
  c.IFF1 = r.IFF1;
  c.IFF2 = r.IFF2;
  c.IM = r.IM;
  c.IR.b.h = r.I;
  c.IR.b.l = r.R;
  c.R7 = r.R7;
  m.InterruptArmed = r.InterruptArmed;
  c.AF.w = r.AF;
  c.BC.w = r.BC;
  c.DE.w = r.DE;
  c.HL.w = r.HL;
  c.IX.w = r.IX;
  c.IY.w = r.IY;
  c.AF_.w = r.AF_;
  c.BC_.w = r.BC_;
  c.DE_.w = r.DE_;
  c.HL_.w = r.HL_;
  c.Halted = 0;
  for (int page = 2; page < 8; ++page) {
    std::memcpy(m.PageTable[page], r.memory.data() + (page - 2) * 0x2000, 0x2000);
  }
}

}  // namespace

void ClearRewindHistory(RewindHistory& history) {
  history.RewindCount = 0;
  for (RewindRecord& r : history.records) r.stored = false;
}

void StoreRewindRecord(const MachineState& m, RewindHistory& history) {
  if (history.RewindCount < kRewindRecords - 1) {
    ++history.RewindCount;
    Capture(m, history.records[history.RewindCount]);
    return;
  }
  // Full: records 1..19 move down one place and the newest goes last.
  std::rotate(history.records.begin(), history.records.begin() + 1, history.records.end());
  Capture(m, history.records[kRewindRecords - 1]);
}

bool RewindOneStep(Emulator& emu, RewindHistory& history) {
  MachineState& m = emu.m;
  if (!emu.settings.Rewind || history.RewindCount == 0) return false;
  // Record 0 holds a state only once the history has been full; before that the press that would
  // reach it finds nothing to go back to.
  const RewindRecord& target = history.records[history.RewindCount - 1];
  if (!target.stored) return false;
  --history.RewindCount;
  Restore(target, m);
  emu.host.GetClock().SleepMilliseconds(
      static_cast<uint32_t>(std::max(0, emu.settings.RewindDelay)));
  return true;
}

}  // namespace orvo
