#pragma once
// The tape player: plays the current block of the deck into the EAR input, timed in T-states,
// with the ROM loader's start point and trap, automatic start and stop, and tape wobble.
#include <cstdint>

#include "machine/machine_state.h"
#include "tape/tape_state.h"

namespace orvo {

// Makes `block` the current block and loads its parameters into the player; a null block is the
// end of the tape, which stops it. Returns the block.
TapeBlock* EnterTapeBlock(MachineState& m, TapeBlock* block);

// Plays the pulses that end within the T-states that have passed (the rest of the work of
// RunTape, out of line).
void RunTapePulses(MachineState& m);

// Advances the player by `tstates` (the last instruction's T-states). Called after every
// instruction while m.TapePlaying; the usual call ends at the first comparison.
inline void RunTape(MachineState& m, uint32_t tstates) {
  TapeState& t = m.tape;
  t.Elapsed += tstates;
  if (t.Elapsed < t.Pulse) return;
  RunTapePulses(m);
}

// Start (refused when the deck has nothing to play), stop, and the play command that toggles
// between them. "Tape Traps" does not change them: the trap copies a block only where the ROM
// loader asks for it with the deck stopped.
void StartTape(MachineState& m);
void StopTape(MachineState& m);
void ToggleTape(MachineState& m);

// Where the ROM's LD-BYTES is watched while a tape is in the deck: CP A just before it starts to
// listen, and the RET NZ after it has set up its registers.
inline constexpr uint16_t kTapeRomEntryAddress = 0x056A;
inline constexpr uint16_t kTapeLoadTrapAddress = 0x056B;

// The ROM loader's entry (CP A at 0x056A): a tape in the deck starts, unless "Tape Traps" is on,
// the loader's ROM is paged in and the next block is a standard one the trap will copy.
void StartTapeAtRomEntry(MachineState& m);

// The ROM loader trap (RET NZ at 0x056B): with "Tape Traps" on, the deck stopped and the ROM that
// holds LD-BYTES paged in, copies the next standard block (reached through jumps, loops and calls
// as the tape would play them) that answers the ROM's request straight into memory. Returns true
// when it did, with the CPU set to continue at the end of LD-BYTES; a block it cannot copy is
// played instead.
bool TapeTrap(MachineState& m);

// Watches the ULA port reads of a loader (called by the port decoder at every read of an even
// port) and, with "Autoload" on, starts and stops the tape to match.
void TapeAutoStartStop(MachineState& m);
// Keeps the time of the last ULA read measured across a frame end.
void AgeTapeReadTime(MachineState& m, uint32_t frameLength);
// The auto-start detector's state after a tape boot snapshot was loaded.
void ResetTapeAutoStart(MachineState& m);

// Saving to tape: with the trap on, the ROM's SA-BYTES (0x04C2, where the 48K BASIC ROM is paged)
// does not play its pulses; the block it would save (flag in A, IX start, DE length) is appended
// as a TAP block (length, flag, data, checksum) to m.tape.SavedBlocks and the routine returns
// through its usual ending as after a save.
inline constexpr uint16_t kTapeSaveTrapAddress = 0x04C2;
void SetTapeSaveTrap(MachineState& m, bool on);
// The MIC output changed (a write to the ULA port) while the save trap is on: one more edge of a
// recording of a program's own saver.
void RecordMicEdge(MachineState& m, bool high);
// T-states since start-up.
inline uint64_t MachineTime(const MachineState& m) {
  return m.FrameCount * m.FrameLength + m.FrameTState;
}
// A MIC recording is over when no edge has come for a second of silence.
inline constexpr uint64_t kMicSilenceTStates = 3500000;

// The TAP block of `length` bytes from `start` with flag byte `flag`.
std::vector<uint8_t> TapBlockOf(const MachineState& m, uint8_t flag, uint16_t start,
                                uint16_t length);

// Forgets everything the player holds about the tape in the deck (its position, loops, calls
// and pointers into the blocks): before the tape is ejected or replaced.
void ClearTapePlayer(MachineState& m);

// Registers the two LD-BYTES fetch traps in m.FetchTraps (on) or removes them.
void SetTapeTraps(MachineState& m, bool on);
// The LD-BYTES traps are registered while a tape is in the deck and the deck is stopped.
void UpdateTapeTraps(MachineState& m);

// The tape has played to its end and stopped: no block is left, or it stopped in the pause of
// its last block or on a last pause or stop block (as "Autoload" stops it once the loader is done).
bool TapeAtEnd(const MachineState& m);

}  // namespace orvo
