#include "formats/csw_format.h"

#include <cstring>
#include <new>

#include "formats/byte_cursor.h"
#include "formats/inflate.h"

namespace orvo {

namespace {

constexpr uint8_t kCswSignature[kCswSignatureSize] = {'C', 'o', 'm', 'p', 'r', 'e', 's', 's',
                                                      'e', 'd', ' ', 'S', 'q', 'u', 'a', 'r',
                                                      'e', ' ', 'W', 'a', 'v', 'e', 0x1A};
// No tape comes near this many bytes of unpacked pulses (over an hour at 192 kHz).
constexpr size_t kLargestStream = 256u << 20;

FormatStatus Damaged() {
  return {FormatError::TapeRecording, 0};
}

}  // namespace

bool NextCswPulse(std::span<const uint8_t> rle, size_t& pos, uint32_t& samples) {
  if (pos >= rle.size()) return false;
  if (rle[pos] != 0) {
    samples = rle[pos++];
    return true;
  }
  if (rle.size() - pos < 5) return false;
  samples = static_cast<uint32_t>(rle[pos + 1] | (rle[pos + 2] << 8) | (rle[pos + 3] << 16) |
                                  (static_cast<uint32_t>(rle[pos + 4]) << 24));
  if (samples < 256) return false;  // a long form that a short one would hold: not a CSW
  pos += 5;
  return true;
}

void AppendCswPulse(std::vector<uint8_t>& rle, uint32_t samples) {
  if (samples == 0) samples = 1;
  if (samples < 256) {
    rle.push_back(static_cast<uint8_t>(samples));
    return;
  }
  rle.push_back(0);
  for (int k = 0; k < 4; ++k) rle.push_back(static_cast<uint8_t>(samples >> (8 * k)));
}

bool CountCswPulses(std::span<const uint8_t> rle, uint32_t& pulses) {
  size_t pos = 0;
  uint32_t samples;
  pulses = 0;
  while (pos < rle.size()) {
    if (!NextCswPulse(rle, pos, samples)) return false;
    ++pulses;
  }
  return true;
}

FormatStatus ReadCsw(std::span<const uint8_t> file, CswRecording& out) {
  if (file.size() < kCswSignatureSize + 2) return {FormatError::TapeTooShort, 0};
  if (std::memcmp(file.data(), kCswSignature, kCswSignatureSize) != 0) {
    return {FormatError::TapeSignature, 0};
  }
  CswRecording r;
  ByteCursor c(file);
  c.Skip(kCswSignatureSize);
  uint32_t major, minor, rate, compression, flags, pulses = 0;
  c.U8(major);
  c.U8(minor);
  size_t dataOffset = 0;
  if (major == 1) {
    if (!c.U16(rate) || !c.U8(compression) || !c.U8(flags) || !c.Skip(3)) return Damaged();
    if (compression != 1) return Damaged();  // version 1 knows RLE only
  } else if (major == 2 && minor <= 1) {
    uint32_t extension;
    if (!c.U32(rate) || !c.U32(pulses) || !c.U8(compression) || !c.U8(flags) || !c.U8(extension) ||
        !c.Skip(16) || !c.Skip(extension)) {
      return Damaged();
    }
    if (compression != 1 && compression != 2) return Damaged();
  } else {
    return Damaged();
  }
  // Bits 1 and 2 of the flags are taken by later revisions; any higher bit is no CSW's.
  if (rate == 0 || (flags & 0xF8) != 0) return Damaged();
  dataOffset = c.Offset();
  try {
    const std::span<const uint8_t> data = file.subspan(dataOffset);
    // A recording of no pulses may carry no compressed stream at all: an empty tape.
    if (compression == 2 && !(major == 2 && pulses == 0 && data.empty())) {
      if (!InflateBytes(data, r.rle, kLargestStream, false)) return Damaged();
    } else {
      r.rle.assign(data.begin(), data.end());
    }
  } catch (const std::bad_alloc&) {
    return {FormatError::OutOfMemory, 0};
  }
  uint32_t counted;
  if (!CountCswPulses(r.rle, counted)) return Damaged();
  if (major == 2 && counted != pulses) return Damaged();
  r.major = static_cast<uint8_t>(major);
  r.minor = static_cast<uint8_t>(minor);
  r.sampleRate = rate;
  r.compression = static_cast<uint8_t>(compression);
  r.initialHigh = (flags & 1) != 0;
  r.pulses = counted;
  out = std::move(r);
  return {};
}

TapeBlock* AddRecordingBlock(TapeImage& tape, std::vector<uint8_t> rle, uint32_t pulses,
                             uint32_t rate, bool initialHigh, uint32_t pauseMs) {
  TapeBlock* b = NewTapeBlock(tape, kBlockCsw);
  MakeRecordingBlock(*b, std::move(rle), pulses, rate, initialHigh, pauseMs);
  return b;
}

void MakeRecordingBlock(TapeBlock& block, std::vector<uint8_t> rle, uint32_t pulses, uint32_t rate,
                        bool initialHigh, uint32_t pauseMs) {
  TapeBlock* b = &block;
  b->id = kBlockCsw;
  b->spare = kBlockCsw;
  b->owned = std::move(rle);
  b->data = b->owned.empty() ? nullptr : b->owned.data();
  b->length = static_cast<uint32_t>(b->owned.size());
  b->p[0] = rate;
  b->p[1] = initialHigh ? 1 : 0;
  b->p[2] = pauseMs;
  b->p[3] = 1;
  b->p[4] = rate ? (kTapeClockHz + rate / 2) / rate : 0;
  b->p[5] = b->length;
  b->p[6] = pulses;
  b->state = kTapeData;
  size_t pos = 0;
  uint32_t first = 0;
  b->pulse =
      NextCswPulse(b->owned, pos, first) ? static_cast<uint32_t>(CswSampleTime(first, rate)) : 0;
}

FormatStatus ParseCSW(TapeImage& tape, std::span<const uint8_t> bytes, bool invertPolarity) {
  tape.blocks.clear();
  tape.first = tape.last = tape.current = nullptr;
  tape.isTzx = false;
  CswRecording rec;
  if (const FormatStatus s = ReadCsw(bytes, rec); !s.Ok()) return s;
  try {
    tape.bytes.assign(bytes.begin(), bytes.end());
    // A recording without a pulse is an empty tape, as an empty TAP file is.
    if (rec.pulses == 0) return {};
    TapeBlock* b = AddRecordingBlock(tape, std::move(rec.rle), rec.pulses, rec.sampleRate,
                                     rec.initialHigh != invertPolarity, 0);
    b->p[3] = rec.compression;
    b->p[5] = static_cast<uint32_t>(bytes.size() - kCswSignatureSize);
  } catch (const std::bad_alloc&) {
    tape.blocks.clear();
    tape.first = tape.last = nullptr;
    return {FormatError::OutOfMemory, kBlockCsw};
  }
  return {};
}

std::vector<uint8_t> WriteCSW(std::span<const uint8_t> rle, uint32_t pulses, uint32_t rate,
                              bool initialHigh) {
  std::vector<uint8_t> out(kCswSignature, kCswSignature + kCswSignatureSize);
  out.push_back(2);
  out.push_back(0);
  for (uint32_t v : {rate, pulses}) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  out.push_back(2);  // Z-RLE
  out.push_back(initialHigh ? 1 : 0);
  out.push_back(0);  // no header extension
  const char app[16] = "Orvo";
  out.insert(out.end(), app, app + 16);
  const std::vector<uint8_t> packed = DeflateBytes(rle);
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

bool CswReader::Open(std::span<const uint8_t> file) {
  *this = CswReader();
  if (!ReadCsw(file, rec_).Ok()) return false;
  version_ = (static_cast<uint32_t>(rec_.major) << 8) | rec_.minor;
  return true;
}

uint32_t CswReader::PulsePeriod() const {
  const uint32_t rate = rec_.sampleRate;
  return rate ? (kTapeClockHz + rate / 2) / rate : 0;
}

uint32_t CswReader::ReadPulseValue() {
  if (version_ == 0) return 2;
  while (left_ == 0) {
    uint32_t samples;
    if (!NextCswPulse(rec_.rle, pos_, samples)) return 2;
    level_ = started_ ? level_ ^ 1 : (rec_.initialHigh ? 1 : 0);
    started_ = true;
    left_ = samples;
  }
  --left_;
  return level_;
}

}  // namespace orvo
