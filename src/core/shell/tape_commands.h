#pragma once
// Tapes from files and bytes into the deck, with the messages the user sees, and the Tape menu
// commands.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tape/tape_deck.h"

namespace orvo {

class Emulator;

// Reads a whole tape file. Returns 0, or 1 after showing message 20 (cannot open), 21 (size
// unknown), 4 (no memory) or 23 (short read) under "Orvo Options".
int ReadTapeFile(Emulator& emu, const std::string& path, std::vector<uint8_t>& buffer);

// Puts a tape into the deck: ejects the old one, (with "Autoload" on) loads the model's tape boot
// snapshot, parses the bytes and makes the first block current. `path` is kept as the tape's
// path. Returns the parser's status (0 success); a tape with a block the deck cannot follow keeps
// the blocks before it, a damaged file or a bad signature leaves the deck empty.
int LoadTapeBytes(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                  const std::string& path);
// Parses `bytes` as a tape of `kind` without touching the deck: true when LoadTapeBytes would put
// it into the deck, else false after showing why (a damaged file, a bad signature).
bool TapeBytesLoad(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                   std::string_view name = {});
// The file-type label of a tape kind ("TZX File", "CSW File", ...).
const char* TapeKindLabel(TapeKind kind);
// The same from a file (kind from its name). Message 22 when the name is not a tape's.
int LoadTape(Emulator& emu, const std::string& path);

// The "Tape" menu commands.
// 130 "Load Tape", after the dialog: 0 when the tape went in; a refused tape leaves the deck and
// the machine as they were.
int OpenTapeFile(Emulator& emu, const std::string& path);
void EjectTapeCommand(Emulator& emu);      // 131 "Eject Tape"
void RewindTapeCommand(Emulator& emu);     // 133 "Rewind Tape"
void StartStopTapeCommand(Emulator& emu);  // 134 "Start/Stop Tape" (F11)

// "Save to tape": with `on`, the ROM's SAVE appends its blocks to a TAP file instead of playing
// them: `path` when given (kept for later), else the file chosen before, else one made beside the
// tape in the deck ("<tape>-saved.tap") or in the current folder ("orvo-saved.tap").
void SetSaveToTape(Emulator& emu, bool on, const std::string& path = {});
// The TAP file saves go to now.
std::string SaveTapeTarget(const Emulator& emu);
// Where the next recording of a program's own saver goes: "<save tape>-N.csw" with the first N
// not taken.
std::string MicRecordingPath(const Emulator& emu);
// Writes the blocks saved since the last call to the end of the TAP file (through a temporary
// file and a rename), and a finished recording of MIC (a saver of the program's own, at least
// 256 pulses, over once a second has passed without an edge) to a CSW file. Returns 0, or 1
// after message 54 when a file cannot be written. Called at the end of every frame.
int FlushSavedTape(Emulator& emu);

}  // namespace orvo
