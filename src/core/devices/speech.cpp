#include "devices/speech.h"

#include "cpu/z80.h"
#include "devices/currah.h"
#include "machine/machine_state.h"

namespace orvo {

void USpeechToggle(MachineState& m) {
  SetUSpeechPaged(m, m.CurrahPaged == 0);
}

namespace {

// The opcode is read before the overlay flips: the fetch sees the memory map of the moment, and
// the instruction after it the other one.
FetchTrapResult USpeechToggleTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  const uint8_t op = Z80FetchCycle(m);
  if (op == 0xF5) USpeechToggle(m);  // PUSH AF
  return FetchTrapResult::Execute(op);
}

}  // namespace

void SetUSpeechTrap(MachineState& m, bool fitted) {
  m.FetchTraps.Set(kUSpeechToggleAddress, USpeechToggleTrap, &m, fitted);
}

uint32_t SpeechElapsed(const MachineState& m, int32_t& last) {
  const int32_t now = static_cast<int32_t>(m.FrameTState);
  const int32_t elapsed = now - last;
  last = now;
  return elapsed > 0 ? static_cast<uint32_t>(elapsed) : 0;
}

bool SpeechRunsWithSound(const MachineState& m) {
  return m.settings.Sound != 0 && m.FullSpeed == 0;
}

}  // namespace orvo
