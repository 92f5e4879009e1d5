#pragma once
// ZIP archives held in memory: the list of entries and each entry's bytes, through libzip.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/format_status.h"

struct zip;  // libzip's archive handle

namespace orvo {

class ZipReader {
 public:
  ZipReader() = default;
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Opens the archive in `bytes` (copied: the span need not outlive the reader). Error: ZipOpen.
  FormatStatus Open(std::span<const uint8_t> bytes);
  void Close();
  bool IsOpen() const { return archive_ != nullptr; }
  int64_t EntryCount() const;
  std::string EntryName(int64_t index) const;
  // Reads entry `index` whole into `out` (untouched on failure). Errors: ZipTooLarge (larger than
  // any Spectrum file), ZipRead (no such entry, or its data are short, long or fail their CRC).
  FormatStatus ReadEntry(int64_t index, std::vector<uint8_t>& out) const;

 private:
  std::vector<uint8_t> bytes_;
  struct zip* archive_ = nullptr;
};

}  // namespace orvo
