// SEM snapshots: a 6-byte signature, the 48K RAM, then the registers as words.
#include <algorithm>
#include <cstring>

#include "formats/byte_cursor.h"
#include "formats/snapshot_48k.h"

namespace orvo {

namespace {

constexpr uint8_t kSignature[6] = {5, 'S', 'P', 'E', 'C', '1'};
constexpr size_t kRegs = 6 + kRam48Size;  // 49158
using C = SnapshotCpu;
constexpr std::initializer_list<SnapshotReg16> kWords = {&C::AF,  &C::BC,  &C::DE,  &C::HL,
                                                         &C::AF_, &C::BC_, &C::DE_, &C::HL_,
                                                         &C::PC,  &C::SP,  &C::IX,  &C::IY};

}  // namespace

FormatStatus ParseSEM(std::span<const uint8_t> data, SnapshotRecord& out) {
  if (data.empty()) return {FormatError::SnapshotLength, 0};
  if (data[0] != 5) return {FormatError::SemSignatureLength, 0};
  if (data.size() < 6 || std::memcmp(data.data(), kSignature, 6) != 0) {
    return {FormatError::SemSignature, 0};
  }
  if (data.size() < kSemSize) return {FormatError::SnapshotLength, 0};
  SnapshotRecord r;
  r.model = SnapshotModel::k48K;
  SetRam48K(r, data.subspan(6, kRam48Size));
  ReadRegWords(data, kRegs, r.cpu, kWords);
  const size_t bytes = kRegs + 24;  // I, R, IFF1, IFF2, IM: the low byte of a word each
  r.cpu.I = data[bytes];
  r.cpu.R = data[bytes + 2];
  r.cpu.R7 = data[bytes + 2] & 0x80;
  r.cpu.IFF1 = data[bytes + 4] ? 1 : 0;
  r.cpu.IFF2 = data[bytes + 6] ? 1 : 0;
  r.cpu.IM = data[bytes + 8] & 3;
  r.label = "SEM File";
  out = std::move(r);
  return {};
}

FormatStatus WriteSEM(const SnapshotRecord& r, std::vector<uint8_t>& out) {
  if (!WritableAs48K(r)) return {FormatError::Only48K, 0};
  std::vector<uint8_t> file(kSemSize, 0);
  std::copy(std::begin(kSignature), std::end(kSignature), file.begin());
  const std::vector<uint8_t> ram = Ram48KImage(r);
  std::copy(ram.begin(), ram.end(), file.begin() + 6);
  SnapshotCpu cpu = r.cpu;
  cpu.PC = r.cpu.ResumePC();
  WriteRegWords(file.data() + kRegs, cpu, kWords);
  uint8_t* bytes = file.data() + kRegs + 24;
  bytes[0] = cpu.I;
  bytes[2] = cpu.VisibleR();
  bytes[4] = cpu.IFF1 ? 1 : 0;
  bytes[6] = cpu.IFF2 ? 1 : 0;
  bytes[8] = cpu.IM & 3;
  out = std::move(file);
  return {};
}

}  // namespace orvo
