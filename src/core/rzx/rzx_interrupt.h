#pragma once
// The interrupt rule of input recordings, one rule for playing and recording whoever made the
// file:
//
//   A recorded frame runs from one interrupt to the next. Playing it back, the frame's interrupt
//   is offered once, at the boundary before the frame's first instruction (taken if IFF1 is set
//   and the instruction before was neither EI nor a lone index prefix), and not again in that
//   frame however long the machine's INT line would stay active.
//
// A running machine samples INT for its whole active time (32 to 36 T-states), so it may take the
// interrupt a few instructions into the frame: after an EI or a DI that ran across the frame's
// start. Recording moves the frame's boundary there (RzxRecordInterruptWindow): the instructions
// run before the interrupt is taken count in the frame before it, so the interrupt falls on the
// boundary and playback under the rule takes it exactly where the machine did. The recordings
// other emulators write follow the same rule, and other players replay ours by it.
#include "machine/machine_state.h"

namespace orvo {

// True when the interrupt is taken at this instruction boundary while the INT line is active.
inline bool RzxInterruptTakenHere(const MachineState& m) {
  return m.cpu.IFF1 && !m.cpu.EiDelay && !m.cpu.PrefixPending;
}

// Playing back: called after each instruction, so that only the frame's first instruction
// boundary sees the INT line.
inline void RzxAfterPlaybackInstruction(MachineState& m) {
  m.InterruptArmed = 0;
}

}  // namespace orvo
