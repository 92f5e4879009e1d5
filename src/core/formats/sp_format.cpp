// SP snapshots: a 38-byte header and a memory image of any length from any start address.
#include <algorithm>

#include "formats/byte_cursor.h"
#include "formats/snapshot_48k.h"

namespace orvo {

namespace {

constexpr size_t kHeader = 38;
using C = SnapshotCpu;
constexpr std::initializer_list<SnapshotReg16> kWords = {
    &C::BC, &C::DE, &C::HL, &C::AF, &C::IX, &C::IY, &C::BC_, &C::DE_, &C::HL_, &C::AF_};

}  // namespace

FormatStatus ParseSP(std::span<const uint8_t> data, SnapshotRecord& out) {
  if (data.size() < 2 || data[0] != 'S' || data[1] != 'P') return {FormatError::SpSignature, 0};
  if (data.size() < kHeader) return {FormatError::SnapshotLength, 0};
  const size_t length = ReadLe16(data, 2);
  const size_t start = ReadLe16(data, 4);
  if (data.size() < kHeader + length) return {FormatError::SnapshotLength, 0};
  SnapshotRecord r;
  r.model = SnapshotModel::k48K;
  ReadRegWords(data, 6, r.cpu, kWords);
  r.cpu.R = data[26];
  r.cpu.R7 = data[26] & 0x80;
  r.cpu.I = data[27];
  r.cpu.SP = ReadLe16(data, 28);
  r.cpu.PC = ReadLe16(data, 30);
  r.border = data[34] & 7;
  const uint8_t status = data[36];
  r.cpu.IFF1 = status & 0x01 ? 1 : 0;
  r.cpu.IFF2 = status & 0x04 ? 1 : 0;
  r.cpu.IM = status & 0x02 ? 2 : 1;
  r.interruptArmed = status & 0x10 ? 1 : 0;
  // The image lands at its start address; what falls below 0x4000 (ROM) or past 0xFFFF is
  // dropped, and RAM it does not cover stays clear.
  std::vector<uint8_t> ram(kRam48Size, 0);
  for (size_t k = 0; k < length; ++k) {
    const size_t address = start + k;
    if (address >= 0x4000 && address <= 0xFFFF) ram[address - 0x4000] = data[kHeader + k];
  }
  SetRam48K(r, ram);
  r.label = "SP File";
  out = std::move(r);
  return {};
}

FormatStatus WriteSP(const SnapshotRecord& r, std::vector<uint8_t>& out) {
  if (!WritableAs48K(r)) return {FormatError::Only48K, 0};
  std::vector<uint8_t> file(kHeader, 0);
  file[0] = 'S';
  file[1] = 'P';
  PutLe16(file.data() + 2, static_cast<uint16_t>(kRam48Size));
  PutLe16(file.data() + 4, 0x4000);
  WriteRegWords(file.data() + 6, r.cpu, kWords);
  file[26] = r.cpu.VisibleR();
  file[27] = r.cpu.I;
  PutLe16(file.data() + 28, r.cpu.SP);
  PutLe16(file.data() + 30, r.cpu.ResumePC());
  file[34] = r.border & 7;
  file[36] =
      static_cast<uint8_t>((r.cpu.IFF1 ? 0x01 : 0) | (r.cpu.IM == 2 ? 0x02 : 0) |
                           (r.cpu.IFF2 ? 0x04 : 0) | (r.interruptArmed.value_or(0) ? 0x10 : 0));
  const std::vector<uint8_t> ram = Ram48KImage(r);
  file.insert(file.end(), ram.begin(), ram.end());
  out = std::move(file);
  return {};
}

}  // namespace orvo
