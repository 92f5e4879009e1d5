#pragma once
// WAV (RIFF PCM) output of the generated samples, for the headless runner.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sound/audio_device.h"

namespace orvo {

// A whole WAV file: the 44-byte header and the samples. 8-bit samples are unsigned as WAV wants
// them; the 16-bit unsigned magnitudes become WAV's signed samples (top bit flipped), so the
// waveform is unchanged.
std::vector<uint8_t> BuildWavFile(const WaveFormat& format, std::span<const uint8_t> samples);

// Writes `bytes` to `path` through a temporary file beside it, so a failed write leaves any old
// file alone. False (with `error` set) on failure.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error);

// Collects every finished frame in memory.
class WavCapture final : public SoundFrameSink {
 public:
  void TakeFrame(const uint8_t* data, uint32_t bytes) override {
    samples_.insert(samples_.end(), data, data + bytes);
  }
  const std::vector<uint8_t>& Samples() const { return samples_; }

 private:
  std::vector<uint8_t> samples_;
};

}  // namespace orvo
