#include "snapshot/z80_format.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "machine/memory.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "snapshot/snapshot_common.h"

namespace orvo {

namespace {

constexpr size_t kMainHeader = 30;
constexpr size_t kPage = 16384;
constexpr size_t kRam48 = 49152;

// Messages a refused file shows (caption "Orvo Options").

// Everything a Z80 file says, gathered before the machine is touched so that a refused file
// leaves the running machine as it was.
struct Z80Image {
  int version = 1;
  uint8_t model = kModel48K;
  uint16_t pc = 0;
  uint8_t last7FFD = 0;
  uint8_t last1FFD = 0;
  bool has1FFD = false;
  bool if1Paged = false;
  bool ay48k = false;
  uint8_t aySelected = 0;
  std::array<uint8_t, 16> ayRegs{};
  // 16K and 48K models: RAM 0x4000-0xFFFF (index 0 is address 0x4000), `ramFilled` bytes of it
  // from 0x4000 in version 1, or the 16K units flagged in `unitLoaded` (unit 1 is 0x4000).
  // 128K models: the eight banks, flagged in `unitLoaded`.
  std::vector<uint8_t> ram;
  size_t ramFilled = 0;
  std::array<bool, 8> unitLoaded{};
};

// Header byte 12 (bit 7 of R, border, compression); old files write 255 for 1.
uint8_t HeaderFlags(std::span<const uint8_t> h) {
  return h[12] == 0xFF ? 1 : h[12];
}

// Hardware byte and length word to model (the modified-hardware bit is applied afterwards).
// Version 2 numbers the 128K 3 or 4 (with Interface 1); both versions use 7 (and 8, written by
// some programs) for the +3, 12 for the +2 and 13 for the +2A.
uint8_t ModelFromHardware(uint16_t length, uint8_t hardware) {
  switch (hardware) {
    case 3: return length == 23 ? kModel128K : kModel48K;  // version 3: a 48K with an M.G.T.
    case 4:
    case 5:
    case 6: return kModel128K;
    case 7:
    case 8: return kModelPlus3;
    case 12: return kModelPlus2;
    case 13: return kModelPlus2A;
    default: return kModel48K;
  }
}

uint8_t ApplyModifiedHardware(uint8_t model) {
  switch (model) {
    case kModel48K: return kModel16K;
    case kModel128K: return kModelPlus2;
    case kModelPlus3: return kModelPlus2A;
    default: return model;
  }
}

// Reads the memory blocks of a version 2 or 3 file from `pos`. Returns 0 or the message to show.
MessageId ReadBlocks(std::span<const uint8_t> data, size_t pos, Z80Image& img) {
  const bool big = Is128KFamily(img.model);
  const int blocks = img.model == kModel16K ? 1 : (big ? 8 : 3);
  img.ram.assign(big ? 8 * kPage : kRam48, 0);
  for (int n = 0; n < blocks; ++n) {
    if (data.size() - pos < 3) return kMsgSnapshotLength;
    const uint16_t length = ReadLe16(data, pos);
    const uint8_t page = data[pos + 2];
    pos += 3;
    size_t unit;  // 128K: bank; 48K: 16K unit of the address space (1 = 0x4000)
    if (big) {
      unit = (page >= 3 && page <= 10) ? page - 3u : 0u;
    } else {
      unit = page == 4 ? 2u : (page == 5 ? 3u : 1u);
    }
    uint8_t* dst = img.ram.data() + (big ? unit : unit - 1) * kPage;
    if (length == 0xFFFF) {
      if (data.size() - pos < kPage) return kMsgSnapshotLength;
      std::memcpy(dst, data.data() + pos, kPage);
      pos += kPage;
    } else {
      if (data.size() - pos < length) return kMsgSnapshotLength;
      const Z80DecodeResult r =
          DecompressZ80Block(data.subspan(pos, length), std::span<uint8_t>(dst, kPage));
      if (r.produced != kPage) return kMsgSnapshotBlockLength;
      pos += length;
    }
    img.unitLoaded[unit] = true;
  }
  return kMsgNone;
}

// Parses the whole file. Returns 0 or the message to show.
MessageId ParseZ80(std::span<const uint8_t> data, Z80Image& img) {
  if (data.size() < kMainHeader) return kMsgSnapshotLength;
  const uint16_t headerPc = ReadLe16(data, 6);
  if (headerPc != 0) {
    img.version = 1;
    img.model = kModel48K;
    img.pc = headerPc;
    img.ram.assign(kRam48, 0);
    const auto body = data.subspan(kMainHeader);
    if (HeaderFlags(data) & 0x20) {
      const Z80DecodeResult r = DecompressZ80Block(body, img.ram);
      // The image must be complete, or end with its end marker.
      if (r.produced != kRam48 && !r.endMarker) return kMsgSnapshotLength;
      img.ramFilled = r.produced;
    } else {
      if (body.size() < kRam48) return kMsgSnapshotLength;
      std::memcpy(img.ram.data(), body.data(), kRam48);
      img.ramFilled = kRam48;
    }
    return kMsgNone;
  }

  if (data.size() < kMainHeader + 2) return kMsgSnapshotLength;
  const uint16_t length = ReadLe16(data, 30);
  if (length != 23 && length != 54 && length != 55) return kMsgZ80Version;
  if (data.size() < kMainHeader + 2 + length) return kMsgSnapshotLength;
  img.version = length == 23 ? 2 : 3;
  img.pc = ReadLe16(data, 32);
  img.last7FFD = data[35];
  img.if1Paged = data[36] == 0xFF;
  img.model = ModelFromHardware(length, data[34]);
  img.ay48k = (data[37] & 0x04) != 0;
  if (data[37] & 0x80) img.model = ApplyModifiedHardware(img.model);
  img.aySelected = data[38];
  std::copy_n(data.begin() + 39, 16, img.ayRegs.begin());
  img.has1FFD = length == 55;
  if (img.has1FFD) img.last1FFD = data[86];
  return ReadBlocks(data, kMainHeader + 2 + length, img);
}

void LoadRegisters(CpuState& cpu, std::span<const uint8_t> h, uint16_t pc) {
  cpu.AF.b.h = h[0];
  cpu.AF.b.l = h[1];
  cpu.BC.w = ReadLe16(h, 2);
  cpu.HL.w = ReadLe16(h, 4);
  cpu.PC = pc;
  cpu.SP = ReadLe16(h, 8);
  cpu.IR.b.h = h[10];
  cpu.IR.b.l = h[11];
  cpu.R7 = (HeaderFlags(h) & 0x01) ? 0x80 : 0x00;
  cpu.DE.w = ReadLe16(h, 13);
  cpu.BC_.w = ReadLe16(h, 15);
  cpu.DE_.w = ReadLe16(h, 17);
  cpu.HL_.w = ReadLe16(h, 19);
  cpu.AF_.b.h = h[21];
  cpu.AF_.b.l = h[22];
  cpu.IY.w = ReadLe16(h, 23);
  cpu.IX.w = ReadLe16(h, 25);
  cpu.IFF1 = h[27] != 0 ? 1 : 0;
  cpu.IFF2 = h[28] != 0 ? 1 : 0;
  cpu.IM = h[29] & 0x03;
  ClearCpuRunState(cpu);
}

void ApplyZ80(Emulator& emu, std::span<const uint8_t> data, const Z80Image& img) {
  MachineState& m = emu.m;
  if (img.ay48k) {
    // Turned on by a file that uses the AY on a 48K, never turned off here.
    m.settings.Ay48k = 1;
    emu.PendingSettings.Ay48k = 1;
  }
  m.MachineModel = img.model;
  SetUpMachine(emu);

  LoadRegisters(m.cpu, data, img.pc);
  SetSnapshotBorder(m, (HeaderFlags(data) >> 1) & 7);

  if (img.version >= 2) {
    // Interface 1's ROM is only paged in where an Interface 1 is fitted.
    const bool wantIf1 = img.if1Paged && m.settings.Interface1 != 0;
    if (wantIf1 && !m.If1Paged()) m.OnIf1PageIn();
    if (!wantIf1 && m.If1Paged()) m.OnIf1PageOut();
    m.sound.ay.AySelectedRegister = img.aySelected;
    std::copy(img.ayRegs.begin(), img.ayRegs.end(), m.sound.ay.regs);
  }

  uint8_t* ram = m.RamBlock.data();
  if (Is128KFamily(img.model)) {
    for (size_t bank = 0; bank < 8; ++bank) {
      if (img.unitLoaded[bank])
        std::memcpy(ram + bank * kPage, img.ram.data() + bank * kPage, kPage);
    }
    if (IsPlus2AFamily(img.model)) {
      // 0x1FFD first: a 0x7FFD value with the lock bit set must still see its ROM selection.
      Write1FFD(m, img.has1FFD ? img.last1FFD : 0);
      Write7FFDPlus3(m, img.last7FFD);
    } else {
      Write7FFD128(m, img.last7FFD);
    }
  } else if (img.version == 1) {
    std::memcpy(ram + 0x4000, img.ram.data(), img.ramFilled);
  } else {
    for (size_t unit = 1; unit < 4; ++unit) {
      if (img.unitLoaded[unit]) {
        std::memcpy(ram + unit * kPage, img.ram.data() + (unit - 1) * kPage, kPage);
      }
    }
  }

  static constexpr const char* kLabels[] = {"", "Z80 File Version: 1.45", "Z80 File Version: 2.01",
                                            "Z80 File Version: 3.00"};
  emu.files.FileTypeLabel = kLabels[img.version];
}

}  // namespace

Z80DecodeResult DecompressZ80Block(std::span<const uint8_t> src, std::span<uint8_t> dst) {
  Z80DecodeResult r;
  const size_t n = src.size();
  const size_t cap = dst.size();
  size_t i = 0;
  size_t o = 0;
  int last = -1;  // the last plain byte emitted; -1 when a run came since
  while (o < cap && i < n) {
    const uint8_t b = src[i++];
    if (b != 0xED) {
      dst[o++] = b;
      last = b;
      continue;
    }
    if (i >= n || src[i] != 0xED) {
      // A lone 0xED is a plain byte; what follows it is read as usual.
      dst[o++] = 0xED;
      last = 0xED;
      continue;
    }
    ++i;                // the second 0xED
    if (i >= n) break;  // cut inside a run code
    const uint8_t count = src[i++];
    if (count == 0 && last == 0) {
      r.endMarker = true;
      break;
    }
    if (i >= n) break;
    const uint8_t value = src[i++];
    for (unsigned k = 0; k < count && o < cap; ++k) dst[o++] = value;
    last = -1;
  }
  r.consumed = i;
  r.produced = o;
  return r;
}

size_t CompressZ80Block(std::span<const uint8_t> src, std::vector<uint8_t>& out) {
  const size_t n = src.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t b = src[i];
    size_t run = 1;
    while (i + run < n && run < 255 && src[i + run] == b) ++run;
    if (run >= 5 || (b == 0xED && run >= 2)) {
      out.insert(out.end(), {0xED, 0xED, static_cast<uint8_t>(run), b});
      i += run;
    } else if (run >= 2) {
      out.insert(out.end(), run, b);
      i += run;
    } else if (b == 0xED) {
      if (i + 1 == n) {
        // A lone 0xED at the very end is coded as a run of one: a reader that goes on into the
        // next bytes must not take it for the start of a run code.
        out.insert(out.end(), {0xED, 0xED, 0x01, 0xED});
        i += 1;
      } else {
        // The byte after a lone 0xED is always plain, so that no run code follows an 0xED.
        out.push_back(0xED);
        out.push_back(src[i + 1]);
        i += 2;
      }
    } else {
      out.push_back(b);
      i += 1;
    }
  }
  return out.size();
}

int LoadZ80(Emulator& emu, std::span<const uint8_t> data) {
  Z80Image img;
  if (const MessageId refused = ParseZ80(data, img); refused != kMsgNone) {
    emu.ShowMessage(CaptionId::Options, refused);
    return 1;
  }
  ApplyZ80(emu, data, img);
  return 0;
}

std::vector<uint8_t> BuildZ80(const MachineState& m, int version, bool with1FFD) {
  if (version < 1 || version > 3) version = 3;
  const CpuState& cpu = m.cpu;
  const uint16_t pc = SnapshotPC(m);
  // Version 1 marks itself by a PC other than 0: a program at 0 is saved as version 3.
  if (version == 1 && pc == 0) version = 3;
  // The largest header (version 3 with the 0x1FFD byte) is built first, then the part in use.
  std::array<uint8_t, 87> h{};
  h[0] = cpu.AF.b.h;
  h[1] = cpu.AF.b.l;
  PutLe16(&h[2], cpu.BC.w);
  PutLe16(&h[4], cpu.HL.w);
  PutLe16(&h[6], version == 1 ? pc : 0);
  PutLe16(&h[8], cpu.SP);
  h[10] = cpu.IR.b.h;
  h[11] = cpu.IR.b.l;
  // Bit 0 is bit 7 of R as the program reads it; bit 5 (compressed) is always set.
  h[12] = static_cast<uint8_t>(((m.ports.BorderColour & 7) << 1) | 0x20 | (cpu.R7 ? 1 : 0));
  PutLe16(&h[13], cpu.DE.w);
  PutLe16(&h[15], cpu.BC_.w);
  PutLe16(&h[17], cpu.DE_.w);
  PutLe16(&h[19], cpu.HL_.w);
  h[21] = cpu.AF_.b.h;
  h[22] = cpu.AF_.b.l;
  PutLe16(&h[23], cpu.IY.w);
  PutLe16(&h[25], cpu.IX.w);
  h[27] = cpu.IFF1 ? 0xFF : 0;
  h[28] = cpu.IFF2 ? 0xFF : 0;
  h[29] = cpu.IM & 3;

  const uint8_t model = m.MachineModel;
  std::vector<uint8_t> out;
  if (version == 1) {
    out.assign(h.begin(), h.begin() + kMainHeader);
    std::vector<uint8_t> image(kRam48);
    for (size_t a = 0; a < kRam48; ++a) image[a] = m.Peek(static_cast<uint16_t>(0x4000 + a));
    CompressZ80Block(image, out);
    out.insert(out.end(), {0x00, 0xED, 0xED, 0x00});
    return out;
  }

  const uint16_t length = version == 2 ? 23 : (with1FFD ? 55 : 54);
  PutLe16(&h[30], length);
  PutLe16(&h[32], pc);
  uint8_t hardware = 0;
  uint8_t flags = 3;  // R register and LDIR emulation, as every writer sets them
  switch (model) {
    case kModel16K: flags |= 0x80; break;  // a 48K with the modified-hardware bit is a 16K
    case kModel128K: hardware = version == 2 ? 3 : 4; break;
    case kModelPlus2:
      // Version 2 has no +2 code: a 128K with the modified-hardware bit.
      if (version == 2) {
        hardware = 3;
        flags |= 0x80;
      } else {
        hardware = 12;
      }
      break;
    case kModelPlus2A: hardware = 13; break;
    case kModelPlus3: hardware = 7; break;
    default: hardware = 0; break;
  }
  h[34] = hardware;
  h[35] = Is128KFamily(model) ? m.Last7FFD : 0;
  h[36] = m.If1Paged() ? 0xFF : 0;
  h[37] = flags;
  h[38] = m.sound.ay.AySelectedRegister;
  std::copy_n(m.sound.ay.regs, 16, h.begin() + 39);
  if (version == 3) {
    h[55] = static_cast<uint8_t>(m.FrameTState & 0xFF);
    h[56] = static_cast<uint8_t>((m.FrameTState >> 8) & 0xFF);
    h[57] = static_cast<uint8_t>((m.FrameTState >> 16) & 0xFF);
    if (with1FFD) h[86] = m.Last1FFD;
  }

  out.assign(h.begin(), h.begin() + kMainHeader + 2 + length);

  std::vector<uint8_t> compressed;
  auto appendBlock = [&](std::span<const uint8_t> page, uint8_t pageNumber) {
    compressed.clear();
    CompressZ80Block(page, compressed);
    AppendLe16(out, static_cast<uint16_t>(compressed.size()));
    out.push_back(pageNumber);
    out.insert(out.end(), compressed.begin(), compressed.end());
  };
  if (Is128KFamily(model)) {
    for (uint8_t bank = 0; bank < 8; ++bank) {
      appendBlock(std::span<const uint8_t>(m.RamBlock.data() + bank * kPage, kPage), bank + 3);
    }
  } else {
    std::vector<uint8_t> page(kPage);
    auto cpuPage = [&](uint16_t start) {
      for (size_t a = 0; a < kPage; ++a) page[a] = m.Peek(static_cast<uint16_t>(start + a));
      return std::span<const uint8_t>(page);
    };
    if (model != kModel16K) {
      appendBlock(cpuPage(0x8000), 4);
      appendBlock(cpuPage(0xC000), 5);
    }
    appendBlock(cpuPage(0x4000), 8);
  }
  return out;
}

int SaveZ80(const MachineState& m, std::vector<uint8_t>& out) {
  out = BuildZ80(m, m.settings.Z80Version, m.settings.Save1FFD != 0);
  return 0;
}

}  // namespace orvo
