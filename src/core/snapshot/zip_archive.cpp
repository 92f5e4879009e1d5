#include "snapshot/zip_archive.h"

#include <zip.h>

#include <new>

#include "shell/emulator.h"
#include "snapshot/dispatch.h"
#include "snapshot/extension_table.h"

namespace orvo {

namespace {

// The largest entry taken out of an archive; a claimed size above it is refused before anything
// is allocated.
constexpr zip_uint64_t kLargestEntry = 64u << 20;

bool LoadableFromZip(FileKind kind) {
  return (kind >= FileKind::Sna && kind <= FileKind::Tap) || kind == FileKind::Csw;
}

}  // namespace

ZipArchive::~ZipArchive() {
  Close();
}

bool ZipArchive::Open(const std::string& path) {
  Close();
  int error = 0;
  archive_ = zip_open(path.c_str(), ZIP_RDONLY, &error);
  return archive_ != nullptr;
}

void ZipArchive::Close() {
  if (archive_ != nullptr) zip_discard(archive_);  // read only: nothing to write back
  archive_ = nullptr;
}

int64_t ZipArchive::EntryCount() const {
  return archive_ == nullptr ? 0 : zip_get_num_entries(archive_, 0);
}

std::string ZipArchive::EntryName(int64_t index) const {
  if (archive_ == nullptr || index < 0) return {};
  const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(index), 0);
  return name == nullptr ? std::string() : std::string(name);
}

MessageId ZipArchive::ReadEntry(int64_t index, std::vector<uint8_t>& out) const {
  if (archive_ == nullptr || index < 0) return kMsgReadError;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE)) {
    return kMsgReadError;
  }
  if (st.size > kLargestEntry) return kMsgOutOfMemory;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(st.size));
  } catch (const std::bad_alloc&) {
    return kMsgOutOfMemory;
  }
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return kMsgReadError;
  zip_uint64_t done = 0;
  while (done < st.size) {
    const zip_int64_t got = zip_fread(file, bytes.data() + done, st.size - done);
    if (got <= 0) break;
    done += static_cast<zip_uint64_t>(got);
  }
  // Reading on to the end makes libzip check the entry's CRC. Fewer or more bytes than the
  // directory promised, or a checksum failure, is a damaged archive.
  uint8_t extra = 0;
  const bool atEnd = done == st.size && zip_fread(file, &extra, 1) == 0;
  const bool failed = (zip_fclose(file) != 0) || !atEnd;
  if (failed) return kMsgReadError;
  out = std::move(bytes);
  return kMsgNone;
}

bool ListZipEntries(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  ZipArchive archive;
  if (!archive.Open(path)) return false;
  const int64_t count = archive.EntryCount();
  for (int64_t i = 0; i < count; ++i) names.push_back(archive.EntryName(i));
  return true;
}

int LoadZipEntry(Emulator& emu, const ZipArchive& archive, int64_t index) {
  if (index < 0 || index >= archive.EntryCount()) return 1;
  const std::string name = archive.EntryName(index);
  std::vector<uint8_t> bytes;
  if (const MessageId failed = archive.ReadEntry(index, bytes); failed != kMsgNone) {
    emu.ShowMessage(CaptionId::Options, failed);
    return 1;
  }
  emu.files.Loaded.bytes = std::move(bytes);
  return DispatchZipEntry(emu, name);
}

int LoadZipArchiveEntry(Emulator& emu, const std::string& path, std::string_view entryName) {
  ZipArchive archive;
  if (!archive.Open(path)) {
    emu.ShowMessage(CaptionId::File, kMsgFileNotFound);
    return 1;
  }
  emu.files.CurrentFilePath = path;
  const int64_t count = archive.EntryCount();
  for (int64_t i = 0; i < count; ++i) {
    const std::string name = archive.EntryName(i);
    const bool wanted =
        entryName.empty() ? LoadableFromZip(MatchExtension(name)) : name == entryName;
    if (wanted) return LoadZipEntry(emu, archive, i);
  }
  emu.ShowMessage(CaptionId::Options, entryName.empty() ? kMsgUnknownExtension : kMsgFileNotFound);
  return 1;
}

}  // namespace orvo
