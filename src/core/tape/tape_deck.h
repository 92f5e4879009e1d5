#pragma once
// The tape deck: putting a parsed tape into it, taking it out, and the kinds of tape file.
#include <cstdint>
#include <memory>
#include <string>

namespace orvo {

struct MachineState;
struct TapeImage;

// Kinds of tape file, by the end of the name as the file dispatch matches it ("tzx"/"TZX",
// "tap"/"TAP", "csw"/"CSW", "wav"/"WAV", "pzx"/"PZX"; case-sensitive, no dot needed).
enum class TapeKind : uint8_t { None, Tzx, Tap, Csw, Wav, Pzx };
TapeKind TapeKindOf(const std::string& name);

// Puts a parsed tape into the (empty) deck and makes its first block current. With "Autoload" on
// the machine has just been put at its tape loader, and the start detector starts afresh.
void InsertTape(MachineState& m, std::unique_ptr<TapeImage> image);
// Empties the deck: frees the tape and stops the player.
void EjectTape(MachineState& m);

// The name of the boot snapshot for the current model in the libs folder ("tape_48.z80", ...).
const char* TapeBootSnapshotName(uint8_t model);

}  // namespace orvo
