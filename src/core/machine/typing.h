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
// Called by the instruction step while TypingActive and the PC equals KeyWaitAddress: hands the
// next character to the ROM every "Spool Speed" + 1 visits.
void TypingStep(MachineState& m);
// The same where a 128K-family model waits for a key in its 48 BASIC ROM (TR-DOS's command line
// on the Pentagon): keywords are handed over as tokens, as on the 48K.
void TypingStepIn48Rom(MachineState& m);

}  // namespace orvo
