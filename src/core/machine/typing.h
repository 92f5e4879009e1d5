#pragma once
// Typing text into the machine ("Load BASIC Text File", paste): one character at a time, handed to
// the ROM's keyboard routine at the moment it waits for a key.
#include <cstdint>
#include <span>
#include <string>

namespace orvo {

struct MachineState;

// Starts typing `text` (UTF-8, or Latin-1 where it is not well-formed UTF-8; line ends CR LF, CR
// or LF), followed by an ENTER unless it ends with a line end; turns full speed on.
// `spoolSpeed` paces this text alone (paste types faster than a file); 0 follows the "Spool
// Speed" setting, which is never changed here. Characters
// the Spectrum has are mapped to its own codes (the pound and copyright signs, typographic
// quotes and dashes as plain ones); others are left out.
void StartTyping(MachineState& m, std::span<const uint8_t> text, int32_t spoolSpeed = 0);
// Reads `path` whole and types it in. Returns false, typing nothing, when it cannot be read.
bool StartTypingFile(MachineState& m, const std::string& path);
// Stops typing and forgets the rest of the text (a reset, or the text used up).
void CancelTyping(MachineState& m);

bool TypingActive(const MachineState& m);
// Frames of emulated time (60 s) that typing waits for the ROM to ask for a key before it gives
// up: a program that never reads the keyboard through the ROM would otherwise hold the machine at
// full speed for good. Commands typed in may run for a while between key waits (FORMAT of a
// Microdrive cartridge or a TR-DOS disk takes tens of seconds), so the wait is generous; typing
// runs at full speed, where it passes in about a second.
constexpr uint32_t kTypingStallFrames = 3000;
// Counts one frame of typing without a key wait; once kTypingStallFrames have passed, stops typing
// (full speed ends) and returns what the user is told: where it stopped and what was left untyped.
// Returns an empty text otherwise.
std::string TypingFrameEnd(MachineState& m);

// True where the ROM paged in waits for a key: KeyWaitAddress in the model's own ROM, the 128K
// family's editor under a report, and the 48 BASIC ROM's wait on the 128K family.
bool TypingWaitsHere(const MachineState& m);
// Called by the instruction step while TypingActive and TypingWaitsHere: hands the next
// character to the ROM every "Spool Speed" + 1 visits (keywords as tokens to the 48K BASIC).
void TypingStep(MachineState& m);

}  // namespace orvo
