#include "formats/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orvo {

namespace {

// Symbolic links followed before a chain is taken for a loop (the kernel's own limit).
constexpr int kMostLinks = 40;

ReadFailure FailureOfErrno(int error) {
  return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == ELOOP
             ? ReadFailure::Missing
             : ReadFailure::Unreadable;
}

// Reads a regular file whole into `out`, which grows to the file's size.
template <class Buffer>
ReadFailure ReadInto(const std::string& path, Buffer& out, uint64_t cap) {
  if (path.empty()) return ReadFailure::Missing;
  // The name is looked at before it is opened: opening some devices has effects of its own.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FailureOfErrno(errno);
  if (!S_ISREG(st.st_mode)) return ReadFailure::NotRegular;
  // O_NONBLOCK: should the name be swapped for a FIFO since, the open still returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return FailureOfErrno(errno);
  ReadFailure result = ReadFailure::None;
  Buffer bytes;
  if (::fstat(fd, &st) != 0) {
    result = ReadFailure::Unreadable;
  } else if (!S_ISREG(st.st_mode)) {
    result = ReadFailure::NotRegular;
  } else if (static_cast<uint64_t>(st.st_size) > cap) {
    result = ReadFailure::TooLarge;
  } else {
    try {
      bytes.resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
      result = ReadFailure::TooLarge;
    } catch (const std::length_error&) {
      result = ReadFailure::TooLarge;
    }
  }
  size_t done = 0;
  while (result == ReadFailure::None && done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // The file shrank while it was read, or the disk failed.
      result = ReadFailure::Unreadable;
      break;
    }
    done += static_cast<size_t>(n);
  }
  // A file that grew since it was measured is read as it was measured: what it holds past that
  // is not wanted, and the cap holds.
  ::close(fd);
  if (result == ReadFailure::None) out = std::move(bytes);
  return result;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool ProcessGone(long pid) {
  if (pid <= 0 || pid > INT_MAX) return true;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

ReadFailure ReadRegularFile(const std::string& path, std::vector<uint8_t>& out, uint64_t cap) {
  return ReadInto(path, out, cap);
}

ReadFailure ReadRegularText(const std::string& path, std::string& out, uint64_t cap) {
  return ReadInto(path, out, cap);
}

std::string WriteFailureText(WriteFailure failure, const std::string& path) {
  switch (failure) {
    case WriteFailure::None: return {};
    case WriteFailure::ReadOnly: return path + ": the file is read-only";
    case WriteFailure::NotRegular: return path + ": not a regular file";
    case WriteFailure::Create: return path + ": cannot create a file in its folder";
    case WriteFailure::Write: return path + ": cannot write (is the disk full?)";
    case WriteFailure::Replace: return path + ": cannot replace the file";
  }
  return {};
}

std::string SaveTargetOf(const std::string& path) {
  std::string target = path;
  for (int k = 0; k < kMostLinks; ++k) {
    struct stat st;
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::string link(static_cast<size_t>(PATH_MAX), '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return target;
    link.resize(static_cast<size_t>(n));
    // A relative link is relative to the folder holding the link.
    target = link.front() == '/' ? link : FolderOf(target) + "/" + link;
  }
  return target;
}

WriteFailure ReplacingFile::Open(const std::string& path) {
  Discard();
  if (path.empty() || path.back() == '/') return WriteFailure::NotRegular;
  target_ = SaveTargetOf(path);
  struct stat st;
  // Still a link after the links were followed: a loop of links, which no save may replace.
  if (::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return WriteFailure::NotRegular;
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  mode_t mode = 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return WriteFailure::NotRegular;
    // No write permission bit at all is the user's protection, even for a user (root) whom
    // the system would let through.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target_.c_str(), W_OK) != 0)
      return WriteFailure::ReadOnly;
    mode = st.st_mode & 07777;
  } else {
    mode = 0666;
  }
  const std::string folder = FolderOf(target_);
  RemoveStaleSaveFiles(folder, false);
  temp_ = folder + "/" + kSaveTempPrefix + std::to_string(::getpid()) + "-XXXXXX";
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) {
    temp_.clear();
    return WriteFailure::Create;
  }
  if (exists) {
    // The new file keeps the old one's permissions and, where allowed, its owner.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
      // Only the superuser may give a file away; the file stays the saver's own.
    }
    ::fchmod(fd_, mode);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, mode & ~mask);
  }
  failed_ = false;
  size_ = 0;
  return WriteFailure::None;
}

void ReplacingFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return;
  const auto* p = static_cast<const uint8_t*>(data);
  size_ += size;
  // Small pieces (a log's lines) gather in the buffer; large ones go straight out.
  if (buffer_.size() + size <= kBufferSize) {
    buffer_.insert(buffer_.end(), p, p + size);
    return;
  }
  Flush();
  if (size <= kBufferSize) {
    buffer_.assign(p, p + size);
    return;
  }
  WriteOut(p, size);
}

void ReplacingFile::Flush() {
  if (buffer_.empty()) return;
  WriteOut(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void ReplacingFile::WriteOut(const uint8_t* p, size_t size) {
  if (failed_) return;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

WriteFailure ReplacingFile::Commit() {
  if (fd_ < 0) return WriteFailure::Create;
  Flush();
  bool ok = !failed_ && ::fsync(fd_) == 0;
  if (::close(fd_) != 0) ok = false;
  fd_ = -1;
  if (!ok) {
    Discard();
    return WriteFailure::Write;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Discard();
    return WriteFailure::Replace;
  }
  temp_.clear();
  return WriteFailure::None;
}

void ReplacingFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

WriteFailure ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) {
  ReplacingFile file;
  if (const WriteFailure failure = file.Open(path); failure != WriteFailure::None) return failure;
  file.Write(bytes.data(), bytes.size());
  return file.Commit();
}

int RemoveStaleSaveFiles(const std::string& folder, bool atStart) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  const size_t prefix = std::strlen(kSaveTempPrefix);
  const long self = static_cast<long>(::getpid());
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, kSaveTempPrefix, prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name + prefix, &end, 10);
    if (end == name + prefix || *end != '-') continue;
    if (!(ProcessGone(pid) || (atStart && pid == self))) continue;
    const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
    struct stat st;
    // Only plain files this program could have made.
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace orvo
