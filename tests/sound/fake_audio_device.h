#pragma once
// A sound device for tests: records what the core does to it, fails on request, and plays its
// ring at a rate tied to the test's fake clock.
#include <cstdint>
#include <string>
#include <vector>

#include "sound/audio_device.h"
#include "support/recording_host.h"

namespace orvo::test {

class FakeAudioDevice final : public AudioDevice {
 public:
  explicit FakeAudioDevice(FakeClock* clock = nullptr) : clock_(clock) {}

  bool Open() override { return Log("open", failOpen); }
  bool SetPriority() override { return Log("priority", failPriority); }
  bool CreatePrimary() override { return Log("primary", failPrimary); }
  void SetPrimaryFormat(const WaveFormat& f) override { primaryFormat = f; }
  uint32_t MaxSampleRate() override { return maxRate; }
  bool Supports16Bit() override { return has16Bit; }
  bool CreateRing(const WaveFormat& f, uint32_t bytes) override {
    if (!Log("ring", failRing)) return false;
    format = f;
    ring.assign(bytes, 0xAA);
    return true;
  }
  bool ClearRing(uint8_t value) override {
    calls.push_back("clear");
    ring.assign(ring.size(), value);
    return true;
  }
  RingWriteResult WriteRing(uint32_t offset, const uint8_t* data, uint32_t bytes) override {
    writeOffsets.push_back(offset);
    if (lostWrites > 0) {
      --lostWrites;
      return RingWriteResult::kLost;
    }
    for (uint32_t i = 0; i < bytes; ++i) ring[(offset + i) % ring.size()] = data[i];
    return RingWriteResult::kOk;
  }
  void Restore() override { calls.push_back("restore"); }
  bool Play() override {
    if (!Log("play", failPlay)) return false;
    playing = true;
    playStartNs = clock_ ? clock_->now_ns : 0;
    startPosition = 0;
    return true;
  }
  void Stop() override {
    calls.push_back("stop");
    if (playing && clock_) startPosition = WritePosition();
    playing = false;
  }
  // While playing, the position moves at `bytesPerMs` with the fake clock.
  uint32_t WritePosition() override {
    ++positionReads;
    if (ring.empty()) return 0;
    uint64_t pos = startPosition;
    if (playing && clock_) pos += (clock_->now_ns - playStartNs) / 1000000u * bytesPerMs;
    return static_cast<uint32_t>(pos % ring.size());
  }
  void Close() override {
    calls.push_back("close");
    ring.clear();
    playing = false;
  }

  bool failOpen = false, failPriority = false, failPrimary = false, failRing = false,
       failPlay = false;
  int lostWrites = 0;
  uint32_t maxRate = 44100;
  bool has16Bit = true;
  uint32_t bytesPerMs = 0;
  bool playing = false;
  WaveFormat format, primaryFormat;
  std::vector<uint8_t> ring;
  std::vector<uint32_t> writeOffsets;
  std::vector<std::string> calls;
  int positionReads = 0;

 private:
  bool Log(const char* what, bool fail) {
    calls.push_back(what);
    return !fail;
  }
  FakeClock* clock_;
  uint64_t playStartNs = 0;
  uint32_t startPosition = 0;
};

// A RecordingHost that hands out a device.
class AudioHost final : public Host {
 public:
  void ShowMessage(CaptionId caption, MessageId message, std::string_view detail) override {
    inner.ShowMessage(caption, message, detail);
  }
  bool AskYesNo(std::string_view caption, std::string_view text) override {
    return inner.AskYesNo(caption, text);
  }
  Clock& GetClock() override { return inner.clock; }
  AudioDevice* Audio() override { return device; }

  RecordingHost inner;
  AudioDevice* device = nullptr;
};

}  // namespace orvo::test
