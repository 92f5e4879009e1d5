#pragma once
// ZIP archives: the entry picker lists an archive's entries and loads the one the user picks as if
// it were a file of its own name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/zip_reader.h"

namespace orvo {

class Emulator;

// An archive opened from its file; closed by Close() or the destructor. The picker keeps one open
// for its life.
class ZipArchive : public ZipReader {
 public:
  using ZipReader::Open;
  // False when the file cannot be read or is not a ZIP archive.
  bool Open(const std::string& path);
};

// The names of the entries of `path`, entry 0 first. False when it cannot be opened as a ZIP.
bool ListZipEntries(const std::string& path, std::vector<std::string>& names);

// The picker's OK: reads entry `index` into the loaded file and dispatches it by its name
// (DispatchZipEntry). Returns 0 when a kind was handled, 1 otherwise (after a message).
int LoadZipEntry(Emulator& emu, const ZipArchive& archive, int64_t index);

// Loads one entry of the archive at `path` without the picker: the entry named `entryName`, or
// with an empty name the first entry whose name has a kind the ZIP path loads. Sets the current
// file path to the archive. Returns 0 when a kind was handled; 1 after message 8 "File Not Found"
// (no such archive or entry) or 22 "Tape Error: unknown extension" (no loadable entry).
int LoadZipArchiveEntry(Emulator& emu, const std::string& path, std::string_view entryName);

}  // namespace orvo
