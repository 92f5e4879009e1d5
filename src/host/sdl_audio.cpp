#include "host/sdl_audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace orvo {

namespace {

// SDL resamples whatever rate it is given to the hardware's own.
constexpr uint32_t kSdlMaxSampleRate = 192000;

// SDL takes samples in blocks of a power of two; blocks of at most 12.5 ms (well under a frame
// of 20 ms) keep the play position moving in small steps.
uint16_t CallbackSamples(uint32_t rate) {
  uint32_t samples = 64;
  while (samples * 2 <= rate / 80 && samples < 4096) samples *= 2;
  return static_cast<uint16_t>(samples);
}

}  // namespace

SdlAudioDevice::~SdlAudioDevice() {
  Close();
}

bool SdlAudioDevice::Open() {
  if (subsystem_) return true;
  // The program handles its own signals.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    lastError_ = SDL_GetError();
    return false;
  }
  subsystem_ = true;
  return true;
}

uint32_t SdlAudioDevice::MaxSampleRate() {
  return kSdlMaxSampleRate;
}

bool SdlAudioDevice::CreateRing(const WaveFormat& format, uint32_t bytes) {
  if (!subsystem_ || bytes == 0) return false;
  CloseRing();
  // Silence: 0 in signed 16-bit samples, 0x80 in unsigned 8-bit ones.
  silence_ = format.bitsPerSample == 16 ? 0 : 0x80;
  ring_.assign(bytes, silence_);
  position_.store(0, std::memory_order_release);

  SDL_AudioSpec want;
  SDL_zero(want);
  want.freq = static_cast<int>(format.samplesPerSecond);
  // The core writes 16-bit samples signed and 8-bit ones unsigned, as WAV files hold them.
  want.format = format.bitsPerSample == 16 ? AUDIO_S16LSB : AUDIO_U8;
  want.channels = static_cast<Uint8>(format.channels);
  want.samples = CallbackSamples(format.samplesPerSecond);
  want.callback = &SdlAudioDevice::Callback;
  want.userdata = this;
  SDL_AudioSpec have;
  // No changes allowed: SDL converts to whatever the hardware plays.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    lastError_ = SDL_GetError();
    ring_.clear();
    return false;
  }
  return true;  // opened paused
}

bool SdlAudioDevice::ClearRing(uint8_t value) {
  if (device_ == 0) return false;
  SDL_LockAudioDevice(device_);
  std::fill(ring_.begin(), ring_.end(), value);
  SDL_UnlockAudioDevice(device_);
  return true;
}

RingWriteResult SdlAudioDevice::WriteRing(uint32_t offset, const uint8_t* data, uint32_t bytes) {
  if (device_ == 0 || ring_.empty()) return RingWriteResult::kFailed;
  const uint32_t size = static_cast<uint32_t>(ring_.size());
  offset %= size;
  bytes = std::min(bytes, size);
  const uint32_t first = std::min(bytes, size - offset);
  SDL_LockAudioDevice(device_);
  std::memcpy(ring_.data() + offset, data, first);
  std::memcpy(ring_.data(), data + first, bytes - first);
  SDL_UnlockAudioDevice(device_);
  return RingWriteResult::kOk;
}

bool SdlAudioDevice::Play() {
  if (device_ == 0) return false;
  SDL_LockAudioDevice(device_);
  position_.store(0, std::memory_order_release);
  SDL_UnlockAudioDevice(device_);
  SDL_PauseAudioDevice(device_, 0);
  return SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING;
}

void SdlAudioDevice::Stop() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

void SdlAudioDevice::CloseRing() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);  // waits for a running callback to finish
    device_ = 0;
  }
  ring_.clear();
  position_.store(0, std::memory_order_release);
}

void SdlAudioDevice::Close() {
  CloseRing();
  if (subsystem_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
  }
}

const char* SdlAudioDevice::DriverName() const {
  if (!subsystem_) return "";
  const char* name = SDL_GetCurrentAudioDriver();
  return name ? name : "";
}

// Runs on SDL's audio thread with the device lock held.
void SdlAudioDevice::Callback(void* userdata, uint8_t* stream, int len) {
  auto* self = static_cast<SdlAudioDevice*>(userdata);
  const uint32_t size = static_cast<uint32_t>(self->ring_.size());
  uint32_t pos = self->position_.load(std::memory_order_relaxed);
  uint32_t left = static_cast<uint32_t>(len);
  while (left > 0 && size > 0) {
    const uint32_t chunk = std::min(left, size - pos);
    std::memcpy(stream, self->ring_.data() + pos, chunk);
    stream += chunk;
    left -= chunk;
    pos += chunk;
    if (pos == size) pos = 0;
  }
  if (left > 0) std::memset(stream, self->silence_, left);
  self->position_.store(pos, std::memory_order_release);
}

}  // namespace orvo
