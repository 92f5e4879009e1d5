#include "formats/dsk_format.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_cursor.h"

namespace orvo {

namespace {

constexpr char kStandardSignature[] = "MV - CPC";
constexpr char kExtendedSignature[] = "EXTENDED";
constexpr char kExtendedHeader[] = "EXTENDED CPC DSK File\r\nDisk-Info\r\n";
constexpr char kTrackHeader[] = "Track-Info\r\n";
constexpr size_t kBlockSize = 256;
constexpr size_t kSectorListOffset = 0x18;

bool StartsWith(std::span<const uint8_t> bytes, const char* text) {
  const size_t n = std::strlen(text);
  return bytes.size() >= n && std::memcmp(bytes.data(), text, n) == 0;
}

// One track from its block (information block and data). The sector list is read as far as the
// declared count and the block allow; a sector's data is cut where the block ends.
void ParseTrack(std::span<const uint8_t> block, bool extended, DiskTrack& track) {
  track.formatted = true;
  track.sizeCode = block[0x14];
  track.gap3 = block[0x16];
  track.filler = block[0x17];
  const unsigned count = std::min<unsigned>(block[0x15], kDskMaxSectorsPerTrack);
  size_t dataAt = kBlockSize;
  track.sectors.resize(count);
  for (unsigned i = 0; i < count; ++i) {
    const uint8_t* info = block.data() + kSectorListOffset + i * 8;
    DiskSector& s = track.sectors[i];
    s.c = info[0];
    s.h = info[1];
    s.r = info[2];
    s.n = info[3];
    s.st1 = info[4];
    s.st2 = info[5];
    // The standard format gives every sector the track's size; the extended one stores each
    // sector's own length.
    const size_t length =
        extended ? ReadLe16(block, kSectorListOffset + i * 8 + 6) : DiskSectorBytes(track.sizeCode);
    const size_t have = dataAt < block.size() ? std::min(length, block.size() - dataAt) : 0;
    s.data.assign(block.begin() + static_cast<std::ptrdiff_t>(dataAt),
                  block.begin() + static_cast<std::ptrdiff_t>(dataAt + have));
    dataAt += length;
  }
}

}  // namespace

FormatStatus ParseDsk(std::span<const uint8_t> bytes, DiskImage& out) {
  const bool extended = StartsWith(bytes, kExtendedSignature);
  if ((!extended && !StartsWith(bytes, kStandardSignature)) || bytes.size() < kBlockSize)
    return {FormatError::DiskSignature, 0};
  const unsigned cylinders = bytes[0x30];
  const unsigned sides = bytes[0x31];
  if (sides < 1 || sides > 2 || cylinders * sides > kDskMaxTrackEntries)
    return {FormatError::DiskGeometry, 0};

  DiskImage image;
  image.cylinders = static_cast<uint8_t>(cylinders);
  image.sides = static_cast<uint8_t>(sides);
  const char* creator = reinterpret_cast<const char*>(bytes.data() + 0x22);
  image.creator.assign(creator, strnlen(creator, 14));
  image.tracks.resize(cylinders * sides);

  const size_t standardSize = ReadLe16(bytes, 0x32);
  size_t offset = kBlockSize;
  for (unsigned t = 0; t < cylinders * sides; ++t) {
    const size_t size = extended ? static_cast<size_t>(bytes[0x34 + t]) * 256 : standardSize;
    if (size == 0) continue;  // unformatted
    if (size < kBlockSize || offset > bytes.size() || bytes.size() - offset < kBlockSize) {
      // Images whose last tracks were never written often just end: the tracks left are
      // unformatted. A track that begins but has no information block is damage.
      if (offset >= bytes.size()) break;
      return {FormatError::DiskTrack, t};
    }
    const std::span<const uint8_t> block =
        bytes.subspan(offset, std::min(size, bytes.size() - offset));
    if (StartsWith(block, kTrackHeader)) ParseTrack(block, extended, image.tracks[t]);
    offset += size;
  }
  out = std::move(image);
  return {};
}

std::vector<uint8_t> WriteDsk(const DiskImage& image) {
  std::vector<uint8_t> out(kBlockSize, 0);
  std::memcpy(out.data(), kExtendedHeader, std::strlen(kExtendedHeader));
  const std::string creator = image.creator.empty() ? "Orvo" : image.creator.substr(0, 14);
  std::memcpy(out.data() + 0x22, creator.data(), creator.size());
  const unsigned entries = std::min<unsigned>(image.tracks.size(), kDskMaxTrackEntries);
  out[0x30] = static_cast<uint8_t>(entries / image.sides);
  out[0x31] = image.sides;
  for (unsigned t = 0; t < entries; ++t) {
    const DiskTrack& track = image.tracks[t];
    if (!track.formatted) continue;
    const size_t start = out.size();
    out.resize(start + kBlockSize, 0);
    uint8_t* info = out.data() + start;
    std::memcpy(info, kTrackHeader, std::strlen(kTrackHeader));
    info[0x10] = static_cast<uint8_t>(t / image.sides);
    info[0x11] = static_cast<uint8_t>(t % image.sides);
    info[0x14] = track.sizeCode;
    const unsigned count = std::min<unsigned>(track.sectors.size(), kDskMaxSectorsPerTrack);
    info[0x15] = static_cast<uint8_t>(count);
    info[0x16] = track.gap3;
    info[0x17] = track.filler;
    std::vector<uint8_t> data;
    for (unsigned i = 0; i < count; ++i) {
      const DiskSector& s = track.sectors[i];
      // A sector length must fit the 16-bit field; longer runs are cut there.
      const size_t length = std::min<size_t>(s.data.size(), 0xFF00);
      uint8_t* e = out.data() + start + kSectorListOffset + i * 8;
      e[0] = s.c;
      e[1] = s.h;
      e[2] = s.r;
      e[3] = s.n;
      e[4] = s.st1;
      e[5] = s.st2;
      PutLe16(e + 6, static_cast<uint16_t>(length));
      data.insert(data.end(), s.data.begin(), s.data.begin() + static_cast<std::ptrdiff_t>(length));
    }
    data.resize((data.size() + 255) / 256 * 256, 0);
    // The size table counts in 256-byte units with one byte per track; a track too large for it
    // keeps what fits.
    const size_t trackSize = std::min<size_t>(kBlockSize + data.size(), 0xFF00);
    out.insert(out.end(), data.begin(),
               data.begin() + static_cast<std::ptrdiff_t>(trackSize - kBlockSize));
    out[0x34 + t] = static_cast<uint8_t>(trackSize / 256);
  }
  return out;
}

DiskImage BlankDisk(uint8_t cylinders, uint8_t sides) {
  DiskImage image;
  image.cylinders = cylinders;
  image.sides = sides;
  image.tracks.resize(static_cast<size_t>(cylinders) * sides);
  return image;
}

}  // namespace orvo
