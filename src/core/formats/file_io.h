#pragma once
// The one way files are read and written.
//
// Reading takes regular files only: a folder, a FIFO or a device is refused before it is opened
// for reading (a FIFO would block for ever, a device may never end), and a file larger than the
// caller's cap is refused before anything is allocated. Nothing here throws.
//
// Writing never destroys what was there: the bytes go to a temporary file in the target's own
// folder, which is renamed over the target once it is whole on the disk. A symbolic link is
// followed, so the file it points to is replaced and the link stays a link; a target without
// write permission, or one that is not a regular file, is refused and left as it was.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

// The largest file read as a whole: no Spectrum file comes near it.
constexpr uint64_t kLargestFile = 512ull << 20;

enum class ReadFailure : uint8_t {
  None,
  Missing,     // no such file (or a folder on its path is missing)
  NotRegular,  // a folder, FIFO, socket or device
  TooLarge,    // larger than the cap
  Unreadable,  // permission refused, or an error while reading
};

// Reads the whole of `path` into `out` (untouched on failure).
ReadFailure ReadRegularFile(const std::string& path, std::vector<uint8_t>& out,
                            uint64_t cap = kLargestFile);
// The same into a string, for text files.
ReadFailure ReadRegularText(const std::string& path, std::string& out, uint64_t cap = kLargestFile);

enum class WriteFailure : uint8_t {
  None,
  ReadOnly,    // the target exists and is protected against writing
  NotRegular,  // the target is a folder, FIFO, socket or device
  Create,      // the temporary file cannot be made in the target's folder
  Write,       // writing the bytes failed (a full disk, an I/O error)
  Replace,     // the finished file could not be put in the target's place
};

// Why a save failed, for the user: "<path>: is read-only" and so on.
std::string WriteFailureText(WriteFailure failure, const std::string& path);

// The file a save to `path` replaces: `path` with its symbolic links followed (a link to a
// missing file gives that file's name).
std::string SaveTargetOf(const std::string& path);

// A file written in pieces and put in place whole by Commit. Destroying it without a Commit
// removes the temporary file and leaves the target as it was.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile() { Discard(); }

  // Checks the target and makes the temporary file next to it.
  WriteFailure Open(const std::string& path);
  // Appends bytes; a failure is remembered and reported by Commit.
  void Write(const void* data, size_t size);
  void Write(std::string_view text) { Write(text.data(), text.size()); }
  // Bytes written so far.
  uint64_t Size() const { return size_; }
  bool IsOpen() const { return fd_ >= 0; }
  // The temporary file, for a writer that opens it by name itself (its data then reaches the
  // disk through the same file and is synced by Commit).
  const std::string& TemporaryPath() const { return temp_; }
  // Flushes the file to the disk and renames it over the target.
  WriteFailure Commit();
  // Drops the temporary file.
  void Discard();

 private:
  static constexpr size_t kBufferSize = 64 * 1024;
  void Flush();
  void WriteOut(const uint8_t* p, size_t size);

  int fd_ = -1;
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
  uint64_t size_ = 0;
  std::string target_;
  std::string temp_;
};

// For logs that stay open while the program runs: a log still open when its owner goes away
// (the program quits) is put in place rather than dropped.
struct CommitOnDelete {
  void operator()(ReplacingFile* file) const {
    if (file != nullptr) file->Commit();
    delete file;
  }
};
using LogFile = std::unique_ptr<ReplacingFile, CommitOnDelete>;

// Writes `bytes` as the whole new content of `path`.
WriteFailure ReplaceFile(const std::string& path, std::span<const uint8_t> bytes);

// Temporary files are named "<kSaveTempPrefix><process id>-<random>"; the name is short, so a
// target of any length its folder can hold can be saved.
constexpr const char* kSaveTempPrefix = ".orvo-save-";
// Removes the temporary files in `folder` that a save interrupted by a crash or a kill left
// behind: those of processes no longer running and, at start-up (`atStart`), those carrying this
// process's own id, which can only be an earlier process's. Returns how many were removed.
int RemoveStaleSaveFiles(const std::string& folder, bool atStart);

}  // namespace orvo
