#pragma once
// A sound device for tests: records the calls, fails on request, and plays its ring at a rate
// tied to the test's fake clock.
#include <string>
#include <vector>

#include "sound/audio_device.h"
#include "support/recording_host.h"

namespace orvo::test {

class FakeAudioDevice final : public AudioDevice {
 public:
  explicit FakeAudioDevice(FakeClock* clock) : clock_(clock) {}

  bool Open() override { return Call("open", fail == "open"); }
  std::string LastError() const override { return fail.empty() ? std::string() : "no " + fail; }
  bool SetPriority() override { return Call("priority", fail == "priority"); }
  bool CreatePrimary() override { return Call("primary", fail == "primary"); }
  uint32_t MaxSampleRate() override { return maxRate; }
  bool Supports16Bit() override { return has16Bit; }
  bool CreateRing(const WaveFormat& f, uint32_t bytes) override {
    format = f;
    ring.assign(bytes, 0xAA);
    return Call("ring", fail == "ring");
  }
  bool ClearRing(uint8_t value) override {
    ring.assign(ring.size(), value);
    return Call("clear", false);
  }
  RingWriteResult WriteRing(uint32_t offset, const uint8_t* data, uint32_t bytes) override {
    writeOffsets.push_back(offset);
    if (lostWrites > 0 && lostWrites--) return RingWriteResult::kLost;
    for (uint32_t i = 0; i < bytes; ++i) ring[(offset + i) % ring.size()] = data[i];
    return RingWriteResult::kOk;
  }
  void Restore() override { Call("restore", false); }
  bool Play() override {
    playing = !Call("play", fail == "play") ? false : true;
    startNs = clock_->now_ns;
    return playing;
  }
  void Stop() override {
    Call("stop", false);
    playing = false;
  }
  // While playing, the position moves `bytesPerMs` each fake millisecond from 0; with
  // `blockBytes` set it moves in whole blocks of that many bytes, as a device that takes its
  // samples in large blocks does.
  uint32_t WritePosition() override {
    if (!playing || ring.empty()) return 0;
    uint64_t taken = (clock_->now_ns - startNs) / 1000000u * bytesPerMs;
    if (blockBytes != 0) taken -= taken % blockBytes;
    return static_cast<uint32_t>(taken % ring.size());
  }
  void Close() override { Call("close", false); }

  std::string fail;  // the call that fails
  int lostWrites = 0;
  uint32_t maxRate = 44100, bytesPerMs = 0, blockBytes = 0;
  bool has16Bit = true, playing = false;
  WaveFormat format;
  std::vector<uint8_t> ring;
  std::vector<uint32_t> writeOffsets;
  std::vector<std::string> calls;

 private:
  bool Call(const char* what, bool failing) {
    calls.push_back(what);
    return !failing;
  }
  FakeClock* clock_;
  uint64_t startNs = 0;
};

}  // namespace orvo::test
