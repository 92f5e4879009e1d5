#pragma once
// The SZX snapshot format: a block-structured snapshot whose RAM pages are zlib-compressed.
//
// An 8-byte header ("ZXST", major and minor version, machine ID, flags), then blocks, each a
// four-character ID (shorter IDs padded with NUL bytes), a 4-byte body size and the body. All
// numbers are little-endian. The registers ("Z80R"), the ULA and paging latches ("SPCR"), the
// RAM pages ("RAMP") and the AY ("AY") fill the record's own fields; the blocks of the devices
// (ULAplus "PLTT", the mouse "AMXM", the keyboard "KEYB", Interface 1 "IF1" ...) are kept in the
// record's blocks as they stand, for the devices to read.
#include <cstdint>
#include <span>
#include <vector>

#include "formats/format_status.h"
#include "formats/snapshot_record.h"

namespace orvo {

// Reads a whole SZX file into `out`; nothing is given back unless every block is sound. Errors:
// SzxSignature (no "ZXST"), SzxMachine (a machine ID above the Custom model's 6; detail: the ID),
// SzxBlock (an ID this format does not load here; detail: the ID as a little-endian number),
// SzxBlockLength (a block that overruns the file, or whose body is not its kind's size), SzxPage
// (a RAM page that does not inflate to exactly 16384 bytes).
FormatStatus ParseSZX(std::span<const uint8_t> data, SnapshotRecord& out);
// The model a machine ID beyond the emulated ones loads as (the Pentagon and Scorpion as the
// 128K); false for a machine that cannot be loaded at all.
bool NearestSzxModel(uint8_t machineId, SnapshotModel& model);

// The whole SZX file of `record`: creator, registers, latches, the model's RAM pages
// (compressed), the AY when the model has one or the record uses it, then every device block of
// the record whose ID the format defines.
std::vector<uint8_t> WriteSZX(const SnapshotRecord& record);

}  // namespace orvo
