// The tape's hooks in the ROM loader, called by the CPU core while a tape is in the deck (the
// tape bit of TrapFlags).
#include "machine/machine_state.h"
#include "tape/tape_player.h"

namespace orvo {

// CP A at 0x056A, in LD-BYTES just before it starts to listen: the loader is about to read the
// tape, so the deck starts (unless the traps load the blocks instead).
void MachineState::OnTapeStartTrap() {
  if (tape.image) StartTape(*this);
}

// RET NZ at 0x056B: true when the trap loaded a block and the CPU goes on at the end of LD-BYTES.
bool MachineState::OnTapeLoadTrap() {
  return TapeTrap(*this);
}

}  // namespace orvo
