#include "formats/trd_format.h"

#include <algorithm>
#include <cstring>

namespace orvo {

namespace {

// The information sector (sector 9 of track 0) and its fields.
constexpr uint32_t kInfoOffset = 8 * kTrdSectorSize;
constexpr uint32_t kFirstFreeSector = 0xE1;
constexpr uint32_t kFirstFreeTrack = 0xE2;
constexpr uint32_t kDiskType = 0xE3;
constexpr uint32_t kFileCount = 0xE4;
constexpr uint32_t kFreeSectors = 0xE5;
constexpr uint32_t kTrdosId = 0xE7;
constexpr uint32_t kDeletedFiles = 0xF4;
constexpr uint32_t kLabel = 0xF5;
constexpr uint32_t kEntrySize = 16;
constexpr uint32_t kMaxFiles = 128;  // eight sectors of sixteen entries
constexpr uint8_t kTypeDs80 = 0x16, kTypeDs40 = 0x17, kTypeSs80 = 0x18, kTypeSs40 = 0x19;

constexpr uint8_t kSclSignature[8] = {'S', 'I', 'N', 'C', 'L', 'A', 'I', 'R'};
constexpr uint32_t kSclHeaderSize = 14;

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Cylinders and sides named by an information sector's disk type (80 x 2 for any other value).
void GeometryOfType(uint8_t type, uint32_t& cylinders, uint32_t& sides) {
  cylinders = (type == kTypeDs40 || type == kTypeSs40) ? 40 : 80;
  sides = (type == kTypeSs80 || type == kTypeSs40) ? 1 : 2;
}

}  // namespace

uint8_t* TrdDisk::Sector(uint32_t cylinder, uint32_t side, uint32_t sector) {
  if (cylinder >= cylinders || side >= sides || sector < 1 || sector > kTrdSectorsPerTrack)
    return nullptr;
  const size_t at =
      ((static_cast<size_t>(cylinder) * sides + side) * kTrdSectorsPerTrack + (sector - 1)) *
      kTrdSectorSize;
  return at + kTrdSectorSize <= data.size() ? data.data() + at : nullptr;
}

const uint8_t* TrdDisk::Sector(uint32_t cylinder, uint32_t side, uint32_t sector) const {
  return const_cast<TrdDisk*>(this)->Sector(cylinder, side, sector);
}

FormatStatus ParseTrd(std::span<const uint8_t> bytes, TrdDisk& out) {
  const size_t largest = static_cast<size_t>(kTrdMaxCylinders) * 2 * kTrdTrackSize;
  if (bytes.empty() || bytes.size() % kTrdSectorSize != 0 || bytes.size() > largest)
    return {FormatError::DiskGeometry, 0};
  TrdDisk disk;
  const uint8_t type = bytes.size() > kInfoOffset + kDiskType ? bytes[kInfoOffset + kDiskType] : 0;
  GeometryOfType(type, disk.cylinders, disk.sides);
  // A file longer than its type says (extra cylinders) keeps them all.
  const size_t tracks = (bytes.size() + kTrdTrackSize - 1) / kTrdTrackSize;
  disk.cylinders = std::max<uint32_t>(
      disk.cylinders, static_cast<uint32_t>((tracks + disk.sides - 1) / disk.sides));
  disk.data.assign(static_cast<size_t>(disk.cylinders) * disk.sides * kTrdTrackSize, 0);
  std::copy(bytes.begin(), bytes.end(), disk.data.begin());
  out = std::move(disk);
  return {};
}

TrdDisk BlankTrd(const std::string& label) {
  TrdDisk disk;
  disk.data.assign(static_cast<size_t>(disk.cylinders) * disk.sides * kTrdTrackSize, 0);
  uint8_t* info = disk.data.data() + kInfoOffset;
  info[kFirstFreeSector] = 0;
  info[kFirstFreeTrack] = 1;
  info[kDiskType] = kTypeDs80;
  info[kFileCount] = 0;
  Put16(info + kFreeSectors,
        disk.cylinders * disk.sides * kTrdSectorsPerTrack - kTrdSectorsPerTrack);
  info[kTrdosId] = 0x10;
  std::memset(info + 0xEA, ' ', 9);
  info[kDeletedFiles] = 0;
  std::memset(info + kLabel, ' ', 8);
  std::memcpy(info + kLabel, label.data(), std::min<size_t>(label.size(), 8));
  return disk;
}

FormatStatus ParseScl(std::span<const uint8_t> bytes, TrdDisk& out) {
  if (bytes.size() < 9 || std::memcmp(bytes.data(), kSclSignature, 8) != 0)
    return {FormatError::DiskSignature, 0};
  const uint32_t count = bytes[8];
  if (count > kMaxFiles) return {FormatError::DiskGeometry, count};
  TrdDisk disk = BlankTrd();
  uint8_t* const info = disk.data.data() + kInfoOffset;
  uint32_t free = Get16(info + kFreeSectors);
  uint32_t next = kTrdSectorsPerTrack;  // logical sector: track 1, sector 0
  size_t data = 9 + static_cast<size_t>(count) * kSclHeaderSize;
  if (data > bytes.size()) return {FormatError::DiskTrack, 0};
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* header = bytes.data() + 9 + static_cast<size_t>(i) * kSclHeaderSize;
    const uint32_t sectors = header[13];
    const size_t length = static_cast<size_t>(sectors) * kTrdSectorSize;
    if (bytes.size() - data < length) return {FormatError::DiskTrack, i + 1};
    if (sectors > free) return {FormatError::DiskGeometry, i + 1};
    uint8_t* entry = disk.data.data() + static_cast<size_t>(i) * kEntrySize;
    std::memcpy(entry, header, 13);
    entry[13] = static_cast<uint8_t>(sectors);
    entry[14] = static_cast<uint8_t>(next % kTrdSectorsPerTrack);
    entry[15] = static_cast<uint8_t>(next / kTrdSectorsPerTrack);
    std::memcpy(disk.data.data() + static_cast<size_t>(next) * kTrdSectorSize, bytes.data() + data,
                length);
    data += length;
    next += sectors;
    free -= sectors;
  }
  info[kFirstFreeSector] = static_cast<uint8_t>(next % kTrdSectorsPerTrack);
  info[kFirstFreeTrack] = static_cast<uint8_t>(next / kTrdSectorsPerTrack);
  info[kFileCount] = static_cast<uint8_t>(count);
  Put16(info + kFreeSectors, free);
  out = std::move(disk);
  return {};
}

std::vector<uint8_t> WriteTrd(const TrdDisk& disk) {
  return disk.data;
}

std::vector<uint8_t> WriteScl(const std::vector<TrdFile>& files) {
  std::vector<uint8_t> out(kSclSignature, kSclSignature + 8);
  out.push_back(static_cast<uint8_t>(files.size()));
  for (const TrdFile& f : files) {
    uint8_t header[kSclHeaderSize] = {};
    std::memset(header, ' ', 8);
    std::memcpy(header, f.name.data(), std::min<size_t>(f.name.size(), 8));
    header[8] = static_cast<uint8_t>(f.type);
    Put16(header + 9, f.start);
    Put16(header + 11, f.length);
    header[13] = static_cast<uint8_t>((f.sectors.size() + kTrdSectorSize - 1) / kTrdSectorSize);
    out.insert(out.end(), header, header + kSclHeaderSize);
  }
  for (const TrdFile& f : files) {
    std::vector<uint8_t> padded = f.sectors;
    padded.resize((padded.size() + kTrdSectorSize - 1) / kTrdSectorSize * kTrdSectorSize, 0);
    out.insert(out.end(), padded.begin(), padded.end());
  }
  uint32_t sum = 0;
  for (uint8_t b : out) sum += b;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(sum >> (8 * i)));
  return out;
}

std::vector<TrdFile> TrdCatalogue(const TrdDisk& disk) {
  std::vector<TrdFile> files;
  if (disk.data.size() < kInfoOffset) return files;
  for (uint32_t i = 0; i < kMaxFiles; ++i) {
    const uint8_t* e = disk.data.data() + static_cast<size_t>(i) * kEntrySize;
    if (e[0] == 0) break;     // the end of the catalogue
    if (e[0] == 1) continue;  // a deleted file
    TrdFile f;
    f.name.assign(reinterpret_cast<const char*>(e), 8);
    f.type = static_cast<char>(e[8]);
    f.start = Get16(e + 9);
    f.length = Get16(e + 11);
    const size_t first =
        (static_cast<size_t>(e[15]) * kTrdSectorsPerTrack + e[14]) * kTrdSectorSize;
    const size_t length = static_cast<size_t>(e[13]) * kTrdSectorSize;
    if (first + length <= disk.data.size())
      f.sectors.assign(disk.data.begin() + static_cast<std::ptrdiff_t>(first),
                       disk.data.begin() + static_cast<std::ptrdiff_t>(first + length));
    files.push_back(std::move(f));
  }
  return files;
}

}  // namespace orvo
