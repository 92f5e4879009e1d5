// SNP snapshots: the 48K RAM, then a 31-byte register block.
#include <algorithm>

#include "formats/byte_cursor.h"
#include "formats/snapshot_48k.h"

namespace orvo {

namespace {

constexpr size_t kRegs = kRam48Size;
using C = SnapshotCpu;
constexpr std::initializer_list<SnapshotReg16> kMain = {&C::BC, &C::DE, &C::HL, &C::PC,
                                                        &C::SP, &C::IX, &C::IY};
constexpr std::initializer_list<SnapshotReg16> kAlternate = {&C::AF_, &C::BC_, &C::DE_, &C::HL_};

}  // namespace

FormatStatus ParseSNP(std::span<const uint8_t> data, SnapshotRecord& out) {
  if (data.size() != kSnpSize) return {FormatError::SnapshotLength, 0};
  SnapshotRecord r;
  r.model = SnapshotModel::k48K;
  SetRam48K(r, data.first(kRam48Size));
  r.cpu.AF = ReadLe16(data, kRegs);
  r.border = data[kRegs + 2] & 7;
  ReadRegWords(data, kRegs + 4, r.cpu, kMain);
  r.interruptArmed = data[kRegs + 19] ? 1 : 0;
  r.cpu.IM = data[kRegs + 20] & 3;
  r.cpu.R = data[kRegs + 21];
  r.cpu.R7 = data[kRegs + 21] & 0x80;
  r.cpu.I = data[kRegs + 22];
  ReadRegWords(data, kRegs + 23, r.cpu, kAlternate);
  // The format keeps no interrupt flip-flops: programs run with interrupts enabled.
  r.cpu.IFF1 = r.cpu.IFF2 = 1;
  out = std::move(r);
  return {};
}

FormatStatus WriteSNP(const SnapshotRecord& r, std::vector<uint8_t>& out) {
  if (!WritableAs48K(r)) return {FormatError::Only48K, 0};
  std::vector<uint8_t> file = Ram48KImage(r);
  file.resize(kSnpSize, 0);
  SnapshotCpu cpu = r.cpu;
  cpu.PC = r.cpu.ResumePC();
  PutLe16(file.data() + kRegs, cpu.AF);
  file[kRegs + 2] = r.border & 7;
  WriteRegWords(file.data() + kRegs + 4, cpu, kMain);
  file[kRegs + 19] = r.interruptArmed.value_or(0) ? 1 : 0;
  file[kRegs + 20] = cpu.IM & 3;
  file[kRegs + 21] = cpu.VisibleR();
  file[kRegs + 22] = cpu.I;
  WriteRegWords(file.data() + kRegs + 23, cpu, kAlternate);
  out = std::move(file);
  return {};
}

}  // namespace orvo
