// ZXS snapshots: a RIFF file of form "SNAP" whose chunks hold the model, the registers, the
// ports and the RAM pages (plain, or raw deflate data with the page's CRC-32).
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "formats/byte_cursor.h"
#include "formats/inflate.h"
#include "formats/snapshot_48k.h"

namespace orvo {

namespace {

constexpr uint16_t kZlib = 0x0008;
constexpr uint16_t kPlain = 0xFFFF;

bool Is(const uint8_t* id, const char* text) {
  return std::memcmp(id, text, 4) == 0;
}

bool ModelOf(uint32_t machine, SnapshotModel& model) {
  switch (machine) {
    case 0x10:
    case 0x20: model = SnapshotModel::k48K; return true;
    case 0x30: model = SnapshotModel::k128K; return true;
    case 0x40: model = SnapshotModel::kPlus2; return true;
    case 0x50: model = SnapshotModel::kPlus2A; return true;
    case 0x60: model = SnapshotModel::kPlus3; return true;
    default: return false;
  }
}

void ReadRegisters(std::span<const uint8_t> b, SnapshotCpu& cpu) {
  using C = SnapshotCpu;
  ReadRegWords(b, 0, cpu,
               {&C::AF, &C::BC, &C::DE, &C::HL, &C::AF_, &C::BC_, &C::DE_, &C::HL_, &C::IX, &C::IY,
                &C::PC, &C::SP});
  cpu.I = b[24];
  cpu.R = b[25] & 0x7F;
  cpu.R7 = b[25] & 0x80;
  cpu.IM = b[26] & 3;
  cpu.IFF1 = b[27] ? 1 : 0;
  cpu.IFF2 = b[28] ? 1 : 0;
}

// One "ramN" chunk's body into a 16K page.
bool ReadPage(std::span<const uint8_t> body, uint16_t compression, std::vector<uint8_t>& page) {
  if (compression == kPlain) {
    if (body.size() != kSnapshotPageSize) return false;
    page.assign(body.begin(), body.end());
    return true;
  }
  if (body.size() < 12 || ReadLe16(body, 0) != 12 || ReadLe16(body, 2) != 0) return false;
  const uint32_t crc = static_cast<uint32_t>(ReadLe16(body, 4) | (ReadLe16(body, 6) << 16));
  const uint32_t size = static_cast<uint32_t>(ReadLe16(body, 8) | (ReadLe16(body, 10) << 16));
  if (size != kSnapshotPageSize) return false;
  // The page is a bare deflate stream (no zlib trailer follows it).
  if (!InflateBytes(body.subspan(12), page, kSnapshotPageSize, true, true)) return false;
  return crc32(0, page.data(), static_cast<uInt>(page.size())) == crc;
}

}  // namespace

FormatStatus ParseZXS(std::span<const uint8_t> data, SnapshotRecord& out,
                      SnapshotModel currentModel) {
  if (data.size() < 4 || !Is(data.data(), "RIFF")) return {FormatError::ZxsRiff, 0};
  if (data.size() < 12) return {FormatError::SnapshotLength, 0};
  if (!Is(data.data() + 8, "SNAP")) return {FormatError::ZxsSnap, 0};
  SnapshotRecord r;
  r.model = currentModel;
  uint16_t compression = kZlib;
  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> pages;  // in file order
  ByteCursor c(data);
  c.Skip(12);
  while (!c.AtEnd()) {
    const uint8_t* id;
    uint32_t size;
    ByteCursor sub;
    // A chunk that runs past the end of the file refuses the file.
    if (!c.Bytes(4, id) || !c.U32(size) || !c.Sub(size, sub)) {
      return {FormatError::SnapshotLength, 0};
    }
    const uint8_t* p = nullptr;
    sub.Bytes(size, p);
    const std::span<const uint8_t> body(p, size);
    if (size & 1) c.Skip(1);  // the pad byte (a file may end without it)
    if (Is(id, "fmtz")) {
      if (size != 8) return {FormatError::ZxsFmtzLength, 0};
      ModelOf(ReadLe16(body, 2), r.model);
      compression = ReadLe16(body, 6);
      if (compression != kZlib && compression != kPlain) return {FormatError::ZxsCompression, 0};
    } else if (Is(id, "rZ80")) {
      if (size != 33) return {FormatError::ZxsRegsLength, 0};
      ReadRegisters(body, r.cpu);
      r.frameTState = static_cast<uint32_t>(ReadLe16(body, 29) | (ReadLe16(body, 31) << 16));
    } else if (Is(id, "r048")) {
      if (size != 9) return {FormatError::Zxs048Length, 0};
      r.lastFE = body[0];
      r.border = body[0] & 7;
    } else if (Is(id, "r128")) {
      if (size != 18) return {FormatError::ZxsRegsLength, 0};
      r.last7FFD = body[0];
      SnapshotAy ay;
      ay.selected = body[1] & 0x0F;
      std::copy(body.begin() + 2, body.end(), ay.regs.begin());
      r.ay = ay;
    } else if (Is(id, "r+3 ")) {
      if (size != 1) return {FormatError::ZxsRegsLength, 0};
      r.last1FFD = body[0];
    } else if (std::memcmp(id, "ram", 3) == 0 && id[3] >= '0' && id[3] <= '7') {
      std::vector<uint8_t> page;
      if (!ReadPage(body, compression, page)) return {FormatError::ZxsPage, 0};
      pages.emplace_back(static_cast<uint8_t>(id[3] - '0'), std::move(page));
    }
    // Every other chunk ("tape", "LIST", "dsk0", "dsk1" and IDs of later versions) is stepped
    // over by its size.
  }
  for (auto& [n, page] : pages) {
    if (IsSnapshot128K(r.model)) {
      r.ram[n] = std::move(page);
    } else if (n == 5 || n == 2 || n == 0) {
      r.ram[n] = std::move(page);  // at 0x4000, 0x8000 and 0xC000: the 48K's banks by number
    }
  }
  r.label = "ZXS File";
  out = std::move(r);
  return {};
}

}  // namespace orvo
