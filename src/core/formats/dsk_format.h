#pragma once
// +3 disk images: the standard DSK ("MV - CPC") and extended DSK ("EXTENDED") formats.
//
// A disk is a list of tracks, side 0 and side 1 of each cylinder in turn. A track holds its
// sectors in the order they pass under the head, each with its ID field (C, H, R, N), the two
// controller status bytes the imaging tool saw (ST1, ST2) and the bytes stored for it. A sector's
// stored bytes may differ from its size code: a shorter run (a sector cut short on the original
// disk) or several copies of the sector one after the other (a weak sector that reads
// differently each time).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/format_status.h"

namespace orvo {

struct DiskSector {
  uint8_t c = 0, h = 0, r = 0, n = 0;  // the ID field
  uint8_t st1 = 0, st2 = 0;            // ST1/ST2 as read from the original disk
  std::vector<uint8_t> data;           // one or more copies of the sector's data
};

struct DiskTrack {
  bool formatted = false;
  uint8_t sizeCode = 2;  // N the track was formatted with
  uint8_t gap3 = 0x4E;
  uint8_t filler = 0xE5;
  std::vector<DiskSector> sectors;
};

struct DiskImage {
  uint8_t cylinders = 0;
  uint8_t sides = 1;
  std::string creator;
  std::vector<DiskTrack> tracks;  // cylinders x sides, cylinder-major

  DiskTrack* Track(unsigned cylinder, unsigned side) {
    if (cylinder >= cylinders || side >= sides) return nullptr;
    return &tracks[cylinder * sides + side];
  }
};

// The largest sizes a file may declare: the disk information block has room for 204 track
// entries, a track information block for 29 sector entries.
inline constexpr unsigned kDskMaxTrackEntries = 204;
inline constexpr unsigned kDskMaxSectorsPerTrack = 29;

// Bytes a sector of size code n holds on the disk (128 << n; codes above 8 read as 8, as the
// controller does).
inline uint32_t DiskSectorBytes(uint8_t n) {
  return 128u << (n > 8 ? 8 : n);
}

// Parses a whole image. Errors: DiskSignature (neither signature), DiskGeometry (no sides, more
// than two, or more tracks than the table holds), DiskTrack (a track runs past the end of the
// file or its information block is missing; detail: the track entry's index).
FormatStatus ParseDsk(std::span<const uint8_t> bytes, DiskImage& out);

// The image as an extended DSK file, which keeps every sector's own size and status bytes.
std::vector<uint8_t> WriteDsk(const DiskImage& image);

// A blank disk with no formatted tracks, as a new disk out of its sleeve: 40 cylinders, one side.
DiskImage BlankDisk(uint8_t cylinders = 40, uint8_t sides = 1);

}  // namespace orvo
