#pragma once
// What a parser or reader says about a file it could not take whole. The shell turns each error
// into the message the user sees; the formats themselves never show anything.
#include <cstdint>

namespace orvo {

enum class FormatError : uint8_t {
  None = 0,
  OutOfMemory,         // an allocation failed; detail: the tape block being read (0 for none)
  SnapshotLength,      // a snapshot of the wrong size, or one that ends inside its data
  BlockLength,         // a snapshot memory block whose data do not fill its page
  Z80Version,          // a Z80 additional header of a length no version has
  TapeTooShort,        // too short to hold the TZX signature
  TapeSignature,       // not "ZXTape!" 0x1A
  TapeBlock,           // the file ends inside a block; detail: its block ID
  TapeUnsupported,     // a block the deck cannot follow; detail: its block ID
  ZipOpen,             // not a ZIP archive
  ZipTooLarge,         // an entry larger than any Spectrum file
  ZipRead,             // an entry that cannot be read back whole and intact
  SzxSignature,        // not "ZXST"
  SzxBlock,            // a block ID the format does not allow here; detail: the ID, little-endian
  SzxBlockLength,      // a block whose body is not the size its kind needs, or overruns the file
  SzxPage,             // a RAM page that does not inflate to exactly 16384 bytes
  SzxMachine,          // a machine ID no model here has; detail: the ID
  RzxSignature,        // not "RZX!"
  RzxBlock,            // a block that overruns the file or cannot be read; detail: its offset
  TapeRecording,       // a sampled or pulse recording (CSW, WAV, PZX) that is damaged or unknown
  SnxSignature,        // not "XSNA"
  SpSignature,         // not "SP"
  SemSignatureLength,  // SEM: the first byte is not 5
  SemSignature,        // SEM: not "SPEC1"
  ZxsRiff,             // ZXS: not "RIFF"
  ZxsSnap,             // ZXS: not "SNAP" at offset 8
  ZxsFmtzLength,       // ZXS: an "fmtz" chunk of the wrong size
  ZxsCompression,      // ZXS: a compression value other than zlib or none
  ZxsRegsLength,       // ZXS: an "rZ80" (or "r128") chunk of the wrong size
  Zxs048Length,        // ZXS: an "r048" chunk of the wrong size
  ZxsPage,             // ZXS: a page that is not 16K, or does not unpack, or fails its CRC
  Only48K,             // a writer for the 16K and 48K models only was given another model
  CartridgeLength,     // a Microdrive cartridge that is empty, too long or ends inside a sector
  DiskSignature,       // neither DSK signature
  DiskGeometry,        // a disk with no sides, more than two, or more tracks than its table holds
  DiskTrack,           // a track past the end of the file; detail: its track entry
};

struct FormatStatus {
  FormatError error = FormatError::None;
  uint32_t detail = 0;

  bool Ok() const { return error == FormatError::None; }
};

}  // namespace orvo
