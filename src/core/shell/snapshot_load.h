#pragma once
// Loading a snapshot record into the emulator: the machine set-up for its model, then the record
// itself, and the Z80 and SNA files through it.
#include <cstdint>
#include <span>

#include "formats/snapshot_record.h"
#include "shell/extension_table.h"

namespace orvo {

class Emulator;

// Makes the record's model current (the machine set-up, which clears RAM), puts the record into
// the machine and sets the file-type label. A file that uses the AY on a 48K turns the AY48K
// option on (never off).
void LoadSnapshotRecord(Emulator& emu, const SnapshotRecord& record);

// Loads a Z80 or SNA snapshot. Returns 0, or 1 after showing why the file was refused under
// "Orvo Options" (12 "Snapshot Error: Incorrect snapshot length", 16 "Snapshot Error: Incorrect
// BLOCK length", 18 "Snapshot Error: Incorrect Z80 version"); the machine is then unchanged.
int LoadZ80(Emulator& emu, std::span<const uint8_t> data);
// The other snapshot formats (SEM, SNX, SP, SNP, SIT, ZXS), by their kind, in the same way.
int LoadOtherSnapshot(Emulator& emu, FileKind kind, std::span<const uint8_t> data);
int LoadSNA(Emulator& emu, std::span<const uint8_t> data);
// Loads an SZX snapshot; refused whole (14 "Snapshot Error: Incorrect SZX sig", 19 "Snapshot
// Error: Unknown SZX block type" under "Orvo File", 16 for a block of the wrong size or a RAM page
// that does not inflate to 16384 bytes, 10 naming the machine of an ID no model here has).
int LoadSZX(Emulator& emu, std::span<const uint8_t> data);

}  // namespace orvo
