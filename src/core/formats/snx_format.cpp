// SNX snapshots. The "XSNA" flavour is a 48K SNA header behind a 6-byte signature, ten bytes of
// settings, and the RAM in run-length codes:
//   below 0xE0: a long code, count = code * 256 + next byte, then a flag byte: 0, count literal
//               bytes follow; otherwise one value byte follows, repeated count times;
//   0xE0-0xEF:  (code & 15) + 1 literal bytes follow;
//   0xF0-0xFF:  the next byte is repeated (code & 15) + 1 times.
// The esxDOS flavour has no signature: it is laid out as a 48K SNA.
#include <algorithm>
#include <cstring>

#include "formats/sna_format.h"
#include "formats/snapshot_48k.h"

namespace orvo {

namespace {

constexpr size_t kSnaHeader = 27;
constexpr size_t kHeader = 43;
constexpr uint8_t kSettings[10] = {0x00, 0x00, 0x01, 0x83, 0x01, 0x00, 0x01, 0x41, 0x22, 0xFF};
constexpr size_t kMinRun = 6;  // shorter runs of equal bytes stay in literal codes

void EmitLiterals(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (bytes.size() <= 16) {
    out.push_back(static_cast<uint8_t>(0xE0 + bytes.size() - 1));
  } else {
    out.push_back(static_cast<uint8_t>(bytes.size() >> 8));
    out.push_back(static_cast<uint8_t>(bytes.size() & 0xFF));
    out.push_back(0x00);
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void EmitRun(std::vector<uint8_t>& out, size_t count, uint8_t value) {
  if (count <= 16) {
    out.push_back(static_cast<uint8_t>(0xF0 + count - 1));
  } else {
    out.push_back(static_cast<uint8_t>(count >> 8));
    out.push_back(static_cast<uint8_t>(count & 0xFF));
    out.push_back(0xFF);
  }
  out.push_back(value);
}

}  // namespace

std::vector<uint8_t> EncodeSnxRam(std::span<const uint8_t> ram) {
  std::vector<uint8_t> out;
  size_t literalStart = 0, i = 0;
  while (i < ram.size()) {
    size_t run = 1;
    while (i + run < ram.size() && ram[i + run] == ram[i]) ++run;
    if (run >= kMinRun) {
      EmitLiterals(out, ram.subspan(literalStart, i - literalStart));
      EmitRun(out, run, ram[i]);
      i += run;
      literalStart = i;
    } else {
      i += run;
    }
  }
  EmitLiterals(out, ram.subspan(literalStart));
  return out;
}

bool DecodeSnxRam(std::span<const uint8_t> codes, std::vector<uint8_t>& ram, size_t size) {
  ram.clear();
  ram.reserve(size);
  size_t pos = 0;
  while (pos < codes.size() && ram.size() < size) {
    const uint8_t code = codes[pos++];
    size_t count;
    bool repeat;
    if (code < 0xE0) {
      if (codes.size() - pos < 2) return false;
      count = static_cast<size_t>(code) * 256 + codes[pos];
      repeat = codes[pos + 1] != 0;
      pos += 2;
    } else {
      count = (code & 0x0F) + 1u;
      repeat = code >= 0xF0;
    }
    if (count > size - ram.size()) return false;
    if (repeat) {
      if (pos >= codes.size()) return false;
      ram.insert(ram.end(), count, codes[pos++]);
    } else {
      if (codes.size() - pos < count) return false;
      ram.insert(ram.end(), codes.begin() + static_cast<ptrdiff_t>(pos),
                 codes.begin() + static_cast<ptrdiff_t>(pos + count));
      pos += count;
    }
  }
  return ram.size() == size;
}

FormatStatus ParseSNX(std::span<const uint8_t> data, SnapshotRecord& out) {
  const bool xsna = data.size() >= 4 && std::memcmp(data.data(), "XSNA", 4) == 0;
  if (!xsna) {
    // The esxDOS flavour: an SNA by another name.
    SnapshotRecord r;
    if (!ParseSNA(data, r).Ok()) return {FormatError::SnxSignature, 0};
    r.label = "SNX File";
    out = std::move(r);
    return {};
  }
  if (data.size() < kHeader) return {FormatError::SnapshotLength, 0};
  if (((data[4] << 8) | data[5]) != 37) return {FormatError::Only48K, 0};
  std::vector<uint8_t> sna(data.begin() + 6, data.begin() + 6 + kSnaHeader);
  std::vector<uint8_t> ram;
  if (!DecodeSnxRam(data.subspan(kHeader), ram, kRam48Size)) {
    return {FormatError::SnapshotLength, 0};
  }
  sna.insert(sna.end(), ram.begin(), ram.end());
  SnapshotRecord r;
  if (const FormatStatus s = ParseSNA(sna, r); !s.Ok()) return s;
  r.label = "SNX File";
  out = std::move(r);
  return {};
}

FormatStatus WriteSNX(const SnapshotRecord& r, std::vector<uint8_t>& out) {
  if (!WritableAs48K(r)) return {FormatError::Only48K, 0};
  // The 48K SNA of the record has PC pushed on its copy of the stack, as the format keeps it.
  SnapshotRecord as48 = r;
  as48.model = SnapshotModel::k48K;
  const std::vector<uint8_t> sna = WriteSNA(as48);
  std::vector<uint8_t> file = {'X', 'S', 'N', 'A', 0, 37};
  file.insert(file.end(), sna.begin(), sna.begin() + kSnaHeader);
  file.insert(file.end(), std::begin(kSettings), std::end(kSettings));
  const std::vector<uint8_t> codes =
      EncodeSnxRam(std::span<const uint8_t>(sna).subspan(kSnaHeader));
  file.insert(file.end(), codes.begin(), codes.end());
  out = std::move(file);
  return {};
}

}  // namespace orvo
