#pragma once
// Running instructions in batches while the tape and the sound have nothing due.
//
// After every instruction the tape advances by its T-states (an edge falls due when the pulse in
// progress is used up) and the sound adds them to its accumulators (a sample falls due when a
// sample's worth has gathered). Between those points nothing either does can be seen, so the
// frame loop may run the instructions up to the next one on the quiet core and feed the hooks
// afterwards: first the T-states of all but the batch's last instruction, in one go (nothing can
// fall due in them), then the last instruction as after any single step. A call out of the core
// inside a batch (a port, a fetch trap) first brings the hooks up to the start of its instruction,
// so a device sees the tape and sound just as after single steps.
//
// The sound need not end a batch at each sample (one every 80 T-states or so): what a sample is
// made of changes only through a port, which ends the batch anyway. The quiet core stops at the
// instruction that makes each sample due only long enough to have it made, as after that
// instruction on its own (MachineState::QuietSampleDue), and goes on. While the AY is absent and
// nothing else makes each sample its own, every sample of a batch is alike: the core does not
// stop for them at all, and those due are made, copies of the first, when the batch is caught up.
#include <cstdint>

#include "machine/machine_state.h"

namespace orvo {

// Starts a batch feeding `hooks` (kBatchedTape, kBatchedSound; a hook that is off is left out)
// and returns the T-state it may run to: `limit`, or the point where the tape's next edge (or,
// with a speech unit fitted, the next sample) falls due if sooner. No more than FrameTState (and no
// batch started) when one is due after the very next instruction.
uint32_t BeginHookBatch(MachineState& m, uint32_t limit, uint8_t hooks);
// Ends the batch: the hooks are fed up to the start of its last instruction, whose T-states are
// left to the caller's per-instruction hooks (InstructionTStates).
inline void EndHookBatch(MachineState& m) {
  if (m.HooksBatched) {
    m.CatchUpBatchedHooks();
    m.HooksBatched = 0;
  }
}

}  // namespace orvo
