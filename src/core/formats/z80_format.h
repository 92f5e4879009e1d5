#pragma once
// The Z80 snapshot format, versions 1, 2 and 3, with its run-length compression.
//
// Version 1 is a 30-byte header and the 48K RAM image; versions 2 and 3 put PC in an additional
// header (the main header's PC is 0) that names the hardware, the 128K paging latches and the AY
// registers, and store memory as 16K blocks, each a 2-byte compressed length (0xFFFF: 16384 plain
// bytes), a page number and the data.
//
// Compression: "ED ED n v" stands for n copies of v. Runs of five or more equal bytes, and runs of
// two or more 0xED bytes, are coded; a byte directly after a lone 0xED is always written plainly.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/format_status.h"
#include "formats/snapshot_record.h"

namespace orvo {

struct Z80DecodeResult {
  size_t consumed = 0;     // source bytes read
  size_t produced = 0;     // bytes written to the destination
  bool endMarker = false;  // stopped at the version 1 end marker 00 ED ED 00
};

// Decodes `src` into `dst` until `dst` is full, the source is used up or the end marker is met. A
// run that would cross the end of `dst` is cut there. A lone 0xED as the very last source byte is
// a plain 0xED (a block's data may end with one).
Z80DecodeResult DecompressZ80Block(std::span<const uint8_t> src, std::span<uint8_t> dst);

// Appends the compressed form of `src` to `out`; returns the new size of `out`.
size_t CompressZ80Block(std::span<const uint8_t> src, std::vector<uint8_t>& out);

// Reads a Z80 file into `out`. Errors: SnapshotLength (shorter than its headers, or it ends inside
// its memory), BlockLength (a block's data do not fill its page), Z80Version (an additional header
// length other than 23, 54 or 55, or a hardware byte naming no machine that can be loaded). A
// machine that is not emulated but is close to one (a Pentagon is a 128K) loads as that one, with
// `nearestModel` set. The whole file is checked before anything is given back.
FormatStatus ParseZ80(std::span<const uint8_t> data, SnapshotRecord& out);

// The whole Z80 file of `record` in version 1, 2 or 3 (version 3 with the 0x1FFD byte when
// `with1FFD`). Version 1 is written for the 16K and 48K only, and never with a PC of 0 (it tells
// itself from the others by a PC other than 0): those are written as version 3. The +2A and +3
// are always written as version 3 with the 0x1FFD byte, which holds their paging mode and ROM.
std::vector<uint8_t> WriteZ80(const SnapshotRecord& record, int version, bool with1FFD);

}  // namespace orvo
