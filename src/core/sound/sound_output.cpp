#include "sound/sound_output.h"

#include <algorithm>
#include <cstring>

#include "machine/clock.h"
#include "sound/sound.h"

namespace orvo {

namespace {

constexpr uint32_t kMinSampleRate = 11025;
// A capture has no device to ask for its highest rate.
constexpr uint32_t kCaptureMaxSampleRate = 192000;
constexpr uint32_t kPacingLimitMs = 1000;
constexpr int kLostRingRetries = 8;

// The first step of every sound initialisation.
void ResetSoundGenerators(SoundState& s) {
  BuildAyVolumeTable(s);
  s.ay.Reset();
}

// With `Sound` on, sampling starts afresh.
void RestartSampling(MachineState& m) {
  SoundState& s = m.sound;
  s.SampleAccumulator = 0;
  s.ay.AyAccumulator = 0;
  // The delay lines restart with the effect's delay, the whole line: Echo writes, then reads the
  // oldest entry (6143 samples back); Reverb reads the entry written 6144 samples back before it
  // writes over it.
  s.EchoLeft.writePosition = s.EchoRight.writePosition = 0;
  s.EchoLeft.readPosition = s.EchoRight.readPosition = m.settings.Effect == 1 ? 1 : 0;
}

void CorrectFrequency(MachineSettings& cfg, uint32_t maxRate) {
  if (cfg.Freq < static_cast<int32_t>(kMinSampleRate)) cfg.Freq = kMinSampleRate;
  if (cfg.Freq > static_cast<int32_t>(maxRate)) cfg.Freq = static_cast<int32_t>(maxRate);
}

uint32_t NowMs(Clock& clock) {
  return static_cast<uint32_t>(clock.NowNanoseconds() / 1000000u);
}

SoundOpenResult FailOpen(MachineState& m, SoundOpenResult result) {
  CloseSound(m);
  return result;
}

}  // namespace

void ComputeSoundFormat(MachineState& m) {
  SoundState& s = m.sound;
  const MachineSettings& cfg = m.settings;
  const uint16_t bits = cfg.SoundBits == 16 ? 16 : 8;
  const uint16_t channels = cfg.Output != 0 ? 2 : 1;
  const uint32_t freq = static_cast<uint32_t>(std::max<int32_t>(cfg.Freq, 1));
  s.format.channels = channels;
  s.format.samplesPerSecond = freq;
  s.format.bitsPerSample = bits;
  s.format.blockAlign = static_cast<uint16_t>(bits * channels / 8);
  s.format.averageBytesPerSecond = s.format.blockAlign * freq;

  // One sample every (CPU clock x speed / rate) T-states, kept to 1/65536 T-state: the sound is
  // heard at the machine's own pitch and, pacing the emulation, runs it at the real machine's
  // speed (50.08 frames a second on the 48K, 50.02 on the 128K).
  const double speed = std::max(cfg.EmulationSpeed, 0.01f) * 0.01;
  const double step = speed * static_cast<double>(m.spec.cpuClockHz) / static_cast<double>(freq);
  const double fixed = step * static_cast<double>(1u << kSampleStepShift);
  s.SampleStep = static_cast<uint32_t>(std::clamp(fixed + 0.5, 1.0, 4294967295.0));
  s.AyPeriod = kAyPeriod;
  // A segment of the ring holds 1/50 s of audio.
  const uint32_t maxSamples = (kSoundStagingSize - 4) / s.format.blockAlign;
  const uint32_t samplesPerFrame = std::clamp<uint32_t>(freq / 50, 1u, maxSamples);
  s.FrameBytes = samplesPerFrame * s.format.blockAlign;
}

SoundOpenResult OpenSound(MachineState& m, AudioDevice* device, Clock& clock) {
  SoundState& s = m.sound;
  MachineSettings& cfg = m.settings;
  s.Capture = nullptr;
  ResetSoundGenerators(s);

  if (device == nullptr || !device->Open()) return SoundOpenResult::NoDevice;
  s.Device = device;
  s.PacingClock = &clock;
  if (!device->SetPriority()) return FailOpen(m, SoundOpenResult::NoPriority);
  if (!device->CreatePrimary()) return FailOpen(m, SoundOpenResult::NoPrimary);
  s.PrimaryBuffer = true;
  if (cfg.Sound == 0) return SoundOpenResult::Ok;

  RestartSampling(m);
  CorrectFrequency(cfg, device->MaxSampleRate());
  if (cfg.SoundBits == 16 && !device->Supports16Bit()) cfg.SoundBits = 8;

  ComputeSoundFormat(m);
  device->SetPrimaryFormat(s.format);
  if (!device->CreateRing(s.format, kSoundSegments * s.FrameBytes))
    return FailOpen(m, SoundOpenResult::NoRing);
  s.SecondaryBuffer = true;
  ClearSoundBuffer(m);
  if (!device->Play()) return FailOpen(m, SoundOpenResult::NoPlay);
  s.DevicePlaying = true;
  return SoundOpenResult::Ok;
}

void OpenSoundCapture(MachineState& m, SoundFrameSink& sink) {
  SoundState& s = m.sound;
  CloseSound(m);
  ResetSoundGenerators(s);
  RestartSampling(m);
  CorrectFrequency(m.settings, kCaptureMaxSampleRate);
  ComputeSoundFormat(m);
  s.Capture = &sink;
  s.SoundSegment = 2;
  s.StagingPosition = 0;
  s.SampleAccumulator = 0;
  s.ay.AyAccumulator = 0;
}

void ClearSoundBuffer(MachineState& m) {
  SoundState& s = m.sound;
  if (!s.SecondaryBuffer) return;
  // A ring that cannot be locked keeps its old contents.
  s.Device->ClearRing(m.settings.SoundBits == 16
                          ? 0
                          : kSilence8Bit);  // a ring that cannot be locked keeps its old contents
  s.SoundSegment = 2;
  s.StagingPosition = 0;
  s.SampleAccumulator = 0;
  s.ay.AyAccumulator = 0;
}

void PauseSound(MachineState& m, int stop) {
  SoundState& s = m.sound;
  ClearSoundBuffer(m);
  if (!s.SecondaryBuffer) return;
  if (stop) {
    s.Device->Stop();
    s.DevicePlaying = false;
  } else {
    s.Device->Restore();
    s.DevicePlaying = s.Device->Play();
  }
}

void CloseSound(MachineState& m) {
  SoundState& s = m.sound;
  ClearSoundBuffer(m);
  s.SoundSegment = 0;
  s.StagingPosition = 0;
  m.ports.BeeperLevel = 0;
  s.Capture = nullptr;
  if (s.Device != nullptr) {
    if (s.SecondaryBuffer) s.Device->Stop();
    s.Device->Close();
  }
  s.SecondaryBuffer = false;
  s.PrimaryBuffer = false;
  s.DevicePlaying = false;
  s.Device = nullptr;
}

void SubmitSoundFrame(MachineState& m) {
  SoundState& s = m.sound;
  s.ay.ChannelLevel[0] = s.ay.ChannelLevel[1] = s.ay.ChannelLevel[2] = 0;

  if (s.Tap != nullptr) s.Tap->TakeFrame(s.SoundStaging.data(), s.FrameBytes);
  if (s.Capture != nullptr) {
    s.Capture->TakeFrame(s.SoundStaging.data(), s.FrameBytes);
    s.StagingPosition = 0;
    s.SpecDrumLevel = 4096;
    return;
  }
  if (!s.SecondaryBuffer) {
    s.StagingPosition = 0;
    return;
  }

  AudioDevice& device = *s.Device;
  s.SoundSegment = static_cast<uint8_t>((s.SoundSegment + 1) % kSoundSegments);
  const uint32_t start = s.PacingClock ? NowMs(*s.PacingClock) : 0;

  // Copy the frame into its segment. A lost ring is restored and written again; any other
  // failure drops the frame.
  s.StagingPosition = 0;
  const uint32_t offset = s.SoundSegment * s.FrameBytes;
  for (int attempt = 0; attempt < kLostRingRetries; ++attempt) {
    if (device.WriteRing(offset, s.SoundStaging.data(), s.FrameBytes) != RingWriteResult::kLost) {
      break;
    }
    device.Restore();
  }

  // Wait while the device has more than this segment still to play: it ends once the device has
  // reached the segment before this one, never longer than a second. The device takes samples in
  // blocks that may carry its position over several segments between two readings, so the wait
  // looks at how far ahead of the device this segment is rather than for one exact segment: two
  // or three segments ahead (three only just after a clear) is room to wait for; one is the next
  // to play; none or "four and more" means the device has already reached or passed it, and
  // waiting for it to come round the ring again would stall the emulation for a whole trip. A
  // stopped device is not waited for: its position does not move.
  if (s.PacingClock != nullptr && s.DevicePlaying) {
    constexpr uint32_t kMostAhead = 3;
    for (;;) {
      if (s.PacingHook) s.PacingHook(m);
      const uint32_t k = (device.WritePosition() / s.FrameBytes) % kSoundSegments;
      const uint32_t ahead = (s.SoundSegment + kSoundSegments - k) % kSoundSegments;
      if (ahead <= 1 || ahead > kMostAhead) break;
      if (NowMs(*s.PacingClock) - start >= kPacingLimitMs) break;
      s.PacingClock->SleepMilliseconds(1);
    }
  }
  s.SpecDrumLevel = 4096;
}

bool SoundPacesEmulation(const MachineState& m) {
  return m.settings.Sound != 0 && m.sound.SecondaryBuffer && m.sound.DevicePlaying &&
         m.sound.Capture == nullptr;
}

void KeepSoundDeviceRunning(MachineState& m, bool shouldPlay) {
  const SoundState& s = m.sound;
  if (!s.SecondaryBuffer || s.Capture != nullptr || s.DevicePlaying == shouldPlay) return;
  PauseSound(m, shouldPlay ? 0 : 1);
}

}  // namespace orvo
