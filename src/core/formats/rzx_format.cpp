#include "formats/rzx_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "formats/byte_cursor.h"
#include "formats/zlib_codec.h"

namespace orvo {

namespace {

constexpr size_t kHeaderSize = 10;
constexpr size_t kBlockHeader = 5;
constexpr uint8_t kCreatorBlock = 0x10;
constexpr uint8_t kSnapshotBlock = 0x30;
constexpr uint8_t kInputBlock = 0x80;
constexpr uint32_t kCompressed = 2;
// No real recording comes near this: an hour of frames takes a few megabytes. It holds for the
// snapshot and for all the input blocks together: a small file of many copies of one highly
// compressed block would otherwise unpack to gigabytes.
constexpr size_t kMaxInflated = 64u << 20;

constexpr char kBusVectorTag[4] = {'V', 'E', 'C', 'T'};

bool ReadCreator(ByteCursor body, RzxFile& out) {
  const uint8_t* id;
  uint32_t major, minor;
  if (!body.Bytes(20, id) || !body.U16(major) || !body.U16(minor)) return false;
  out.creator.assign(reinterpret_cast<const char*>(id), 20);
  out.creator.erase(std::find(out.creator.begin(), out.creator.end(), '\0'), out.creator.end());
  while (!out.creator.empty() && out.creator.back() == ' ') out.creator.pop_back();
  out.creatorMajor = static_cast<uint16_t>(major);
  out.creatorMinor = static_cast<uint16_t>(minor);
  // Orvo's custom data: the frames whose interrupt had a vector on the bus. Another program's
  // custom data is its own; a list that does not fit its block is left unread.
  const uint8_t* tag;
  uint32_t count;
  if (out.creator != "Orvo" || !body.Bytes(4, tag) || std::memcmp(tag, kBusVectorTag, 4) != 0 ||
      !body.U32(count) || count > body.Left() / 5)
    return true;
  out.busVectors.resize(count);
  for (RzxBusVector& v : out.busVectors) {
    uint32_t frame, vector;
    body.U32(frame);
    body.U8(vector);
    v = {frame, static_cast<uint8_t>(vector)};
  }
  return true;
}

bool ReadSnapshot(ByteCursor body, RzxSnapshot& s) {
  uint32_t flags, length;
  const uint8_t* ext;
  if (!body.U32(flags) || !body.Bytes(4, ext) || !body.U32(length)) return false;
  s.flags = flags;
  std::memcpy(s.extension.data(), ext, 4);
  s.length = length;
  const uint8_t* p;
  const size_t n = body.Left();
  body.Bytes(n, p);
  const std::span<const uint8_t> raw(p, n);
  if ((flags & kCompressed) && !s.External()) {
    return InflateAll(raw, s.data, kMaxInflated);
  }
  s.data.assign(raw.begin(), raw.end());
  return true;
}

// Unpacks the frames of an input block, repeats resolved to their previous frame's values. The
// frame before the block's first is the last of the block before (`before`, null for the
// recording's first block): a repeat with no frame at all before it is refused.
bool ReadFrames(std::span<const uint8_t> packed, uint32_t count, RzxInputBlock& b,
                const RzxInputBlock* before) {
  ByteCursor c(packed);
  b.frames.reserve(std::min<size_t>(count, packed.size() / 4));
  b.values.reserve(packed.size());
  RzxFrame previous;
  bool havePrevious = false;
  if (before && !before->frames.empty()) {
    const std::span<const uint8_t> last = before->ValuesOf(before->frames.back());
    b.values.assign(last.begin(), last.end());
    previous.reads = before->frames.back().reads;
    havePrevious = true;
  }
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t fetches, reads;
    if (!c.U16(fetches) || !c.U16(reads)) return false;
    RzxFrame f;
    f.fetches = static_cast<uint16_t>(fetches);
    if (reads == kRzxRepeatFrame) {
      if (!havePrevious) return false;
      f.reads = previous.reads;
      f.first = previous.first;
    } else {
      const uint8_t* v;
      if (!c.Bytes(reads, v)) return false;
      f.reads = reads;
      f.first = static_cast<uint32_t>(b.values.size());
      b.values.insert(b.values.end(), v, v + reads);
    }
    b.frames.push_back(f);
    previous = f;
    havePrevious = true;
  }
  return true;
}

// `budget` is what the input blocks may still unpack to; each block takes its share.
bool ReadInput(ByteCursor body, RzxInputBlock& b, size_t& budget, const RzxInputBlock* before) {
  uint32_t count, reserved, start, flags;
  if (!body.U32(count) || !body.U8(reserved) || !body.U32(start) || !body.U32(flags)) return false;
  b.reserved = static_cast<uint8_t>(reserved);
  b.startTState = start;
  b.flags = flags;
  const uint8_t* p;
  const size_t n = body.Left();
  body.Bytes(n, p);
  const std::span<const uint8_t> raw(p, n);
  if (!(flags & kCompressed)) {
    if (raw.size() > budget) return false;
    budget -= raw.size();
    return ReadFrames(raw, count, b, before);
  }
  std::vector<uint8_t> packed;
  if (!InflateAll(raw, packed, budget)) return false;
  budget -= packed.size();
  return ReadFrames(packed, count, b, before);
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

// Appends a block: ID, length (patched once the body is in), body.
template <class Body>
void AppendBlock(std::vector<uint8_t>& out, uint8_t id, Body&& body) {
  const size_t start = out.size();
  out.push_back(id);
  PutLe32(out, 0);
  body();
  const uint32_t length = static_cast<uint32_t>(out.size() - start);
  for (int k = 0; k < 4; ++k) out[start + 1 + k] = static_cast<uint8_t>(length >> (8 * k));
}

FormatStatus ParseBlocks(std::span<const uint8_t> data, RzxFile& out) {
  out = RzxFile{};
  out.creator.clear();
  if (data.size() < kHeaderSize || std::memcmp(data.data(), "RZX!", 4) != 0)
    return {FormatError::RzxSignature, 0};
  out.major = data[4];
  out.minor = data[5];
  out.flags = static_cast<uint32_t>(data[6] | data[7] << 8 | data[8] << 16) |
              static_cast<uint32_t>(data[9]) << 24;
  ByteCursor c(data.subspan(kHeaderSize));
  size_t inputBudget = kMaxInflated;
  while (!c.AtEnd()) {
    const uint32_t offset = static_cast<uint32_t>(kHeaderSize + c.Offset());
    const FormatStatus bad{FormatError::RzxBlock, offset};
    uint32_t id, length;
    ByteCursor body;
    if (!c.U8(id) || !c.U32(length) || length < kBlockHeader || !c.Sub(length - kBlockHeader, body))
      return bad;
    switch (id) {
      case kCreatorBlock:
        if (!ReadCreator(body, out)) return bad;
        break;
      case kSnapshotBlock: {
        RzxSnapshot s;
        if (!ReadSnapshot(body, s)) return bad;
        out.snapshot = std::move(s);
        ++out.snapshotCount;
        break;
      }
      case kInputBlock: {
        RzxInputBlock b;
        if (!ReadInput(body, b, inputBudget, out.inputs.empty() ? nullptr : &out.inputs.back()))
          return bad;
        out.inputs.push_back(std::move(b));
        break;
      }
      default: break;  // security information and signature, later additions: skipped whole
    }
  }
  return {};
}

}  // namespace

std::string RzxSnapshot::Extension() const {
  std::string text(extension.data(), extension.size());
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  return text;
}

uint64_t RzxFile::TotalFrames() const {
  uint64_t total = 0;
  for (const RzxInputBlock& b : inputs) total += b.frames.size();
  return total;
}

FormatStatus ParseRZX(std::span<const uint8_t> data, RzxFile& out) {
  try {
    return ParseBlocks(data, out);
  } catch (const std::bad_alloc&) {
    out = RzxFile{};
    return {FormatError::OutOfMemory, 0};
  }
}

std::vector<uint8_t> WriteRZX(const RzxFile& file) {
  std::vector<uint8_t> out = {'R', 'Z', 'X', '!', file.major, file.minor};
  PutLe32(out, file.flags);

  AppendBlock(out, kCreatorBlock, [&] {
    std::string id = file.creator.substr(0, 20);
    id.resize(20, ' ');
    out.insert(out.end(), id.begin(), id.end());
    AppendLe16(out, file.creatorMajor);
    AppendLe16(out, file.creatorMinor);
    if (file.busVectors.empty()) return;
    out.insert(out.end(), std::begin(kBusVectorTag), std::end(kBusVectorTag));
    PutLe32(out, static_cast<uint32_t>(file.busVectors.size()));
    for (const RzxBusVector& v : file.busVectors) {
      PutLe32(out, v.frame);
      out.push_back(v.vector);
    }
  });

  AppendBlock(out, kSnapshotBlock, [&] {
    PutLe32(out, kCompressed);
    out.insert(out.end(), file.snapshot.extension.begin(), file.snapshot.extension.end());
    PutLe32(out, static_cast<uint32_t>(file.snapshot.data.size()));
    const std::vector<uint8_t> packed = DeflateAll(file.snapshot.data);
    out.insert(out.end(), packed.begin(), packed.end());
  });

  std::vector<uint8_t> frames;
  uint32_t count = 0;
  std::span<const uint8_t> previous;
  bool first = true;
  for (const RzxInputBlock& b : file.inputs) {
    for (const RzxFrame& f : b.frames) {
      const std::span<const uint8_t> values = b.ValuesOf(f);
      AppendLe16(frames, f.fetches);
      // A frame's reads are counted in 16 bits; 0xFFFF itself means a repeat, so more are cut.
      const size_t reads = std::min<size_t>(values.size(), kRzxRepeatFrame - 1);
      if (!first && reads != 0 && reads == previous.size() &&
          std::equal(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(reads),
                     previous.begin())) {
        AppendLe16(frames, kRzxRepeatFrame);
      } else {
        AppendLe16(frames, static_cast<uint16_t>(reads));
        frames.insert(frames.end(), values.begin(),
                      values.begin() + static_cast<std::ptrdiff_t>(reads));
      }
      previous = values.first(reads);
      first = false;
      ++count;
    }
  }
  const uint32_t start = file.inputs.empty() ? 0 : file.inputs.front().startTState;
  AppendBlock(out, kInputBlock, [&] {
    PutLe32(out, count);
    out.push_back(0);
    PutLe32(out, start);
    PutLe32(out, kCompressed);
    const std::vector<uint8_t> packed = DeflateAll(frames);
    out.insert(out.end(), packed.begin(), packed.end());
  });
  return out;
}

std::string RzxDurationText(uint64_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
                static_cast<unsigned long long>(frames / 180000),
                static_cast<unsigned long long>(frames % 180000 / 3000),
                static_cast<unsigned long long>(frames % 3000 / 50));
  return text;
}

}  // namespace orvo
