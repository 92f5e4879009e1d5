#pragma once
// ZIP archives: the entry picker lists an archive's entries and loads the one the user picks as if
// it were a file of its own name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/messages.h"

struct zip;  // libzip's archive handle

namespace orvo {

class Emulator;

// An open archive; closed by Close() or the destructor. The picker keeps one open for its life.
class ZipArchive {
 public:
  ZipArchive() = default;
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return archive_ != nullptr; }
  int64_t EntryCount() const;
  std::string EntryName(int64_t index) const;
  // Reads entry `index` whole into `out`. Returns 0, or message 4 "Out of memory" (an entry larger
  // than any Spectrum file) or 23 "Tape Error: Error reading from file".
  MessageId ReadEntry(int64_t index, std::vector<uint8_t>& out) const;

 private:
  struct zip* archive_ = nullptr;
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
