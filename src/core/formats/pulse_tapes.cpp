#include "formats/pulse_tapes.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "formats/byte_cursor.h"
#include "formats/csw_format.h"

namespace orvo {

namespace {

FormatStatus Damaged() {
  return {FormatError::TapeRecording, 0};
}

void ResetTape(TapeImage& tape) {
  tape.blocks.clear();
  tape.first = tape.last = tape.current = nullptr;
  tape.isTzx = false;
}

bool TagIs(const uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

// Builds a pulse stream from levels held for lengths of time: a length of 0 only changes the
// level, and two stretches at the same level join into one pulse.
class PulseBuilder {
 public:
  explicit PulseBuilder(bool high) : level_(high), firstHigh_(high) {}

  // Holds the current level for `length` units, then changes it.
  void Pulse(uint32_t length) {
    Hold(length);
    level_ = !level_;
  }
  void Hold(uint32_t length) {
    if (length == 0) return;
    if (open_ != 0 && openLevel_ == level_) {
      open_ += length;
      return;
    }
    Flush();
    if (pulses_ == 0 && open_ == 0) firstHigh_ = level_;
    open_ = length;
    openLevel_ = level_;
  }
  void Finish() { Flush(); }

  std::vector<uint8_t> rle;
  uint32_t Pulses() const { return pulses_; }
  bool FirstHigh() const { return firstHigh_; }

 private:
  void Flush() {
    if (open_ == 0) return;
    // Pulses over 32 bits of time are split into parts at the same level... which would read back
    // as separate pulses; lengths are capped instead (no tape holds a level for 20 minutes).
    AppendCswPulse(rle, static_cast<uint32_t>(open_ > UINT32_MAX ? UINT32_MAX : open_));
    ++pulses_;
    open_ = 0;
  }

  bool level_;
  bool firstHigh_;
  bool openLevel_ = false;
  uint64_t open_ = 0;
  uint32_t pulses_ = 0;
};

void AddBuilt(TapeImage& tape, PulseBuilder& b, uint32_t rate) {
  b.Finish();
  if (b.Pulses() == 0) return;
  const uint32_t pulses = b.Pulses();
  const bool high = b.FirstHigh();
  AddRecordingBlock(tape, std::move(b.rle), pulses, rate, high, 0);
}

// ---- PZX blocks ----

bool ReadPzxPulses(ByteCursor& c, TapeImage& tape) {
  PulseBuilder b(false);  // a pulse sequence starts low
  while (!c.AtEnd()) {
    uint32_t count = 1, duration;
    if (!c.U16(duration)) return false;
    if (duration > 0x8000) {
      count = duration & 0x7FFF;
      if (!c.U16(duration)) return false;
    }
    if (duration >= 0x8000) {
      uint32_t low;
      if (!c.U16(low)) return false;
      duration = ((duration & 0x7FFF) << 16) | low;
    }
    for (uint32_t k = 0; k < count; ++k) b.Pulse(duration);
  }
  AddBuilt(tape, b, kTapeClockHz);
  return true;
}

bool ReadPzxData(ByteCursor& c, TapeImage& tape) {
  uint32_t bits, tail, n0, n1;
  if (!c.U32(bits) || !c.U16(tail) || !c.U8(n0) || !c.U8(n1)) return false;
  std::vector<uint32_t> s[2];
  for (int k = 0; k < 2; ++k) {
    for (uint32_t i = 0, n = k ? n1 : n0; i < n; ++i) {
      uint32_t v;
      if (!c.U16(v)) return false;
      s[k].push_back(v);
    }
  }
  const uint32_t count = bits & 0x7FFFFFFF;
  const uint8_t* data;
  if (!c.Bytes((static_cast<size_t>(count) + 7) / 8, data)) return false;
  PulseBuilder b((bits & 0x80000000u) != 0);
  for (uint32_t i = 0; i < count; ++i) {
    const int bit = (data[i / 8] >> (7 - i % 8)) & 1;
    for (uint32_t d : s[bit]) b.Pulse(d);
  }
  if (tail) b.Pulse(tail);
  AddBuilt(tape, b, kTapeClockHz);
  return true;
}

}  // namespace

FormatStatus ParseWAV(TapeImage& tape, std::span<const uint8_t> bytes, bool invertPolarity) {
  ResetTape(tape);
  if (bytes.size() < 12) return {FormatError::TapeTooShort, 0};
  if (!TagIs(bytes.data(), "RIFF") || !TagIs(bytes.data() + 8, "WAVE")) {
    return {FormatError::TapeSignature, 0};
  }
  ByteCursor c(bytes);
  c.Skip(12);
  uint32_t format = 0, channels = 0, rate = 0, bits = 0;
  const uint8_t* samples = nullptr;
  size_t dataSize = 0;
  while (!c.AtEnd() && samples == nullptr) {
    const uint8_t* tag;
    uint32_t size, skip;
    if (!c.Bytes(4, tag) || !c.U32(size)) return Damaged();
    ByteCursor body;
    // A data chunk that claims more than the file holds is read as far as it goes (recorders
    // that were stopped leave such files).
    if (TagIs(tag, "data") && !c.Has(size)) size = static_cast<uint32_t>(c.Left());
    if (!c.Sub(size, body)) return Damaged();
    if (size & 1) c.Skip(1);
    if (TagIs(tag, "fmt ")) {
      if (!body.U16(format) || !body.U16(channels) || !body.U32(rate) || !body.U32(skip) ||
          !body.U16(skip) || !body.U16(bits)) {
        return Damaged();
      }
    } else if (TagIs(tag, "data")) {
      body.Bytes(size, samples);
      dataSize = size;
    }
  }
  if (format != 1 || channels < 1 || channels > 2 || rate == 0 || (bits != 8 && bits != 16) ||
      samples == nullptr) {
    return Damaged();
  }
  const size_t frameBytes = channels * bits / 8;
  const size_t frames = dataSize / frameBytes;
  // Each frame as one signed value: the channels summed.
  auto value = [&](size_t i) {
    int32_t sum = 0;
    const uint8_t* f = samples + i * frameBytes;
    for (uint32_t ch = 0; ch < channels; ++ch) {
      sum += bits == 8 ? f[ch] - 128 : static_cast<int16_t>(f[2 * ch] | (f[2 * ch + 1] << 8));
    }
    return sum;
  };
  // The threshold is the recording's mean level (a rip often carries an offset); the hysteresis,
  // an eighth of the way to the peaks, keeps hiss from making edges.
  int64_t total = 0;
  int32_t lo = INT32_MAX, hi = INT32_MIN;
  for (size_t i = 0; i < frames; ++i) {
    const int32_t v = value(i);
    total += v;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  try {
    tape.bytes.assign(bytes.begin(), bytes.end());
    if (frames == 0) return {};
    const int64_t mean = total / static_cast<int64_t>(frames);
    const int64_t hysteresis = (hi - lo) / 16;
    bool high = value(0) > mean;
    PulseBuilder b(high != invertPolarity);
    // A signal that falls silent (stays inside the hysteresis band for 2 ms) has ended its last
    // pulse where it fell silent: the edge a recorder's coupling swallows.
    const uint32_t quiet = std::max<uint32_t>(rate / 500, 2);
    uint32_t run = 0, silent = 0;
    for (size_t i = 0; i < frames; ++i) {
      const int64_t v = value(i);
      const bool flips = high ? v < mean - hysteresis : v > mean + hysteresis;
      silent = (v >= mean - hysteresis && v <= mean + hysteresis) ? silent + 1 : 0;
      if (flips) {
        b.Pulse(run);
        run = 0;
        high = !high;
      } else if (silent == quiet && run >= quiet) {
        b.Pulse(run - (quiet - 1));
        run = quiet - 1;
        high = !high;
      }
      ++run;
    }
    b.Hold(run);
    AddBuilt(tape, b, rate);
    if (!tape.blocks.empty()) tape.blocks.back()->p[5] = static_cast<uint32_t>(bytes.size());
  } catch (const std::bad_alloc&) {
    ResetTape(tape);
    return {FormatError::OutOfMemory, 0};
  }
  return {};
}

FormatStatus ParsePZX(TapeImage& tape, std::span<const uint8_t> bytes) {
  ResetTape(tape);
  if (bytes.size() < 8) return {FormatError::TapeTooShort, 0};
  if (!TagIs(bytes.data(), "PZXT")) return {FormatError::TapeSignature, 0};
  try {
    tape.bytes.assign(bytes.begin(), bytes.end());
    ByteCursor c(tape.bytes);
    while (!c.AtEnd()) {
      const uint8_t* tag;
      uint32_t size;
      ByteCursor body;
      if (!c.Bytes(4, tag) || !c.U32(size) || !c.Sub(size, body)) return Damaged();
      bool ok = true;
      if (TagIs(tag, "PULS")) {
        ok = ReadPzxPulses(body, tape);
      } else if (TagIs(tag, "DATA")) {
        ok = ReadPzxData(body, tape);
      } else if (TagIs(tag, "PAUS")) {
        uint32_t v;
        ok = body.U32(v);
        if (ok && (v & 0x7FFFFFFF) != 0) {
          PulseBuilder b((v & 0x80000000u) != 0);
          b.Hold(v & 0x7FFFFFFF);
          AddBuilt(tape, b, kTapeClockHz);
        }
      } else if (TagIs(tag, "STOP")) {
        uint32_t flags = 0;
        body.U16(flags);
        TapeBlock* b = NewTapeBlock(tape, flags == 1 ? kBlockStop48 : kBlockPause);
        b->state = kTapePauseState;  // a pause of 0 ms: the tape stops
      } else if (TagIs(tag, "BRWS")) {
        TapeBlock* b = NewTapeBlock(tape, kBlockText);
        body.Text(body.Left(), b->text, true);
      }
      if (!ok) return Damaged();
    }
  } catch (const std::bad_alloc&) {
    return {FormatError::OutOfMemory, 0};
  }
  return {};
}

}  // namespace orvo
