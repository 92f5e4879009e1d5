#pragma once
// Sound generation and output state of one machine.
#include <cstdint>
#include <vector>

#include "sound/audio_device.h"
#include "sound/ay_chip.h"

namespace orvo {

class Clock;
struct MachineState;

// One delay line of the Echo and Reverb effects. Reads and writes each advance their own
// position, back to 0 after the last entry.
struct EchoLine {
  static constexpr uint16_t kLength = 6144;
  uint16_t samples[kLength] = {};
  uint16_t writePosition = 0;
  uint16_t readPosition = 0;

  void Write(uint16_t value) {
    samples[writePosition] = value;
    writePosition = writePosition + 1 == kLength ? 0 : writePosition + 1;
  }
  uint16_t Read() {
    const uint16_t value = samples[readPosition];
    readPosition = readPosition + 1 == kLength ? 0 : readPosition + 1;
    return value;
  }
};

constexpr uint32_t kSoundStagingSize = 256 * 1024;
constexpr uint32_t kSoundSegments = 8;
constexpr uint32_t kAyPeriod = 16;  // T-states per AY tick on every model
// The sample clock counts in 1/65536 T-state, so the output rate is exact: a step rounded to
// whole T-states would put every tone up to half a percent off pitch.
constexpr uint32_t kSampleStepShift = 16;
// The silent byte of 8-bit (unsigned) samples; 16-bit samples are signed, silent at 0.
constexpr uint8_t kSilence8Bit = 0x80;

struct SoundState {
  SoundState();

  AyChip ay;
  // T-state accumulators: one output sample every SampleStep / 65536 T-states, and one AY tick
  // every 16 (AyChip::AyAccumulator).
  uint32_t AyPeriod = kAyPeriod;
  uint64_t SampleAccumulator = 0;
  uint32_t SampleStep =
      5201347;  // 48K, 100 %, 44100 Hz (79.37 T-states) until the output is set up
  uint16_t AyVolumeTable[16] = {};

  // Levels of the other sources (the beeper's is PortState::BeeperLevel).
  int16_t SpecDrumLevel = 0;  // the SpecDrum DAC
  uint32_t SpeechLevel = 0;   // the speech units' output; only the low 16 bits are mixed
  // The speech units advance one output sample at a time; they install these when fitted.
  void (*CurrahSpeechStep)(MachineState&) = nullptr;
  void (*OratorSpeechStep)(MachineState&) = nullptr;

  EchoLine EchoLeft, EchoRight;

  // The bytes of the last sample made in a batch of instructions whose samples cannot differ
  // (GenerateSteadySamples); SteadySize 0 until the batch's first.
  uint8_t SteadyBytes[4] = {};
  uint8_t SteadySize = 0;

  // One frame of samples in the output format, handed to the device when full.
  std::vector<uint8_t> SoundStaging;
  uint32_t StagingPosition = 0;

  // ---- output ----
  WaveFormat format;
  uint32_t FrameBytes = 3536;     // bytes of one frame of audio; the ring holds 8 of them
  uint8_t SoundSegment = 0;       // the ring segment written last
  AudioDevice* Device = nullptr;  // the open device, or null
  bool PrimaryBuffer = false;
  bool SecondaryBuffer = false;       // the ring exists
  bool DevicePlaying = false;         // the device was last started, not stopped
  Clock* PacingClock = nullptr;       // the host's clock, for the pacing wait
  SoundFrameSink* Capture = nullptr;  // when set, frames go here instead of the ring, unpaced
  SoundFrameSink* Tap = nullptr;      // when set, also sees every frame (movie recording)
  // Run on every pass of the pacing wait (the AMX mouse's queued frames while it is captured).
  void (*PacingHook)(MachineState&) = nullptr;
};

}  // namespace orvo
