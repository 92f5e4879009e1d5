// TAP and TZX parsing. Both formats are little-endian streams of blocks read with a moving cursor
// that is checked against the end of the file before every field, so a short or hostile file
// stops the parse with an error instead of reading past its end.
#include "formats/tape_parsers.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "formats/byte_cursor.h"
#include "formats/csw_format.h"
#include "formats/inflate.h"

namespace orvo {

namespace {

constexpr uint8_t kTzxSignature[8] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};

struct KindEntry {
  uint8_t id;
  const char* name;
};

constexpr KindEntry kKinds[] = {
    {0x10, "ORVO_ROM_BLOCK"},
    {0x11, "ORVO_TURBO_BLOCK"},
    {0x12, "ORVO_PURE_TONE_BLOCK"},
    {0x13, "ORVO_PULSES_BLOCK"},
    {0x14, "ORVO_PURE_DATA_BLOCK"},
    {0x15, "ORVO_RAW_DATA_BLOCK"},
    {0x19, "ORVO_GENERALISED_DATA_BLOCK"},
    {0x20, "ORVO_PAUSE_BLOCK"},
    {0x21, "ORVO_GROUP_START_BLOCK"},
    {0x22, "ORVO_GROUP_END_BLOCK"},
    {0x23, "ORVO_JUMP_BLOCK"},
    {0x24, "ORVO_LOOP_START_BLOCK"},
    {0x25, "ORVO_LOOP_END_BLOCK"},
    {0x26, "ORVO_CALL_SEQUENCE_BLOCK"},
    {0x27, "ORVO_RETURN_FROM_SEQUENCE_BLOCK"},
    {0x28, "ORVO_SELECT_BLOCK"},
    {0x2A, "ORVO_STOP48_BLOCK"},
    {0x2B, "ORVO_SET_SIGNAL_LEVEL_BLOCK"},
    {0x30, "ORVO_COMMENT_BLOCK"},
    {0x31, "ORVO_MESSAGE_BLOCK"},
    {0x32, "ORVO_ARCHIVE_INFO_BLOCK"},
    {0x33, "ORVO_HARDWARE_BLOCK"},
    {0x35, "ORVO_CUSTOM_BLOCK"},
    {0x5A, "ORVO_CONCAT_BLOCK"},
};

// Pilot pulses of a standard block: a header (first byte below 0x80) gets the long leader.
uint32_t StandardPilotCount(const uint8_t* data, uint32_t length) {
  return (length > 0 && data[0] < 0x80) ? kHeaderPilotPulses : kDataPilotPulses;
}

uint32_t ClampUsedBits(uint32_t bits) {
  return (bits == 0 || bits > 8) ? 8 : bits;
}

// Starting pulse of a data block that begins in the data state: the length of bit 7 of the first
// byte (0 for an empty block, which then ends at once).
uint32_t FirstBitPulse(const uint8_t* data, uint32_t length, uint32_t zero, uint32_t one) {
  if (length == 0) return 0;
  return (data[0] & 0x80) ? one : zero;
}

// The block's bytes (none for an empty block).
void SetData(TapeBlock& b, const uint8_t* data, uint32_t length) {
  b.data = length ? data : nullptr;
  b.length = length;
}

// The block's parameters p[0], p[1], ... in order; the rest stay 0.
void SetParams(TapeBlock& b, std::initializer_list<uint32_t> values) {
  size_t i = 0;
  for (uint32_t v : values) b.p[i++] = v;
}

void SetStandardBlock(TapeBlock& b, const uint8_t* data, uint32_t length, uint32_t pause) {
  SetData(b, data, length);
  b.p[0] = 8;
  b.p[1] = kStandardPilotPulse;
  b.p[2] = StandardPilotCount(data, length);
  b.p[3] = 0;
  b.p[5] = pause;
  b.state = kTapePilot;
  b.pulse = kStandardPilotPulse;
}

// Number of bits that select one of `symbols` data symbols: ceil(log2(symbols)).
uint32_t BitsPerSymbol(uint32_t symbols) {
  uint32_t bits = 0;
  while ((1u << bits) < symbols) ++bits;
  return bits;
}

bool ReadAlphabet(ByteCursor& c, GeneralizedData::Alphabet& a) {
  const size_t rowBytes = 1 + 2 * static_cast<size_t>(a.maxPulses);
  if (!c.Has(rowBytes * a.symbols)) return false;
  a.flags.resize(a.symbols);
  a.pulses.resize(static_cast<size_t>(a.symbols) * a.maxPulses);
  for (uint32_t s = 0; s < a.symbols; ++s) {
    uint32_t v;
    c.U8(v);
    a.flags[s] = static_cast<uint8_t>(v & 3);
    for (uint32_t k = 0; k < a.maxPulses; ++k) {
      c.U16(v);
      a.pulses[static_cast<size_t>(s) * a.maxPulses + k] = static_cast<uint16_t>(v);
    }
  }
  return true;
}

// The body of a generalized data block (after its length word). The pilot/sync stream holds TOTP
// run records; a few files count TOTP as the total of the runs' repetitions instead, which shows
// as a block whose fields do not add up to its length: those are read run by run until the
// repetitions reach TOTP.
// A CSW recording inside a TZX (0x18): pause, sample rate (24 bits), compression (1 RLE, 2
// Z-RLE), number of pulses, then the pulse stream. The block is made in place of `b`.
bool ParseCswBlock(ByteCursor& c, TapeBlock& b) {
  ByteCursor body;
  uint32_t len, pause, rate, compression, pulses;
  if (!c.U32(len) || !c.Sub(len, body)) return false;
  if (!body.U16(pause) || !body.U24(rate) || !body.U8(compression) || !body.U32(pulses)) {
    return false;
  }
  const uint8_t* p;
  const size_t rest = body.Left();
  body.Bytes(rest, p);
  std::vector<uint8_t> rle;
  if (compression == 2) {
    if (!InflateBytes({p, rest}, rle, 256u << 20, false)) return false;
  } else if (compression == 1) {
    rle.assign(p, p + rest);
  } else {
    return false;
  }
  uint32_t counted;
  if (rate == 0 || !CountCswPulses(rle, counted)) return false;
  MakeRecordingBlock(b, std::move(rle), counted, rate, false, pause);
  b.p[3] = compression;
  b.p[5] = len;
  return true;
}

// A count (one byte, or two with `wideCount`) and that many 16-bit words, as the pulse-sequence and
// call-sequence blocks hold them.
template <class T>
bool ReadWordList(ByteCursor& c, bool wideCount, std::vector<T>& out) {
  uint32_t n;
  if (!(wideCount ? c.U16(n) : c.U8(n)) || !c.Has(2 * static_cast<size_t>(n))) return false;
  out.resize(n);
  for (uint32_t k = 0; k < n; ++k) {
    uint32_t v;
    c.U16(v);
    out[k] = static_cast<T>(v);
  }
  return true;
}

bool ParseGeneralized(ByteCursor body, TapeBlock& b) {
  uint32_t pause, totp, npp, asp, totd, npd, asd;
  if (!body.U16(pause) || !body.U32(totp) || !body.U8(npp) || !body.U8(asp) || !body.U32(totd) ||
      !body.U8(npd) || !body.U8(asd)) {
    return false;
  }
  auto g = std::make_unique<GeneralizedData>();
  g->pilot.maxPulses = npp;
  g->pilot.symbols = asp ? asp : 256;
  g->data.maxPulses = npd;
  g->data.symbols = asd ? asd : 256;
  g->dataSymbols = totd;
  g->bitsPerSymbol = BitsPerSymbol(g->data.symbols);

  if (totp > 0) {
    if (!ReadAlphabet(body, g->pilot)) return false;
    const uint64_t dataTable =
        totd > 0 ? (1 + 2 * static_cast<uint64_t>(npd)) * g->data.symbols : 0;
    const uint64_t dataBytes = (static_cast<uint64_t>(totd) * g->bitsPerSymbol + 7) / 8;
    const uint64_t rest = dataTable + dataBytes;
    // As records: TOTP runs of three bytes each.
    std::vector<std::pair<uint8_t, uint16_t>> asRecords;
    ByteCursor recordCursor = body;
    bool recordsRead = recordCursor.Has(static_cast<uint64_t>(totp) * 3);
    if (recordsRead) {
      asRecords.reserve(totp);
      for (uint32_t k = 0; k < totp; ++k) {
        uint32_t sym, reps;
        recordCursor.U8(sym);
        recordCursor.U16(reps);
        asRecords.emplace_back(static_cast<uint8_t>(sym), static_cast<uint16_t>(reps));
      }
    }
    // As a symbol total: runs until their repetitions add up to TOTP.
    std::vector<std::pair<uint8_t, uint16_t>> asTotal;
    ByteCursor totalCursor = body;
    uint64_t total = 0;
    bool totalRead = true;
    while (total < totp) {
      uint32_t sym, reps;
      if (!totalCursor.U8(sym) || !totalCursor.U16(reps)) {
        totalRead = false;
        break;
      }
      asTotal.emplace_back(static_cast<uint8_t>(sym), static_cast<uint16_t>(reps));
      total += reps;
    }
    totalRead = totalRead && total == totp;
    if (recordsRead && (recordCursor.Left() == rest || !totalRead || totalCursor.Left() != rest)) {
      g->runs = std::move(asRecords);
      body = recordCursor;
    } else if (totalRead) {
      g->runs = std::move(asTotal);
      body = totalCursor;
    } else {
      return false;
    }
  }
  if (totd > 0) {
    if (!ReadAlphabet(body, g->data)) return false;
    const uint64_t dataBytes = (static_cast<uint64_t>(totd) * g->bitsPerSymbol + 7) / 8;
    const uint8_t* p = nullptr;
    if (!body.Bytes(dataBytes, p)) return false;
    SetData(b, p, static_cast<uint32_t>(dataBytes));
  }
  SetParams(b, {pause, totp, npp, asp, totd, npd, asd, g->bitsPerSymbol});
  b.state = totp > 0 ? kTapePilot : kTapeData;
  b.pulse = 0;
  b.gdb = std::move(g);
  return true;
}

// Reads the fields of one TZX block into `b` (whose ID is set). Returns false when the file ends
// inside the block.
bool ParseTzxBlock(ByteCursor& c, TapeBlock& b) {
  uint32_t v, len;
  const uint8_t* p = nullptr;
  switch (b.id) {
    case kBlockStandard: {
      uint32_t pause;
      if (!c.U16(pause) || !c.U16(len) || !c.Bytes(len, p)) return false;
      SetStandardBlock(b, p, len, pause);
      return true;
    }
    case kBlockTurbo: {
      uint32_t pilot, s1, s2, zero, one, count, bits, pause;
      if (!c.U16(pilot) || !c.U16(s1) || !c.U16(s2) || !c.U16(zero) || !c.U16(one) ||
          !c.U16(count) || !c.U8(bits) || !c.U16(pause) || !c.U24(len) || !c.Bytes(len, p)) {
        return false;
      }
      SetData(b, p, len);
      SetParams(b, {ClampUsedBits(bits), pilot, count, s1, s2, zero, one, pause});
      b.state = kTapePilot;
      b.pulse = pilot;
      return true;
    }
    case kBlockPureTone: {
      uint32_t pulse, count;
      if (!c.U16(pulse) || !c.U16(count)) return false;
      b.p[0] = pulse;
      b.p[1] = count;
      b.p[2] = 0;
      b.state = kTapePilot;
      b.pulse = pulse;
      return true;
    }
    case kBlockPulses: {
      if (!ReadWordList(c, false, b.pulses)) return false;
      const auto n = static_cast<uint32_t>(b.pulses.size());
      b.p[0] = n;
      b.p[2] = 1;
      b.state = kTapePilot;
      b.pulse = n ? b.pulses[0] : 0;
      return true;
    }
    case kBlockPureData: {
      uint32_t zero, one, bits, pause;
      if (!c.U16(zero) || !c.U16(one) || !c.U8(bits) || !c.U16(pause) || !c.U24(len) ||
          !c.Bytes(len, p)) {
        return false;
      }
      SetData(b, p, len);
      const uint32_t used = ClampUsedBits(bits);
      SetParams(b, {used, zero, one, 0, 2, 0x80, pause, LastByteEndMask(used)});
      b.state = kTapeData;
      b.pulse = FirstBitPulse(p, len, zero, one);
      return true;
    }
    case kBlockDirect: {
      uint32_t sample, pause, bits;
      if (!c.U16(sample) || !c.U16(pause) || !c.U8(bits) || !c.U24(len) || !c.Bytes(len, p)) {
        return false;
      }
      SetData(b, p, len);
      const uint32_t used = ClampUsedBits(bits);
      SetParams(b, {used, pause, sample, LastByteEndMask(used)});
      b.state = kTapeData;
      b.pulse = sample;
      return true;
    }
    case kBlockCsw: return ParseCswBlock(c, b);
    case kBlockGeneralized: {
      ByteCursor body;
      if (!c.U32(len) || !c.Sub(len, body)) return false;
      return ParseGeneralized(body, b);
    }
    case kBlockPause:
      if (!c.U16(v)) return false;
      b.p[0] = v;
      b.state = kTapePauseState;
      b.pulse = kTStatesPerMillisecond;
      return true;
    case kBlockGroupStart:
    case kBlockText: return c.U8(len) && c.Text(len, b.text, true);
    case kBlockMessage:
      if (!c.U8(v) || !c.U8(len) || !c.Text(len, b.text, true)) return false;
      b.p[1] = v;  // display time in seconds
      return true;
    case kBlockGroupEnd:
    case kBlockLoopEnd:
    case kBlockReturn: return true;
    case kBlockJump:
    case kBlockLoopStart:
      if (!c.U16(v)) return false;
      b.p[0] = v;
      return true;
    case kBlockCallSequence:
      if (!ReadWordList(c, true, b.calls)) return false;
      b.p[0] = static_cast<uint32_t>(b.calls.size());
      return true;
    case kBlockSelect:  // a menu of jumps for tape browsers; played as a plain step
      return c.U16(len) && c.Skip(len);
    case kBlockStop48: return c.U32(len) && c.Skip(len);
    case kBlockSignalLevel: {
      ByteCursor body;
      if (!c.U32(len) || !c.Sub(len, body)) return false;
      if (body.U8(v)) b.p[0] = v ? 1 : 0;
      return true;
    }
    case kBlockArchiveInfo: {
      ByteCursor body;
      uint32_t n = 0;
      if (!c.U16(len) || !c.Sub(len, body)) return false;
      b.p[0] = len;
      // The block's own length steps over it: a damaged list of texts keeps what it could read
      // and the tape goes on.
      body.U8(n);
      for (uint32_t k = 0; k < n; ++k) {
        uint32_t textId, textLen;
        std::string text;
        if (!body.U8(textId) || !body.U8(textLen) || !body.Text(textLen, text, false)) break;
        b.infos.emplace_back(static_cast<uint8_t>(textId), std::move(text));
      }
      b.p[1] = static_cast<uint32_t>(b.infos.size());
      return true;
    }
    case kBlockHardware: {
      uint32_t n;
      if (!c.U8(n) || !c.Has(3 * static_cast<size_t>(n))) return false;
      b.hardware.resize(n);
      for (uint32_t k = 0; k < n; ++k) {
        for (int f = 0; f < 3; ++f) {
          c.U8(v);
          b.hardware[k][f] = static_cast<uint8_t>(v);
        }
      }
      b.p[0] = n;
      return true;
    }
    case kBlockCustomInfo:
      if (!c.Text(16, b.text, false) || !c.U32(len) || !c.Bytes(len, p)) return false;
      b.text.resize(std::strlen(b.text.c_str()));
      SetData(b, p, len);
      b.p[1] = len;
      return true;
    case kBlockGlue: return c.Skip(9);
    case 0x34:  // emulation information: eight bytes of settings the deck does not use
      return c.Skip(8);
    case 0x40: {  // a snapshot stored on the tape: type, 3-byte length
      uint32_t type;
      return c.U8(type) && c.U24(len) && c.Skip(len);
    }
    default:
      // Every other block (the C64 blocks, CSW recordings and any ID added after this deck was
      // written) starts with a 4-byte length of the rest of the block, so it can be stepped over.
      return c.U32(len) && c.Skip(len);
  }
}

// What a block costs in memory beyond the file's bytes: its record and what it made while
// parsing (an unpacked recording, pulse and call lists, texts, generalized data tables).
size_t BlockCost(const TapeBlock& b) {
  size_t cost = sizeof(TapeBlock) + 2 * sizeof(void*);  // the record, its allocation and slot
  cost += b.owned.capacity() + b.pulses.capacity() * sizeof(uint16_t) +
          b.calls.capacity() * sizeof(int16_t) + b.text.capacity() +
          b.hardware.capacity() * sizeof(b.hardware[0]);
  for (const auto& info : b.infos) cost += sizeof(info) + info.second.capacity();
  if (b.gdb) {
    cost += sizeof(GeneralizedData) + b.gdb->runs.capacity() * sizeof(b.gdb->runs[0]);
    for (const GeneralizedData::Alphabet* a : {&b.gdb->pilot, &b.gdb->data})
      cost += a->flags.capacity() + a->pulses.capacity() * sizeof(uint16_t);
  }
  return cost;
}

// Counts what the blocks cost against the cap. A file of millions of empty blocks (a few
// megabytes of zeros as a TAP) would otherwise take gigabytes of records; no real tape comes
// near the cap.
class TapeBudget {
 public:
  bool Take(const TapeBlock& b) {
    used_ += BlockCost(b);
    return used_ <= kLargestTapeRecord;
  }

 private:
  size_t used_ = 0;
};

void ResetTape(TapeImage& tape) {
  tape.blocks.clear();
  tape.first = tape.last = tape.current = nullptr;
}

// Takes the last block back out of the list (a block that failed to parse).
void DropLastBlock(TapeImage& tape) {
  if (tape.blocks.empty()) return;
  TapeBlock* b = tape.blocks.back().get();
  tape.last = b->previous;
  if (tape.last) tape.last->next = nullptr;
  if (tape.first == b) tape.first = nullptr;
  tape.blocks.pop_back();
}

void TakeBytes(TapeImage& tape, std::span<const uint8_t> bytes) {
  if (bytes.data() != tape.bytes.data() || bytes.size() != tape.bytes.size()) {
    tape.bytes.assign(bytes.begin(), bytes.end());
  }
}

}  // namespace

const char* TapeBlockKindName(uint8_t id) {
  for (const KindEntry& k : kKinds) {
    if (k.id == id) return k.name;
  }
  return "";
}

TapeParseStatus TapeParseStatusOf(const FormatStatus& status) {
  switch (status.error) {
    case FormatError::None: return kTapeParseOk;
    case FormatError::TapeUnsupported: return kTapeParseUnsupported;
    default: return kTapeParseFailed;
  }
}

uint8_t LastByteEndMask(uint32_t usedBits) {
  static constexpr uint8_t kMasks[8] = {128, 64, 32, 16, 8, 4, 2, 1};
  return kMasks[ClampUsedBits(usedBits) - 1];
}

TapeBlock* NewTapeBlock(TapeImage& tape, uint8_t id) {
  auto block = std::make_unique<TapeBlock>();
  TapeBlock* b = block.get();
  b->id = id;
  b->index = static_cast<uint32_t>(tape.blocks.size());
  b->previous = tape.last;
  if (tape.last) {
    tape.last->next = b;
  } else {
    tape.first = b;
  }
  tape.last = b;
  tape.blocks.push_back(std::move(block));
  return b;
}

FormatStatus ParseTAP(TapeImage& tape, std::span<const uint8_t> bytes) {
  try {
    ResetTape(tape);
    TakeBytes(tape, bytes);
    tape.isTzx = false;
    ByteCursor c(tape.bytes);
    TapeBudget budget;
    while (!c.AtEnd()) {
      uint32_t len;
      const uint8_t* p;
      if (!c.U16(len) || !c.Bytes(len, p)) {
        // A length that runs past the end of the file: nothing of it is taken.
        return {FormatError::TapeBlock, kBlockStandard};
      }
      TapeBlock* b = NewTapeBlock(tape, kBlockStandard);
      SetStandardBlock(*b, p, len, 1000);
      if (!budget.Take(*b)) {
        ResetTape(tape);
        return {FormatError::OutOfMemory, 0};
      }
    }
    return {};
  } catch (const std::bad_alloc&) {
    return {FormatError::OutOfMemory, 0};
  }
}

FormatStatus ParseTZX(TapeImage& tape, std::span<const uint8_t> bytes) {
  ResetTape(tape);
  tape.isTzx = true;
  if (bytes.size() < 10) return {FormatError::TapeTooShort, 0};
  if (std::memcmp(bytes.data(), kTzxSignature, sizeof kTzxSignature) != 0) {
    return {FormatError::TapeSignature, 0};
  }
  uint8_t id = 0;
  try {
    TakeBytes(tape, bytes);
    ByteCursor c(tape.bytes);
    c.Skip(10);  // signature and version (the version is not checked)
    TapeBudget budget;
    while (!c.AtEnd()) {
      uint32_t v;
      c.U8(v);
      id = static_cast<uint8_t>(v);
      TapeBlock* b = NewTapeBlock(tape, id);
      if (!ParseTzxBlock(c, *b)) {
        DropLastBlock(tape);
        // A block of no known kind that runs off the end cannot be followed: the deck plays up
        // to it. A known kind cut short is a damaged file.
        const bool known = *TapeBlockKindName(id) != 0;
        return {known ? FormatError::TapeBlock : FormatError::TapeUnsupported, id};
      }
      if (!budget.Take(*b)) {
        ResetTape(tape);
        return {FormatError::OutOfMemory, 0};
      }
    }
    return {};
  } catch (const std::bad_alloc&) {
    DropLastBlock(tape);
    return {FormatError::OutOfMemory, id};
  }
}

}  // namespace orvo
