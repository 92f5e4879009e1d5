#include "formats/sna_format.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_cursor.h"

namespace orvo {

namespace {

constexpr size_t kHeader = 27;
constexpr size_t kPage = kSnapshotPageSize;
// 128K layout: banks 5, 2 and the paged bank after the header, then PC, 0x7FFD and the TR-DOS
// byte, then the remaining banks.
constexpr size_t kPcOffset = kHeader + 3 * kPage;  // 49179
constexpr size_t k7FFDOffset = kPcOffset + 2;      // 49181
constexpr size_t kRestOffset = kPcOffset + 4;      // 49183

// Banks after the fixed part of a 128K file, in file order.
int RemainingBanks(uint8_t paged, uint8_t banks[8]) {
  int count = 0;
  for (uint8_t bank = 0; bank < 8; ++bank) {
    if (bank != 2 && bank != 5 && bank != paged) banks[count++] = bank;
  }
  return count;
}

void ReadHeader(std::span<const uint8_t> h, SnapshotRecord& r) {
  SnapshotCpu& cpu = r.cpu;
  cpu.I = h[0];
  cpu.HL_ = ReadLe16(h, 1);
  cpu.DE_ = ReadLe16(h, 3);
  cpu.BC_ = ReadLe16(h, 5);
  cpu.AF_ = ReadLe16(h, 7);
  cpu.HL = ReadLe16(h, 9);
  cpu.DE = ReadLe16(h, 11);
  cpu.BC = ReadLe16(h, 13);
  cpu.IY = ReadLe16(h, 15);
  cpu.IX = ReadLe16(h, 17);
  cpu.IFF1 = cpu.IFF2 = (h[19] & 0x04) ? 1 : 0;
  cpu.R = h[20];
  cpu.R7 = h[20] & 0x80;
  cpu.AF = ReadLe16(h, 21);
  cpu.SP = ReadLe16(h, 23);
  cpu.IM = h[25] & 0x03;
  r.border = h[26] & 7;
}

void WriteHeader(const SnapshotRecord& r, uint16_t sp, uint8_t* out) {
  const SnapshotCpu& cpu = r.cpu;
  out[0] = cpu.I;
  PutLe16(out + 1, cpu.HL_);
  PutLe16(out + 3, cpu.DE_);
  PutLe16(out + 5, cpu.BC_);
  PutLe16(out + 7, cpu.AF_);
  PutLe16(out + 9, cpu.HL);
  PutLe16(out + 11, cpu.DE);
  PutLe16(out + 13, cpu.BC);
  PutLe16(out + 15, cpu.IY);
  PutLe16(out + 17, cpu.IX);
  out[19] = cpu.IFF1 ? 0x04 : 0x00;
  out[20] = cpu.VisibleR();
  PutLe16(out + 21, cpu.AF);
  PutLe16(out + 23, sp);
  out[25] = cpu.IM & 3;
  out[26] = r.border & 7;
}

void CopyBank(const SnapshotRecord& r, uint8_t bank, uint8_t* out) {
  const std::vector<uint8_t>& page = r.ram[bank];
  std::copy_n(page.begin(), std::min(page.size(), kPage), out);
}

void TakeBank(std::span<const uint8_t> data, size_t offset, std::vector<uint8_t>& bank) {
  const auto from = data.begin() + static_cast<ptrdiff_t>(offset);
  bank.assign(from, from + kPage);
}

}  // namespace

FormatStatus ParseSNA(std::span<const uint8_t> data, SnapshotRecord& out) {
  const size_t size = data.size();
  const bool is48 = size == kSna48Size;
  if (!is48 && size != kSna128Size && size != kSna128LongSize) {
    return {FormatError::SnapshotLength, 0};
  }
  SnapshotRecord r;
  ReadHeader(data, r);
  if (is48) {
    r.model = SnapshotModel::k48K;
    for (size_t unit = 0; unit < 3; ++unit) {
      TakeBank(data, kHeader + unit * kPage, r.ram[Bank48KAt(0x4000 + unit * kPage)]);
    }
    r.cpu.pcOnStack = true;  // pushed when the file was made
    r.label = "SNA 48k file";
    out = std::move(r);
    return {};
  }

  const uint8_t paged = data[k7FFDOffset] & 7;
  uint8_t rest[8];
  const int restCount = RemainingBanks(paged, rest);
  // With bank 5 or 2 paged the file repeats it and holds six more banks: the long form.
  if (size < kRestOffset + restCount * kPage) return {FormatError::SnapshotLength, 0};
  r.model = SnapshotModel::k128K;
  TakeBank(data, kHeader, r.ram[5]);
  TakeBank(data, kHeader + kPage, r.ram[2]);
  TakeBank(data, kHeader + 2 * kPage, r.ram[paged]);  // a second copy of bank 5 or 2 wins
  for (int n = 0; n < restCount; ++n) TakeBank(data, kRestOffset + n * kPage, r.ram[rest[n]]);
  r.cpu.PC = ReadLe16(data, kPcOffset);
  r.last7FFD = data[k7FFDOffset];
  r.label = "SNA 128k file";
  out = std::move(r);
  return {};
}

bool SnaCanHoldPc(const SnapshotRecord& r) {
  if (IsSnapshot128K(r.model)) return true;
  const uint16_t low = static_cast<uint16_t>(r.cpu.SP - 2);
  const uint16_t high = static_cast<uint16_t>(r.cpu.SP - 1);
  return low >= 0x4000 && high >= 0x4000;
}

std::vector<uint8_t> WriteSNA(const SnapshotRecord& r) {
  const uint16_t pc = r.cpu.ResumePC();
  if (!IsSnapshot128K(r.model)) {
    std::vector<uint8_t> out(kSna48Size, 0);
    uint8_t* image = out.data() + kHeader;  // address 0x4000 onwards
    for (size_t unit = 0; unit < 3; ++unit) {
      CopyBank(r, Bank48KAt(static_cast<uint16_t>(0x4000 + unit * kPage)), image + unit * kPage);
    }
    // PC goes on the stack of the file's copy of RAM.
    const uint16_t sp = static_cast<uint16_t>(r.cpu.SP - 2);
    const uint16_t pushed[2] = {sp, static_cast<uint16_t>(sp + 1)};
    const uint8_t bytes[2] = {static_cast<uint8_t>(pc & 0xFF), static_cast<uint8_t>(pc >> 8)};
    for (int k = 0; k < 2; ++k) {
      if (pushed[k] >= 0x4000) image[pushed[k] - 0x4000] = bytes[k];
    }
    WriteHeader(r, sp, out.data());
    return out;
  }

  const uint8_t paged = r.last7FFD & 7;
  uint8_t rest[8];
  const int restCount = RemainingBanks(paged, rest);
  std::vector<uint8_t> out(kRestOffset + restCount * kPage, 0);
  WriteHeader(r, r.cpu.SP, out.data());
  CopyBank(r, 5, out.data() + kHeader);
  CopyBank(r, 2, out.data() + kHeader + kPage);
  CopyBank(r, paged, out.data() + kHeader + 2 * kPage);
  PutLe16(out.data() + kPcOffset, pc);
  out[k7FFDOffset] = r.last7FFD;
  out[k7FFDOffset + 1] = 0;  // TR-DOS ROM not paged
  for (int n = 0; n < restCount; ++n) {
    CopyBank(r, rest[n], out.data() + kRestOffset + n * kPage);
  }
  return out;
}

}  // namespace orvo
