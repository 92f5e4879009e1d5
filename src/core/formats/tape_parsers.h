#pragma once
// TAP and TZX files into a tape image. Both are little-endian streams of blocks; the parsers
// never read past the bytes they are given, and a file that ends early keeps the blocks before
// the fault.
#include <cstdint>
#include <span>

#include "formats/format_status.h"
#include "formats/tape_image.h"

namespace orvo {

// The most memory the blocks of one tape may take beyond the file itself.
constexpr size_t kLargestTapeRecord = 128u << 20;

// What the deck makes of a parse.
enum TapeParseStatus : uint8_t {
  kTapeParseOk = 0,
  kTapeParseUnsupported = 1,  // a block the deck cannot follow; the blocks before it stay
  kTapeParseFailed = 2,       // the file is damaged; the blocks before the fault stay
};
TapeParseStatus TapeParseStatusOf(const FormatStatus& status);

// Fill `tape` (emptied first) from a TAP or TZX file. The bytes are copied into the image and the
// blocks point into that copy. Errors: TAP: TapeBlock (a length past the end, detail 0x10),
// OutOfMemory. TZX: TapeTooShort (under 10 bytes), TapeSignature, TapeBlock (the file ends
// inside a block of a known kind; detail its ID), TapeUnsupported (the same for a block of no
// known kind, which the deck cannot follow), OutOfMemory (detail the ID of the block being read).
// A tape whose blocks would cost more than kLargestTapeRecord in memory is refused whole with
// OutOfMemory (detail 0).
FormatStatus ParseTAP(TapeImage& tape, std::span<const uint8_t> bytes);
FormatStatus ParseTZX(TapeImage& tape, std::span<const uint8_t> bytes);

// The kind name of a block ID as the tape error messages give it ("ORVO_TURBO_BLOCK"), or "" for
// IDs of no known kind.
const char* TapeBlockKindName(uint8_t id);

}  // namespace orvo
