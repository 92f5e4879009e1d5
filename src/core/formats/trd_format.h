#pragma once
// TR-DOS disk images. A TRD file is the disk's sectors in order: for each cylinder the upper side
// then the lower, each track 16 sectors of 256 bytes. Track 0 holds the catalogue (sectors 1-8,
// sixteen 16-byte entries each) and the disk's information sector (sector 9). An SCL file is a
// packed list of files: "SINCLAIR", the number of files, a 14-byte header for each (the catalogue
// entry without its place on the disk), their sectors one after another, and a 32-bit sum of all
// the bytes before it; it opens as a freshly formatted disk holding those files.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/format_status.h"

namespace orvo {

constexpr uint32_t kTrdSectorSize = 256;
constexpr uint32_t kTrdSectorsPerTrack = 16;
constexpr uint32_t kTrdTrackSize = kTrdSectorSize * kTrdSectorsPerTrack;
constexpr uint32_t kTrdMaxCylinders = 86;  // the furthest a drive's head steps

struct TrdDisk {
  uint32_t cylinders = 80;
  uint32_t sides = 2;
  std::vector<uint8_t> data;  // cylinders x sides tracks, TRD order

  // The 256 bytes of sector `sector` (1-16) on the track, or null when the disk has no such track.
  uint8_t* Sector(uint32_t cylinder, uint32_t side, uint32_t sector);
  const uint8_t* Sector(uint32_t cylinder, uint32_t side, uint32_t sector) const;
};

// One file as TR-DOS catalogues it.
struct TrdFile {
  std::string name;  // 8 characters, space-padded
  char type = 'C';   // 'B' BASIC, 'C' code, 'D' data, '#' sequential
  uint16_t start = 0;
  uint16_t length = 0;
  std::vector<uint8_t> sectors;  // whole sectors
};

// Errors: DiskGeometry for a file that is empty, not whole sectors or larger than 86 cylinders
// of two sides. A short file (a disk whose last tracks were never written) is padded with zeros to
// the geometry its information sector names.
FormatStatus ParseTrd(std::span<const uint8_t> bytes, TrdDisk& out);
// Errors: DiskSignature (no "SINCLAIR"), DiskTrack (a header or file past the end of the file; the
// detail is the file's number), DiskGeometry (more files or sectors than a disk holds). The sum at
// the end is not checked: many files in circulation carry a wrong one.
FormatStatus ParseScl(std::span<const uint8_t> bytes, TrdDisk& out);
// The TRD file of a disk.
std::vector<uint8_t> WriteTrd(const TrdDisk& disk);
// An SCL file holding `files` (for tests and tools).
std::vector<uint8_t> WriteScl(const std::vector<TrdFile>& files);
// A disk as TR-DOS's FORMAT leaves it: 80 cylinders, two sides, an empty catalogue, 2544 free
// sectors and `label` (up to 8 characters) as its name.
TrdDisk BlankTrd(const std::string& label = "");
// The files in the disk's catalogue, deleted ones left out.
std::vector<TrdFile> TrdCatalogue(const TrdDisk& disk);

}  // namespace orvo
