#pragma once
// The sound device on SDL2 audio. Orvo keeps the ring of eight frame segments here; SDL's audio
// callback plays it round and round and advances the play position, which the core's pacing
// wait reads. Writes into the ring hold SDL's device lock, so the callback never sees a
// half-copied segment.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/audio_device.h"

namespace orvo {

class SdlAudioDevice final : public AudioDevice {
 public:
  SdlAudioDevice() = default;
  ~SdlAudioDevice() override;
  SdlAudioDevice(const SdlAudioDevice&) = delete;
  SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

  bool Open() override;
  std::string LastError() const override { return lastError_; }
  uint32_t MaxSampleRate() override;
  bool Supports16Bit() override { return true; }
  bool CreateRing(const WaveFormat& format, uint32_t bytes) override;
  bool ClearRing(uint8_t value) override;
  RingWriteResult WriteRing(uint32_t offset, const uint8_t* data, uint32_t bytes) override;
  bool Play() override;
  void Stop() override;
  uint32_t WritePosition() override { return position_.load(std::memory_order_acquire); }
  void Close() override;

  // The SDL driver in use ("pulseaudio", "alsa", "dummy", ...), or "" when closed.
  const char* DriverName() const;

 private:
  static void Callback(void* self, uint8_t* stream, int len);
  void CloseRing();

  bool subsystem_ = false;  // SDL's audio subsystem is initialised by us
  uint32_t device_ = 0;     // SDL_AudioDeviceID, 0 when there is no ring
  std::vector<uint8_t> ring_;
  std::string lastError_;
  uint8_t silence_ = 0;  // the format's silent byte
  std::atomic<uint32_t> position_{0};
};

}  // namespace orvo
