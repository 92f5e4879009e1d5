#include "formats/szx_format.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_cursor.h"
#include "formats/zlib_codec.h"

namespace orvo {

namespace {

constexpr size_t kHeaderSize = 8;
constexpr uint8_t kLastMachine = static_cast<uint8_t>(SnapshotModel::kPentagon);
constexpr uint8_t kZ80REiLast = 0x01;    // the last instruction was EI
constexpr uint8_t kZ80RHalted = 0x02;    // the CPU is stopped in a HALT
constexpr uint8_t kZ80RFlagsSet = 0x04;  // the last instruction wrote F
constexpr uint8_t kAyOn48K = 0x02;       // a 128K-style AY on a 48K model

// The creator block Orvo writes: its name, then the version of the file's conventions. Files of
// version 0.0 stored a halted CPU's PC past the HALT opcode; from 0.1 on, PC is the HALT's own
// address, as every other reader and writer of the format has it.
constexpr char kCreatorName[] = "Orvo";
constexpr uint16_t kCreatorMajor = 0;
constexpr uint16_t kCreatorMinor = 1;
constexpr size_t kCreatorNameSize = 32;

enum class Use : uint8_t {
  kRefused,  // cannot be loaded here
  kSkipped,  // read and dropped
  kKept,     // kept as a device block
  kZ80R,
  kSPCR,
  kRAMP,
  kAY,
  kCRTR,
  kJOY,
};

struct BlockKind {
  const char* id;
  Use use;
  uint32_t size;  // the body size its kind has, or 0 for any
};

// Every block ID the format defines, with what loading does with it; then Orvo's own "BDRV" (the
// Beta 128's controller and drives beyond what "B128" holds), which other readers pass over.
constexpr BlockKind kBlockKinds[] = {
    {"ZXST", Use::kSkipped, 0}, {"ZXAT", Use::kKept, 0}, {"ATRP", Use::kKept, 0},
    {"AY", Use::kAY, 18},       {"ZXCF", Use::kKept, 0}, {"CFRP", Use::kKept, 0},
    {"COVX", Use::kKept, 0},    {"B128", Use::kKept, 0}, {"BDSK", Use::kSkipped, 7},
    {"CRTR", Use::kCRTR, 0},    {"DOCK", Use::kKept, 0}, {"DSK", Use::kKept, 0},
    {"GS", Use::kKept, 0},      {"GSRP", Use::kKept, 0}, {"KEYB", Use::kKept, 5},
    {"IF1", Use::kKept, 0},     {"IF2R", Use::kKept, 0}, {"JOY", Use::kJOY, 6},
    {"MDRV", Use::kKept, 0},    {"AMXM", Use::kKept, 7}, {"MFCE", Use::kKept, 0},
    {"OPUS", Use::kKept, 0},    {"ODSK", Use::kKept, 0}, {"+3", Use::kKept, 0},
    {"PLSD", Use::kKept, 0},    {"PLTT", Use::kKept, 0}, {"PDSK", Use::kKept, 0},
    {"RAMP", Use::kRAMP, 0},    {"ROM", Use::kKept, 0},  {"SCLD", Use::kKept, 0},
    {"SIDE", Use::kKept, 0},    {"DRUM", Use::kKept, 0}, {"SPCR", Use::kSPCR, 8},
    {"TAPE", Use::kKept, 0},    {"USPE", Use::kKept, 0}, {"ZXPR", Use::kKept, 0},
    {"Z80R", Use::kZ80R, 37},   {"BDRV", Use::kKept, 0},
};

const BlockKind* FindKind(const std::array<char, 4>& id) {
  for (const BlockKind& k : kBlockKinds) {
    if (SnapshotBlockId(k.id) == id) return &k;
  }
  return nullptr;
}

uint32_t IdNumber(const std::array<char, 4>& id) {
  uint32_t n = 0;
  for (size_t k = 0; k < 4; ++k) n |= static_cast<uint32_t>(static_cast<uint8_t>(id[k])) << (8 * k);
  return n;
}

void ReadZ80R(std::span<const uint8_t> b, SnapshotRecord& r) {
  SnapshotCpu& c = r.cpu;
  auto pair = [&](size_t lo) { return static_cast<uint16_t>(b[lo] | b[lo + 1] << 8); };
  c.AF = static_cast<uint16_t>(b[1] << 8 | b[0]);
  c.BC = pair(2);
  c.DE = pair(4);
  c.HL = pair(6);
  c.AF_ = static_cast<uint16_t>(b[9] << 8 | b[8]);
  c.BC_ = pair(10);
  c.DE_ = pair(12);
  c.HL_ = pair(14);
  c.IX = pair(16);
  c.IY = pair(18);
  c.SP = pair(20);
  c.PC = pair(22);  // a halted CPU's PC is the HALT's address: moved past it once all is read
  c.I = b[24];
  c.R = b[25];
  c.R7 = b[25] & 0x80;
  c.IFF1 = b[26] ? 1 : 0;
  c.IFF2 = b[27] ? 1 : 0;
  c.IM = b[28] & 3;
  r.frameTState =
      static_cast<uint32_t>(b[29] | b[30] << 8 | b[31] << 16) | static_cast<uint32_t>(b[32]) << 24;
  r.interruptHold = b[33];
  c.halted = (b[34] & kZ80RHalted) != 0;
  c.eiLast = (b[34] & kZ80REiLast) != 0;
  c.flagsSet = (b[34] & kZ80RFlagsSet) != 0;
  c.MEMPTR = pair(35);
}

// True for a creator block of an Orvo that stored a halted CPU's PC past the HALT.
bool PcPastHaltCreator(std::span<const uint8_t> b) {
  if (b.size() < kCreatorNameSize + 4) return false;
  const std::string_view name(reinterpret_cast<const char*>(b.data()), kCreatorNameSize);
  const std::string_view own(kCreatorName, sizeof kCreatorName);  // with its NUL
  const uint16_t major = static_cast<uint16_t>(b[32] | b[33] << 8);
  const uint16_t minor = static_cast<uint16_t>(b[34] | b[35] << 8);
  return name.substr(0, own.size()) == own && major == 0 && minor == 0;
}

// The "JOY" block: flags (4 bytes; bit 0 a Kempston interface on port 31 whatever the players
// use), then the joystick type of player 1 and of player 2: 0 Kempston, 1 Fuller, 2 cursor,
// 3 Interface II port 1 (keys 6-0), 4 port 2 (keys 1-5), 5 ComCom, 6 and 7 the Timex ports, 8 none.
// The settings number the first five from 1 up.
constexpr uint8_t kJoyAlwaysPort31 = 0x01;
constexpr uint8_t kJoyKinds = 5;
constexpr uint8_t kJoyNone = 8;

void ReadJOY(std::span<const uint8_t> b, SnapshotRecord& r) {
  // The first player's joystick where Orvo has it, else the second's.
  for (const uint8_t type : {b[4], b[5]}) {
    if (type < kJoyKinds) {
      r.joystick = static_cast<uint8_t>(type + 1);
      return;
    }
  }
  r.joystick = (b[0] & kJoyAlwaysPort31) ? 1 : 0;
}

std::vector<uint8_t> JoyBody(uint8_t joystick) {
  const bool known = joystick >= 1 && joystick <= kJoyKinds;
  return {static_cast<uint8_t>(joystick == 1 ? kJoyAlwaysPort31 : 0), 0,       0, 0,
          static_cast<uint8_t>(known ? joystick - 1 : kJoyNone),      kJoyNone};
}

void ReadSPCR(std::span<const uint8_t> b, SnapshotRecord& r) {
  r.border = b[0] & 7;
  r.last7FFD = b[1];
  r.last1FFD = b[2];
  r.lastFE = b[3];
}

void ReadAY(std::span<const uint8_t> b, SnapshotRecord& r) {
  SnapshotAy ay;
  ay.selected = b[1] & 0x0F;
  std::copy_n(b.begin() + 2, ay.regs.size(), ay.regs.begin());
  r.ay = ay;
  r.ayOn48K = !IsSnapshot128K(r.model) && (b[0] & kAyOn48K);
}

// The bank a page number fills on the record's model, or -1 for one with no place there.
int BankOfPage(SnapshotModel model, uint8_t page) {
  if (IsSnapshot128K(model)) return page < 8 ? page : -1;
  return (page == 5 || page == 2 || page == 0) ? page : -1;
}

FormatError ReadRAMP(std::span<const uint8_t> b, SnapshotRecord& r) {
  if (b.size() < 3) return FormatError::SzxBlockLength;
  const bool compressed = (b[0] & 1) != 0;
  const std::span<const uint8_t> data = b.subspan(3);
  std::vector<uint8_t> page(kSnapshotPageSize);
  if (compressed) {
    if (!InflateExact(data, page)) return FormatError::SzxPage;
  } else {
    if (data.size() != kSnapshotPageSize) return FormatError::SzxPage;
    std::copy(data.begin(), data.end(), page.begin());
  }
  if (const int bank = BankOfPage(r.model, b[2]); bank >= 0) r.ram[bank] = std::move(page);
  return FormatError::None;
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void AppendBlock(std::vector<uint8_t>& out, std::string_view id, std::span<const uint8_t> body) {
  const auto key = SnapshotBlockId(id);
  out.insert(out.end(), key.begin(), key.end());
  PutLe32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> Z80RBody(const SnapshotRecord& r) {
  const SnapshotCpu& c = r.cpu;
  std::vector<uint8_t> b;
  auto pair = [&](uint16_t v) { AppendLe16(b, v); };
  b.push_back(static_cast<uint8_t>(c.AF));
  b.push_back(static_cast<uint8_t>(c.AF >> 8));
  pair(c.BC);
  pair(c.DE);
  pair(c.HL);
  b.push_back(static_cast<uint8_t>(c.AF_));
  b.push_back(static_cast<uint8_t>(c.AF_ >> 8));
  pair(c.BC_);
  pair(c.DE_);
  pair(c.HL_);
  pair(c.IX);
  pair(c.IY);
  pair(c.SP);
  pair(c.ResumePC());  // halted: the HALT's own address, with the halted flag below
  b.push_back(c.I);
  b.push_back(c.VisibleR());
  b.push_back(c.IFF1);
  b.push_back(c.IFF2);
  b.push_back(c.IM);
  // A machine whose frame-start interrupt is still to come is written as the format's readers
  // keep it: at the end of the frame before, the frame's length not yet taken off.
  const uint32_t t = r.frameTState.value_or(0);
  PutLe32(b, r.interruptDue ? t + SnapshotFrameLength(r.model) : t);
  b.push_back(r.interruptHold);  // 0: the model's own hold time
  b.push_back(static_cast<uint8_t>((c.halted ? kZ80RHalted : 0) | (c.eiLast ? kZ80REiLast : 0) |
                                   (c.flagsSet ? kZ80RFlagsSet : 0)));
  pair(c.MEMPTR.value_or(0));
  return b;
}

}  // namespace

bool NearestSzxModel(uint8_t machineId, SnapshotModel& model) {
  // The Pentagon 512 and 1024 and the Scorpion are 128K machines at heart.
  switch (machineId) {
    case 10:
    case 13:
    case 14: model = SnapshotModel::k128K; return true;
    default: return false;
  }
}

FormatStatus ParseSZX(std::span<const uint8_t> data, SnapshotRecord& out) {
  if (data.size() < 4 || std::memcmp(data.data(), "ZXST", 4) != 0)
    return {FormatError::SzxSignature, 0};
  if (data.size() < kHeaderSize) return {FormatError::SzxBlockLength, 0};
  SnapshotRecord r;
  if (data[6] > kLastMachine) {
    if (!NearestSzxModel(data[6], r.model)) return {FormatError::SzxMachine, data[6]};
    r.nearestModel = true;
  } else {
    r.model = static_cast<SnapshotModel>(data[6]);
  }
  r.label = "SZX File";
  bool pcPastHalt = false;
  ByteCursor c(data.subspan(kHeaderSize));
  while (!c.AtEnd()) {
    const uint8_t* idBytes;
    uint32_t size;
    if (!c.Bytes(4, idBytes)) return {FormatError::SzxBlockLength, 0};
    std::array<char, 4> id;
    std::memcpy(id.data(), idBytes, 4);
    const BlockKind* kind = FindKind(id);
    const uint8_t* p;
    if (!c.U32(size) || !c.Bytes(size, p)) return {FormatError::SzxBlockLength, IdNumber(id)};
    // A block of a kind this reader does not know is kept aside, as the format asks of readers:
    // the machine loads without that device's state, and the loader says so.
    if (!kind) {
      r.blocks.push_back({id, std::vector<uint8_t>(p, p + size)});
      continue;
    }
    if (kind->size != 0 && size != kind->size) return {FormatError::SzxBlockLength, IdNumber(id)};
    const std::span<const uint8_t> body(p, size);
    switch (kind->use) {
      case Use::kZ80R: ReadZ80R(body, r); break;
      case Use::kCRTR: pcPastHalt = PcPastHaltCreator(body); break;
      case Use::kJOY: ReadJOY(body, r); break;
      case Use::kSPCR: ReadSPCR(body, r); break;
      case Use::kAY: ReadAY(body, r); break;
      case Use::kRAMP:
        if (const FormatError e = ReadRAMP(body, r); e != FormatError::None)
          return {e, IdNumber(id)};
        break;
      case Use::kKept:
        r.blocks.push_back({id, std::vector<uint8_t>(body.begin(), body.end())});
        break;
      default: break;
    }
  }
  // A T-state past the frame's end: the frame is over and its successor's interrupt still to
  // come, which is how the record keeps it.
  if (r.frameTState) {
    const uint32_t length = SnapshotFrameLength(r.model);
    if (*r.frameTState >= length) {
      r.frameTState = (*r.frameTState - length) % length;
      r.interruptArmed = 1;
    }
  }
  // The record keeps a halted CPU with PC past the HALT, where the interrupt will return to.
  if (r.cpu.halted && !pcPastHalt) r.cpu.PC = static_cast<uint16_t>(r.cpu.PC + 1);
  out = std::move(r);
  return {};
}

std::vector<uint8_t> WriteSZX(const SnapshotRecord& r) {
  std::vector<uint8_t> out = {'Z', 'X', 'S', 'T', 1, 4, static_cast<uint8_t>(r.model), 0};

  std::vector<uint8_t> creator(kCreatorNameSize, 0);
  std::memcpy(creator.data(), kCreatorName, sizeof kCreatorName - 1);
  AppendLe16(creator, kCreatorMajor);
  AppendLe16(creator, kCreatorMinor);
  creator.push_back(0);  // no custom data
  AppendBlock(out, "CRTR", creator);
  AppendBlock(out, "Z80R", Z80RBody(r));
  const uint8_t spcr[8] = {static_cast<uint8_t>(r.border & 7), r.last7FFD, r.last1FFD,
                           r.lastFE.value_or(r.border & 7)};
  AppendBlock(out, "SPCR", spcr);

  std::vector<uint8_t> pages;
  if (IsSnapshot128K(r.model)) {
    pages = {0, 1, 2, 3, 4, 5, 6, 7};
  } else if (r.model == SnapshotModel::k16K) {
    pages = {5};
  } else {
    pages = {5, 2, 0};
  }
  for (uint8_t page : pages) {
    std::vector<uint8_t> plain(kSnapshotPageSize, 0);
    const std::vector<uint8_t>& held = r.ram[page];
    std::copy_n(held.begin(), std::min(held.size(), plain.size()), plain.begin());
    std::vector<uint8_t> body = {1, 0, page};
    const std::vector<uint8_t> packed = DeflateAll(plain);
    body.insert(body.end(), packed.begin(), packed.end());
    AppendBlock(out, "RAMP", body);
  }

  if (r.ay && (IsSnapshot128K(r.model) || r.ayOn48K)) {
    // The flag marks an AY added to a 48K (a Melodik); the 128K models' own AY has none.
    const uint8_t flags = IsSnapshot128K(r.model) ? 0 : kAyOn48K;
    std::vector<uint8_t> ay = {flags, static_cast<uint8_t>(r.ay->selected & 0x0F)};
    ay.insert(ay.end(), r.ay->regs.begin(), r.ay->regs.end());
    AppendBlock(out, "AY", ay);
  }

  if (r.joystick) AppendBlock(out, "JOY", JoyBody(*r.joystick));

  for (const SnapshotBlock& b : r.blocks) {
    const BlockKind* kind = FindKind(b.id);
    if (!kind || kind->use != Use::kKept) continue;
    if (kind->size != 0 && b.body.size() != kind->size) continue;
    out.insert(out.end(), b.id.begin(), b.id.end());
    PutLe32(out, static_cast<uint32_t>(b.body.size()));
    out.insert(out.end(), b.body.begin(), b.body.end());
  }
  return out;
}

}  // namespace orvo
