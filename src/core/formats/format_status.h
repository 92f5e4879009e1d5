#pragma once
// What a parser or reader says about a file it could not take whole. The shell turns each error
// into the message the user sees; the formats themselves never show anything.
#include <cstdint>

namespace orvo {

enum class FormatError : uint8_t {
  None = 0,
  OutOfMemory,      // an allocation failed; detail: the tape block being read (0 for none)
  SnapshotLength,   // a snapshot of the wrong size, or one that ends inside its data
  BlockLength,      // a snapshot memory block whose data do not fill its page
  Z80Version,       // a Z80 additional header of a length no version has
  TapeTooShort,     // too short to hold the TZX signature
  TapeSignature,    // not "ZXTape!" 0x1A
  TapeBlock,        // the file ends inside a block; detail: its block ID
  TapeUnsupported,  // a block the deck cannot follow; detail: its block ID
  ZipOpen,          // not a ZIP archive
  ZipTooLarge,      // an entry larger than any Spectrum file
  ZipRead,          // an entry that cannot be read back whole and intact
  DiskSignature,    // neither DSK signature
  DiskGeometry,     // a disk with no sides, more than two, or more tracks than its table holds
  DiskTrack,        // a track past the end of the file; detail: its track entry
};

struct FormatStatus {
  FormatError error = FormatError::None;
  uint32_t detail = 0;

  bool Ok() const { return error == FormatError::None; }
};

}  // namespace orvo
