#pragma once
// CSW ("Compressed Square Wave") tape recordings, and the pulse stream they share with the TZX
// CSW block, WAV and PZX tapes.
//
// A CSW file is a 23-byte signature ("Compressed Square Wave" and 0x1A), a version, and a header
// whose shape depends on it: version 1 has a 16-bit sample rate, the compression (1, RLE) and the
// flags, then the data at offset 0x20; version 2 has a 32-bit rate, the number of pulses, the
// compression (1 RLE, 2 Z-RLE: the RLE stream packed with zlib), the flags, the length of a header
// extension and a 16-byte encoder name, then the extension and the data. Bit 0 of the flags is the
// level of the first pulse. The RLE stream gives each pulse's length in samples: one byte, or a 0
// and a 32-bit length for pulses over 255 samples.
#include <cstdint>
#include <span>
#include <vector>

#include "formats/format_status.h"
#include "formats/tape_image.h"

namespace orvo {

constexpr size_t kCswSignatureSize = 23;
constexpr uint32_t kTapeClockHz = 3500000;  // the T-states of tape timings

struct CswRecording {
  uint8_t major = 0, minor = 0;
  uint32_t sampleRate = 0;
  uint8_t compression = 1;  // 1 RLE, 2 Z-RLE
  bool initialHigh = false;
  uint32_t pulses = 0;       // pulses in the stream
  std::vector<uint8_t> rle;  // the unpacked RLE stream
};

// Reads a whole CSW file. Errors: TapeTooShort (no room for the signature), TapeSignature (not a
// CSW), TapeRecording (a version, compression or flag value no CSW has, a header or stream that
// ends early, a long pulse under 256 samples, a pulse count that differs from the header's).
FormatStatus ReadCsw(std::span<const uint8_t> file, CswRecording& out);

// The next pulse of an RLE stream at `pos` (moved past it); false at the end or on a damaged
// pulse.
bool NextCswPulse(std::span<const uint8_t> rle, size_t& pos, uint32_t& samples);
// Appends a pulse of `samples` samples (at least 1) to an RLE stream.
void AppendCswPulse(std::vector<uint8_t>& rle, uint32_t samples);
// Checks an RLE stream whole: the number of pulses, or false when it is damaged.
bool CountCswPulses(std::span<const uint8_t> rle, uint32_t& pulses);

// T-states from the start of a recording at `rate` samples a second to its sample `sample`,
// exact to the T-state, so that pulse lengths taken as differences never drift.
inline uint64_t CswSampleTime(uint64_t sample, uint32_t rate) {
  return rate ? sample * kTapeClockHz / rate : 0;
}

// Appends a recording block (ID 0x18) that owns `rle`: p0 sample rate, p1 first level (1 high),
// p2 pause after it in ms, p3 compression, p4 T-states per sample (rounded), p5 the size the
// browser shows, p6 number of pulses.
TapeBlock* AddRecordingBlock(TapeImage& tape, std::vector<uint8_t> rle, uint32_t pulses,
                             uint32_t rate, bool initialHigh, uint32_t pauseMs);

// The same fields for a block already in a list.
void MakeRecordingBlock(TapeBlock& b, std::vector<uint8_t> rle, uint32_t pulses, uint32_t rate,
                        bool initialHigh, uint32_t pauseMs);

// Fills `tape` (emptied first) with the one recording block of a CSW file. `invertPolarity`
// swaps the first level (the "Polarity" option). Errors as ReadCsw.
FormatStatus ParseCSW(TapeImage& tape, std::span<const uint8_t> bytes, bool invertPolarity);

// A CSW version 2 file (Z-RLE) of a pulse stream.
std::vector<uint8_t> WriteCSW(std::span<const uint8_t> rle, uint32_t pulses, uint32_t rate,
                              bool initialHigh);

// The recording played one sample at a time, as a sampling tape reader would see it.
class CswReader {
 public:
  // False (and Version() 0) when the bytes are not a CSW file this reader can play.
  bool Open(std::span<const uint8_t> file);
  // Major version * 256 + minor; 0 when nothing is open.
  uint32_t Version() const { return version_; }
  // The length of one sample in T-states, rounded.
  uint32_t PulsePeriod() const;
  // The next sample: 0 or 1; 2 once the recording has ended.
  uint32_t ReadPulseValue();

 private:
  CswRecording rec_;
  uint32_t version_ = 0;
  size_t pos_ = 0;
  uint32_t left_ = 0;  // samples left in the current pulse
  uint32_t level_ = 0;
  bool started_ = false;
};

}  // namespace orvo
