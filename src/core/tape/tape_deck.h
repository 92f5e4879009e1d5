#pragma once
// The tape deck's operations: inserting a tape from a file or from bytes, ejecting, rewinding,
// and the Tape menu commands.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvo {

class Emulator;
struct MachineState;

// Kinds of tape file, by the end of the name as the file dispatch matches it ("tzx"/"TZX",
// "tap"/"TAP"; case-sensitive, no dot needed).
enum class TapeKind : uint8_t { None, Tzx, Tap };
TapeKind TapeKindOf(const std::string& name);

// Reads a whole tape file. Returns 0, or 1 after showing message 20 (cannot open), 21 (size
// unknown), 4 (no memory) or 23 (short read) under "Orvo Options".
int ReadTapeFile(Emulator& emu, const std::string& path, std::vector<uint8_t>& buffer);

// Puts a tape into the deck: ejects the old one, (with "Autoload" on) loads the model's tape boot
// snapshot, parses the bytes and makes the first block current. `path` is kept as the tape's
// path. Returns the parser's status (0 success); a tape whose parse stopped part way keeps the
// blocks before the failure, a bad signature leaves the deck empty.
int LoadTapeBytes(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                  const std::string& path);
// The same from a file (kind from its name). Message 22 when the name is not a tape's.
int LoadTape(Emulator& emu, const std::string& path);

// Empties the deck: frees the tape and stops the player.
void EjectTape(MachineState& m);

// The "Tape" menu commands.
void OpenTapeFile(Emulator& emu, const std::string& path);  // 130 "Load Tape", after the dialog
void EjectTapeCommand(Emulator& emu);                       // 131 "Eject Tape"
void RewindTapeCommand(Emulator& emu);                      // 133 "Rewind Tape"
void StartStopTapeCommand(Emulator& emu);                   // 134 "Start/Stop Tape" (F11)

// The name of the boot snapshot for the current model in the libs folder ("tape_48.z80", ...).
const char* TapeBootSnapshotName(uint8_t model);

}  // namespace orvo
