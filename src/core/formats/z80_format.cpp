#include "formats/z80_format.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/byte_cursor.h"

namespace orvo {

namespace {

constexpr size_t kMainHeader = 30;
constexpr size_t kPage = kSnapshotPageSize;
constexpr size_t kRam48 = 3 * kPage;

using Model = SnapshotModel;

// Header byte 12 (bit 7 of R, border, compression); old files write 255 for 1.
uint8_t HeaderFlags(std::span<const uint8_t> h) {
  return h[12] == 0xFF ? 1 : h[12];
}

// What the hardware byte of an additional header names.
struct Hardware {
  bool known = false;  // a machine this reader can load (as itself or the nearest model)
  Model model = Model::k48K;
  bool interface1 = false;  // with an Interface 1
  bool nearest = false;     // a machine not emulated here, loaded as `model`
};

// Hardware byte and length word to machine (the modified-hardware bit is applied afterwards).
// Version 2 numbers the 128K 3, or 4 with an Interface 1; version 3 moves them to 4 and 5 and
// gives 3 and 6 to the machines with an M.G.T. disk interface. Both use 1 for a 48K with an
// Interface 1, 7 (and 8, written by some programs) for the +3, 12 for the +2 and 13 for the +2A.
// The Pentagon (9) is emulated; the Scorpion (10) is a 128K machine at heart; the SamRam, Didaktik
// Kompakt and TC2048 are 48K ones. The Timex TC2068 and TS2068 (15 and 128), with their own memory
// layout, and numbers no machine has are not loaded.
Hardware HardwareFromByte(uint16_t length, uint8_t hardware) {
  Hardware h;
  h.known = true;
  if (length == 23) {
    switch (hardware) {
      case 0: return h;
      case 1: h.interface1 = true; return h;
      case 2: h.nearest = true; return h;
      case 4: h.interface1 = true; [[fallthrough]];
      case 3:
      case 5:
      case 6: h.model = Model::k128K; return h;
      default: h.known = false; return h;
    }
  }
  switch (hardware) {
    case 0:
    case 3: return h;
    case 1: h.interface1 = true; return h;
    case 2:
    case 11:
    case 14: h.nearest = true; return h;
    case 5: h.interface1 = true; [[fallthrough]];
    case 4:
    case 6: h.model = Model::k128K; return h;
    case 7:
    case 8: h.model = Model::kPlus3; return h;
    case 9: h.model = Model::kPentagon; return h;
    case 10:
      h.model = Model::k128K;
      h.nearest = true;
      return h;
    case 12: h.model = Model::kPlus2; return h;
    case 13: h.model = Model::kPlus2A; return h;
    default: h.known = false; return h;
  }
}

Model ApplyModifiedHardware(Model model) {
  switch (model) {
    case Model::k48K: return Model::k16K;
    case Model::k128K: return Model::kPlus2;
    case Model::kPlus3: return Model::kPlus2A;
    default: return model;
  }
}

// The bank a version 2 or 3 page number fills, or -1 for a page the model does not have. On the
// 48K page 4 is 0x8000, page 5 is 0xC000 and page 8 is 0x4000; the 16K has only page 8. On the
// 128K models pages 3 to 10 are banks 0 to 7. The others hold ROMs (0 and 2 the machine's, 1 an
// Interface 1 or DISCiPLE, 11 a Multiface) or the RAM of bigger machines: they are passed over.
int BankOfPage(Model model, uint8_t page) {
  if (IsSnapshot128K(model)) return (page >= 3 && page <= 10) ? page - 3 : -1;
  switch (page) {
    case 8: return Bank48KAt(0x4000);
    case 4: return model == Model::k16K ? -1 : Bank48KAt(0x8000);
    case 5: return model == Model::k16K ? -1 : Bank48KAt(0xC000);
    default: return -1;
  }
}

// Reads the memory blocks of a version 2 or 3 file from `pos` to the end of the file, in the
// order they come. A file may hold only some of the pages (a +3 file with pages 4, 5 and 8): the
// others stay blank. A block that runs past the end of the file refuses the file, even one of a
// page that is passed over.
FormatError ReadBlocks(std::span<const uint8_t> data, size_t pos, SnapshotRecord& r) {
  std::vector<uint8_t> skipped;
  while (pos < data.size()) {
    if (data.size() - pos < 3) return FormatError::SnapshotLength;
    const uint16_t length = ReadLe16(data, pos);
    const int bank = BankOfPage(r.model, data[pos + 2]);
    pos += 3;
    std::vector<uint8_t>& dst = bank >= 0 ? r.ram[static_cast<size_t>(bank)] : skipped;
    dst.assign(kPage, 0);
    if (length == 0xFFFF) {
      if (data.size() - pos < kPage) return FormatError::SnapshotLength;
      std::memcpy(dst.data(), data.data() + pos, kPage);
      pos += kPage;
    } else {
      if (data.size() - pos < length) return FormatError::SnapshotLength;
      const Z80DecodeResult d = DecompressZ80Block(data.subspan(pos, length), dst);
      if (d.produced != kPage) return FormatError::BlockLength;
      pos += length;
    }
  }
  return FormatError::None;
}

// The T-states of a frame and of its quarter. The version 3 header counts the time in the frame
// as the original emulator's interrupt timer did: a quarter-frame counter (byte 57) that is 3 just
// after the frame interrupt and goes up by one, modulo 4, at each quarter, and a 16-bit count
// (bytes 55-56) that goes down from one less than a quarter to 0 within each quarter.
uint32_t FrameLengthOf(Model model) {
  if (model == Model::kPentagon) return 71680;
  return IsSnapshot128K(model) ? 70908 : 69888;
}

uint32_t DecodeFrameTState(Model model, std::span<const uint8_t> h) {
  const uint32_t quarter = FrameLengthOf(model) / 4;
  const uint32_t down = std::min<uint32_t>(ReadLe16(h, 55), quarter - 1);
  const uint32_t count = (h[57] + 1u) % 4u;
  return count * quarter + (quarter - 1 - down);
}

void EncodeFrameTState(Model model, uint32_t t, uint8_t* field) {
  const uint32_t quarter = FrameLengthOf(model) / 4;
  t %= quarter * 4;
  PutLe16(field, static_cast<uint16_t>(quarter - 1 - t % quarter));
  field[2] = static_cast<uint8_t>((t / quarter + 3) % 4);
}

// Byte 29 bits 6-7 against the settings' joystick numbers (see SnapshotRecord::joystick): 0
// cursor, 1 Kempston, 2 "Sinclair 2" (the Interface II's port 2, keys 1-5), 3 "Sinclair 1" (its
// port 1, keys 6-0).
uint8_t JoystickFromFile(uint8_t bits) {
  constexpr uint8_t kTypes[] = {3, 1, 5, 4};  // cursor, Kempston, Interface II 2 and 1
  return kTypes[bits & 3];
}

uint8_t JoystickToFile(uint8_t type) {
  switch (type) {
    case 1: return 1;
    case 4: return 3;
    case 5: return 2;
    default: return 0;  // cursor, and the joysticks the format has no number for
  }
}

void ReadRegisters(std::span<const uint8_t> h, SnapshotCpu& cpu) {
  cpu.AF = static_cast<uint16_t>(h[0] << 8 | h[1]);
  cpu.BC = ReadLe16(h, 2);
  cpu.HL = ReadLe16(h, 4);
  cpu.SP = ReadLe16(h, 8);
  cpu.I = h[10];
  cpu.R = h[11];
  cpu.R7 = (HeaderFlags(h) & 0x01) ? 0x80 : 0x00;
  cpu.DE = ReadLe16(h, 13);
  cpu.BC_ = ReadLe16(h, 15);
  cpu.DE_ = ReadLe16(h, 17);
  cpu.HL_ = ReadLe16(h, 19);
  cpu.AF_ = static_cast<uint16_t>(h[21] << 8 | h[22]);
  cpu.IY = ReadLe16(h, 23);
  cpu.IX = ReadLe16(h, 25);
  cpu.IFF1 = h[27] != 0 ? 1 : 0;
  cpu.IFF2 = h[28] != 0 ? 1 : 0;
  cpu.IM = h[29] & 0x03;
}

// Byte 29 beyond the interrupt mode: bit 2 the issue 2 keyboard, bits 6-7 the joystick. A zero
// joystick field is the cursor joystick, but also what writers leave when they say nothing: only
// the others are taken.
void ReadMachineByte(uint8_t b, SnapshotRecord& r) {
  r.issue2 = (b & 0x04) != 0;
  if (b & 0xC0) r.joystick = JoystickFromFile(static_cast<uint8_t>(b >> 6));
}

FormatError ParseInto(std::span<const uint8_t> data, SnapshotRecord& r) {
  if (data.size() < kMainHeader) return FormatError::SnapshotLength;
  ReadRegisters(data, r.cpu);
  ReadMachineByte(data[29], r);
  r.border = (HeaderFlags(data) >> 1) & 7;
  const uint16_t headerPc = ReadLe16(data, 6);
  if (headerPc != 0) {
    r.model = Model::k48K;
    r.cpu.PC = headerPc;
    r.label = "Z80 File Version: 1.45";
    std::vector<uint8_t> image(kRam48, 0);
    size_t filled = kRam48;
    const auto body = data.subspan(kMainHeader);
    if (HeaderFlags(data) & 0x20) {
      const Z80DecodeResult d = DecompressZ80Block(body, image);
      // The image must be complete, or end with its end marker.
      if (d.produced != kRam48 && !d.endMarker) return FormatError::SnapshotLength;
      filled = d.produced;
    } else {
      if (body.size() < kRam48) return FormatError::SnapshotLength;
      std::memcpy(image.data(), body.data(), kRam48);
    }
    // An image cut short by its end marker fills only the start of RAM.
    for (size_t unit = 0; unit < 3 && unit * kPage < filled; ++unit) {
      const size_t n = std::min(kPage, filled - unit * kPage);
      const auto from = image.begin() + static_cast<ptrdiff_t>(unit * kPage);
      r.ram[Bank48KAt(static_cast<uint16_t>(0x4000 + unit * kPage))].assign(from, from + n);
    }
    return FormatError::None;
  }

  if (data.size() < kMainHeader + 2) return FormatError::SnapshotLength;
  const uint16_t length = ReadLe16(data, 30);
  if (length != 23 && length != 54 && length != 55) return FormatError::Z80Version;
  if (data.size() < kMainHeader + 2 + length) return FormatError::SnapshotLength;
  r.label = length == 23 ? "Z80 File Version: 2.01" : "Z80 File Version: 3.00";
  r.cpu.PC = ReadLe16(data, 32);
  r.last7FFD = data[35];
  r.if1RomPaged = data[36] == 0xFF;
  const Hardware hardware = HardwareFromByte(length, data[34]);
  if (!hardware.known) return FormatError::Z80Version;
  r.model = hardware.model;
  r.nearestModel = hardware.nearest;
  r.interface1 = hardware.interface1;
  r.ayOn48K = (data[37] & 0x04) != 0;
  if (data[37] & 0x80) r.model = ApplyModifiedHardware(r.model);
  if (length != 23) r.frameTState = DecodeFrameTState(r.model, data);
  SnapshotAy ay;
  ay.selected = data[38];
  std::copy_n(data.begin() + 39, 16, ay.regs.begin());
  r.ay = ay;
  // Without the 0x1FFD byte the +2A and +3 start in their normal paging mode.
  if (length == 55) r.last1FFD = data[86];
  return ReadBlocks(data, kMainHeader + 2 + length, r);
}

// The 16K of `bank`, zero where the record holds less.
std::span<const uint8_t> FullPage(const SnapshotRecord& r, uint8_t bank,
                                  std::vector<uint8_t>& scratch) {
  const std::vector<uint8_t>& page = r.ram[bank];
  if (page.size() == kPage) return page;
  scratch.assign(kPage, 0);
  std::copy_n(page.begin(), std::min(page.size(), kPage), scratch.begin());
  return scratch;
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

FormatStatus ParseZ80(std::span<const uint8_t> data, SnapshotRecord& out) {
  SnapshotRecord r;
  if (const FormatError e = ParseInto(data, r); e != FormatError::None) return {e, 0};
  out = std::move(r);
  return {};
}

std::vector<uint8_t> WriteZ80(const SnapshotRecord& r, int version, bool with1FFD) {
  if (version < 1 || version > 3) version = 3;
  const SnapshotCpu& cpu = r.cpu;
  const uint16_t pc = cpu.ResumePC();
  const Model model = r.model;
  // Version 1 holds a 48K only. The +2A and +3 need the 0x1FFD byte, which only version 3 with
  // the longer header has: without it they would come back in their normal paging mode, with the
  // ROM of the wrong 0x1FFD value.
  const bool plus2A = model == Model::kPlus2A || model == Model::kPlus3;
  if ((version == 1 && (pc == 0 || IsSnapshot128K(model))) || plus2A) version = 3;
  if (plus2A) with1FFD = true;
  // The largest header (version 3 with the 0x1FFD byte) is built first, then the part in use.
  std::array<uint8_t, 87> h{};
  h[0] = static_cast<uint8_t>(cpu.AF >> 8);
  h[1] = static_cast<uint8_t>(cpu.AF);
  PutLe16(&h[2], cpu.BC);
  PutLe16(&h[4], cpu.HL);
  PutLe16(&h[6], version == 1 ? pc : 0);
  PutLe16(&h[8], cpu.SP);
  h[10] = cpu.I;
  h[11] = cpu.R;
  // Bit 0 is bit 7 of R as the program reads it; bit 5 (compressed) is always set.
  h[12] = static_cast<uint8_t>(((r.border & 7) << 1) | 0x20 | (cpu.R7 ? 1 : 0));
  PutLe16(&h[13], cpu.DE);
  PutLe16(&h[15], cpu.BC_);
  PutLe16(&h[17], cpu.DE_);
  PutLe16(&h[19], cpu.HL_);
  h[21] = static_cast<uint8_t>(cpu.AF_ >> 8);
  h[22] = static_cast<uint8_t>(cpu.AF_);
  PutLe16(&h[23], cpu.IY);
  PutLe16(&h[25], cpu.IX);
  h[27] = cpu.IFF1 ? 0xFF : 0;
  h[28] = cpu.IFF2 ? 0xFF : 0;
  h[29] = static_cast<uint8_t>((cpu.IM & 3) | (r.issue2.value_or(false) ? 0x04 : 0) |
                               JoystickToFile(r.joystick.value_or(0)) << 6);

  std::vector<uint8_t> scratch;
  std::vector<uint8_t> out;
  if (version == 1) {
    out.assign(h.begin(), h.begin() + kMainHeader);
    std::vector<uint8_t> image;
    image.reserve(kRam48);
    for (uint16_t start : {0x4000, 0x8000, 0xC000}) {
      const auto page = FullPage(r, Bank48KAt(start), scratch);
      image.insert(image.end(), page.begin(), page.end());
    }
    CompressZ80Block(image, out);
    out.insert(out.end(), {0x00, 0xED, 0xED, 0x00});
    return out;
  }

  const uint16_t length = version == 2 ? 23 : (with1FFD ? 55 : 54);
  PutLe16(&h[30], length);
  PutLe16(&h[32], pc);
  // An Interface 1 has its own codes on the 16K, 48K, 128K and +2 (the last two as a 128K with
  // an Interface 1, the +2 with the modified-hardware bit).
  const bool if1 = r.interface1.value_or(false) && model <= Model::kPlus2;
  uint8_t hardware = 0;
  uint8_t flags = 3;  // R register and LDIR emulation, as every writer sets them
  switch (model) {
    case Model::k16K:  // a 48K with the modified-hardware bit is a 16K
      hardware = if1 ? 1 : 0;
      flags |= 0x80;
      break;
    case Model::k48K: hardware = if1 ? 1 : 0; break;
    case Model::k128K:
      hardware = static_cast<uint8_t>((version == 2 ? 3 : 4) + (if1 ? 1 : 0));
      break;
    case Model::kPlus2:
      // Version 2 has no +2 code, nor has either version a +2 with an Interface 1: a 128K with
      // the modified-hardware bit.
      if (version == 2 || if1) {
        hardware = static_cast<uint8_t>((version == 2 ? 3 : 4) + (if1 ? 1 : 0));
        flags |= 0x80;
      } else {
        hardware = 12;
      }
      break;
    case Model::kPlus2A: hardware = 13; break;
    case Model::kPlus3: hardware = 7; break;
    case Model::kPentagon: hardware = 9; break;
    default: hardware = 0; break;
  }
  h[34] = hardware;
  h[35] = IsSnapshot128K(model) ? r.last7FFD : 0;
  h[36] = r.if1RomPaged.value_or(false) && model <= Model::kPlus2 ? 0xFF : 0;
  h[37] = flags;
  const SnapshotAy ay = r.ay.value_or(SnapshotAy{});
  h[38] = ay.selected;
  std::copy(ay.regs.begin(), ay.regs.end(), h.begin() + 39);
  if (version == 3) {
    EncodeFrameTState(model, r.frameTState.value_or(0), &h[55]);
    if (with1FFD) h[86] = r.last1FFD;
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
  if (IsSnapshot128K(model)) {
    for (uint8_t bank = 0; bank < 8; ++bank) appendBlock(FullPage(r, bank, scratch), bank + 3);
  } else {
    // The 16K's file has the 48K's pages too, the upper two as its empty bus reads them (0xFF):
    // readers that take every file for a 48K's need them.
    const std::vector<uint8_t> unfitted(model == Model::k16K ? kPage : 0, 0xFF);
    for (const uint16_t address : {0x8000, 0xC000}) {
      const uint8_t pageNumber = address == 0x8000 ? 4 : 5;
      appendBlock(unfitted.empty() ? FullPage(r, Bank48KAt(address), scratch) : unfitted,
                  pageNumber);
    }
    appendBlock(FullPage(r, Bank48KAt(0x4000), scratch), 8);
  }
  return out;
}

}  // namespace orvo
