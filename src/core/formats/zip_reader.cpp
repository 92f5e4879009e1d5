#include "formats/zip_reader.h"

#include <zip.h>

#include <new>

namespace orvo {

namespace {

// The largest entry taken out of an archive; a claimed size above it is refused before anything
// is allocated.
constexpr zip_uint64_t kLargestEntry = 64u << 20;

}  // namespace

ZipReader::~ZipReader() {
  Close();
}

FormatStatus ZipReader::Open(std::span<const uint8_t> bytes) {
  Close();
  bytes_.assign(bytes.begin(), bytes.end());
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
  if (source != nullptr) {
    archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (archive_ == nullptr) zip_source_free(source);
  }
  zip_error_fini(&error);
  if (archive_ == nullptr) {
    bytes_.clear();
    return {FormatError::ZipOpen, 0};
  }
  return {};
}

void ZipReader::Close() {
  if (archive_ != nullptr) zip_discard(archive_);  // read only: nothing to write back
  archive_ = nullptr;
  bytes_.clear();
}

int64_t ZipReader::EntryCount() const {
  return archive_ == nullptr ? 0 : zip_get_num_entries(archive_, 0);
}

std::string ZipReader::EntryName(int64_t index) const {
  if (archive_ == nullptr || index < 0) return {};
  const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(index), 0);
  return name == nullptr ? std::string() : std::string(name);
}

FormatStatus ZipReader::ReadEntry(int64_t index, std::vector<uint8_t>& out) const {
  const FormatStatus readError{FormatError::ZipRead, 0};
  if (archive_ == nullptr || index < 0) return readError;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE)) {
    return readError;
  }
  if (st.size > kLargestEntry) return {FormatError::ZipTooLarge, 0};
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(st.size));
  } catch (const std::bad_alloc&) {
    return {FormatError::ZipTooLarge, 0};
  }
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return readError;
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
  if (failed) return readError;
  out = std::move(bytes);
  return {};
}

}  // namespace orvo
