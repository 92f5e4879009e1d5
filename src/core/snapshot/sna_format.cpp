#include "snapshot/sna_format.h"

#include <cstring>

#include "machine/memory.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "snapshot/snapshot_common.h"

namespace orvo {

namespace {

constexpr size_t kHeader = 27;
constexpr size_t kPage = 16384;
constexpr size_t kRam48 = 49152;
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

void LoadHeader(MachineState& m, std::span<const uint8_t> h) {
  CpuState& cpu = m.cpu;
  cpu.IR.b.h = h[0];
  cpu.HL_.w = ReadLe16(h, 1);
  cpu.DE_.w = ReadLe16(h, 3);
  cpu.BC_.w = ReadLe16(h, 5);
  cpu.AF_.w = ReadLe16(h, 7);
  cpu.HL.w = ReadLe16(h, 9);
  cpu.DE.w = ReadLe16(h, 11);
  cpu.BC.w = ReadLe16(h, 13);
  cpu.IY.w = ReadLe16(h, 15);
  cpu.IX.w = ReadLe16(h, 17);
  cpu.IFF1 = cpu.IFF2 = (h[19] & 0x04) ? 1 : 0;
  cpu.IR.b.l = h[20];
  cpu.R7 = h[20] & 0x80;
  cpu.AF.w = ReadLe16(h, 21);
  cpu.SP = ReadLe16(h, 23);
  cpu.IM = h[25] & 0x03;
  ClearCpuRunState(cpu);
  SetSnapshotBorder(m, h[26] & 7);
}

void FillHeader(const MachineState& m, std::vector<uint8_t>& out, uint16_t sp) {
  const CpuState& cpu = m.cpu;
  out[0] = cpu.IR.b.h;
  WriteLe16(out, 1, cpu.HL_.w);
  WriteLe16(out, 3, cpu.DE_.w);
  WriteLe16(out, 5, cpu.BC_.w);
  WriteLe16(out, 7, cpu.AF_.w);
  WriteLe16(out, 9, cpu.HL.w);
  WriteLe16(out, 11, cpu.DE.w);
  WriteLe16(out, 13, cpu.BC.w);
  WriteLe16(out, 15, cpu.IY.w);
  WriteLe16(out, 17, cpu.IX.w);
  out[19] = cpu.IFF1 ? 0x04 : 0x00;
  out[20] = VisibleR(cpu);
  WriteLe16(out, 21, cpu.AF.w);
  WriteLe16(out, 23, sp);
  out[25] = cpu.IM & 3;
  out[26] = m.ports.BorderColour & 7;
}

}  // namespace

int LoadSNA(Emulator& emu, std::span<const uint8_t> data) {
  const size_t size = data.size();
  const bool is48 = size == kSna48Size;
  if (!is48 && size != kSna128Size && size != kSna128LongSize) {
    emu.ShowMessage(CaptionId::Options, kMsgSnapshotLength);
    return 1;
  }
  uint8_t rest[8];
  int restCount = 0;
  uint8_t paged = 0;
  if (!is48) {
    paged = data[k7FFDOffset] & 7;
    restCount = RemainingBanks(paged, rest);
    // With bank 5 or 2 paged the file repeats it and holds six more banks: the long form.
    if (size < kRestOffset + restCount * kPage) {
      emu.ShowMessage(CaptionId::Options, kMsgSnapshotLength);
      return 1;
    }
  }

  MachineState& m = emu.m;
  m.MachineModel = is48 ? kModel48K : kModel128K;
  SetUpMachine(emu);
  LoadHeader(m, data);
  uint8_t* ram = m.RamBlock.data();

  if (is48) {
    std::memcpy(ram + 0x4000, data.data() + kHeader, kRam48);
    // PC was pushed on the stack when the file was made.
    const uint16_t sp = m.cpu.SP;
    m.cpu.PC = static_cast<uint16_t>(m.Peek(sp) | (m.Peek(static_cast<uint16_t>(sp + 1)) << 8));
    m.cpu.SP = static_cast<uint16_t>(sp + 2);
    emu.files.FileTypeLabel = "SNA 48k file";
    return 0;
  }

  std::memcpy(ram + 5 * kPage, data.data() + kHeader, kPage);
  std::memcpy(ram + 2 * kPage, data.data() + kHeader + kPage, kPage);
  std::memcpy(ram + paged * kPage, data.data() + kHeader + 2 * kPage, kPage);
  for (int n = 0; n < restCount; ++n) {
    std::memcpy(ram + rest[n] * kPage, data.data() + kRestOffset + n * kPage, kPage);
  }
  m.cpu.PC = ReadLe16(data, kPcOffset);
  emu.files.FileTypeLabel = "SNA 128k file";
  Write7FFD128(m, data[k7FFDOffset]);
  return 0;
}

bool SnaCanHoldPc(const MachineState& m) {
  if (Is128KFamily(m.MachineModel)) return true;
  const uint16_t low = static_cast<uint16_t>(m.cpu.SP - 2);
  const uint16_t high = static_cast<uint16_t>(m.cpu.SP - 1);
  return low >= 0x4000 && high >= 0x4000;
}

std::vector<uint8_t> BuildSNA(const MachineState& m) {
  if (!Is128KFamily(m.MachineModel)) {
    std::vector<uint8_t> out(kSna48Size, 0);
    uint8_t* image = out.data() + kHeader;  // address 0x4000 onwards
    for (size_t a = 0; a < kRam48; ++a) image[a] = m.Peek(static_cast<uint16_t>(0x4000 + a));
    // PC goes on the stack of the file's copy of RAM; the running machine keeps its own.
    const uint16_t sp = static_cast<uint16_t>(m.cpu.SP - 2);
    const uint16_t pushed[2] = {sp, static_cast<uint16_t>(sp + 1)};
    const uint16_t pc = SnapshotPC(m);
    const uint8_t bytes[2] = {static_cast<uint8_t>(pc & 0xFF), static_cast<uint8_t>(pc >> 8)};
    for (int k = 0; k < 2; ++k) {
      if (pushed[k] >= 0x4000) image[pushed[k] - 0x4000] = bytes[k];
    }
    FillHeader(m, out, sp);
    return out;
  }

  const uint8_t paged = m.Last7FFD & 7;
  uint8_t rest[8];
  const int restCount = RemainingBanks(paged, rest);
  std::vector<uint8_t> out(kRestOffset + restCount * kPage, 0);
  FillHeader(m, out, m.cpu.SP);
  const uint8_t* ram = m.RamBlock.data();
  std::memcpy(out.data() + kHeader, ram + 5 * kPage, kPage);
  std::memcpy(out.data() + kHeader + kPage, ram + 2 * kPage, kPage);
  std::memcpy(out.data() + kHeader + 2 * kPage, ram + paged * kPage, kPage);
  WriteLe16(out, kPcOffset, SnapshotPC(m));
  out[k7FFDOffset] = m.Last7FFD;
  out[k7FFDOffset + 1] = 0;  // TR-DOS ROM not paged
  for (int n = 0; n < restCount; ++n) {
    std::memcpy(out.data() + kRestOffset + n * kPage, ram + rest[n] * kPage, kPage);
  }
  return out;
}

int SaveSNA(const MachineState& m, std::vector<uint8_t>& out) {
  out = BuildSNA(m);
  return 0;
}

}  // namespace orvo
