#pragma once
// What the tape player's files share among themselves: the steps of each kind of block, the
// transport's start, and fast loading. Not for use outside the player.
#include <cstdint>

#include "machine/machine_state.h"
#include "tape/tape_state.h"

namespace orvo::tape_detail {

// ---- pulse generation (tape_player_pulses.cpp) ----
void Toggle(TapeState& t);
// Loads the masks for the byte at Position of a data block.
void StartByte(TapeState& t);
void SetLevelFromBit(TapeState& t);
uint32_t ReadDataSymbol(const TapeState& t, const GeneralizedData& g);
// The pulse in progress of a standard (0x10), turbo (0x11) or pure data (0x14) block, a direct
// recording (0x15) or a generalized data block (0x19) has ended: set up the next.
void StepDataBlock(MachineState& m, uint8_t id);
void StepDirect(MachineState& m);
void StepRecording(MachineState& m);
// Enters a recording block: its first pulse at its first level.
void EnterRecording(TapeState& t, const TapeBlock& b);
void StepGeneralized(MachineState& m, const TapeBlock& b);

// ---- block stepping (tape_player_blocks.cpp) ----
void NextBlock(MachineState& m);
// One step of the current block: the pulse in progress has ended; set up the next.
void StepBlock(MachineState& m);

// ---- transport (tape_player.cpp) ----
// Starts the deck whatever the trap setting says.
void StartPlaying(MachineState& m);

// ---- fast loading (tape_traps.cpp) ----
void BeginFastLoad(MachineState& m);
void EndFastLoad(MachineState& m);

}  // namespace orvo::tape_detail
