// SIT snapshots: a 28-byte register block, then the whole 64K address space.
#include <algorithm>

#include "formats/byte_cursor.h"
#include "formats/snapshot_48k.h"

namespace orvo {

namespace {

constexpr size_t kHeader = 28;
using C = SnapshotCpu;
constexpr std::initializer_list<SnapshotReg16> kMain = {&C::BC, &C::DE, &C::HL, &C::AF,
                                                        &C::IX, &C::IY, &C::SP, &C::PC};
constexpr std::initializer_list<SnapshotReg16> kAlternate = {&C::BC_, &C::DE_, &C::HL_, &C::AF_};

}  // namespace

FormatStatus ParseSIT(std::span<const uint8_t> data, SnapshotRecord& out) {
  if (data.size() != kSitSize) return {FormatError::SnapshotLength, 0};
  SnapshotRecord r;
  r.model = SnapshotModel::k48K;
  ReadRegWords(data, 0, r.cpu, kMain);
  r.cpu.R = data[16];
  r.cpu.R7 = data[16] & 0x80;
  r.cpu.I = data[17];
  ReadRegWords(data, 18, r.cpu, kAlternate);
  r.cpu.IM = data[26] & 3;
  r.border = data[27] & 7;
  // The file's copy of the ROM area is not loaded: the machine keeps the ROM it runs.
  SetRam48K(r, data.subspan(kHeader + 0x4000, kRam48Size));
  // No interrupt flip-flops in the file: programs run with interrupts enabled.
  r.cpu.IFF1 = r.cpu.IFF2 = 1;
  out = std::move(r);
  return {};
}

// The ROM area comes from the record's "ROM" block (the 16K the CPU sees at 0x0000) when the
// caller adds one; without it the area is written as zeros.
FormatStatus WriteSIT(const SnapshotRecord& r, std::vector<uint8_t>& out) {
  if (!WritableAs48K(r)) return {FormatError::Only48K, 0};
  std::vector<uint8_t> file(kSitSize, 0);
  SnapshotCpu cpu = r.cpu;
  cpu.PC = r.cpu.ResumePC();
  WriteRegWords(file.data(), cpu, kMain);
  file[16] = cpu.VisibleR();
  file[17] = cpu.I;
  WriteRegWords(file.data() + 18, cpu, kAlternate);
  file[26] = cpu.IM & 3;
  file[27] = r.border & 7;
  if (const SnapshotBlock* rom = r.FindBlock("ROM")) {
    std::copy_n(rom->body.begin(), std::min<size_t>(rom->body.size(), 0x4000),
                file.begin() + kHeader);
  }
  const std::vector<uint8_t> ram = Ram48KImage(r);
  std::copy(ram.begin(), ram.end(), file.begin() + kHeader + 0x4000);
  out = std::move(file);
  return {};
}

}  // namespace orvo
