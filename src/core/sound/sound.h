#pragma once
// Beeper, AY, SpecDrum and speech mixed into one output sample at a time, clocked by emulated
// T-states. The frame loop calls SoundInstructionStep after every instruction and SoundFrameEnd
// at every frame end; the port decoder calls the device entries below.
#include <cstdint>

#include "machine/machine_state.h"

namespace orvo {

// ---- port side ----

// SpecDrum DAC write (port low byte 0xDF while `SpecDrum` is on): 0x80 is the centre.
void SpecDrumWrite(MachineState& m, uint8_t value);
// AY register select, data write and data read (the 0xFFFD and 0xBFFD decodes).
inline void AySelect(MachineState& m, uint8_t value) {
  m.sound.ay.Select(value);
}
inline void AyWriteData(MachineState& m, uint8_t value) {
  m.sound.ay.WriteData(value);
}
inline uint8_t AyReadData(MachineState& m) {
  return m.sound.ay.ReadData();
}
// Fuller Box register select (port low byte 0x3F on the 16K, 48K and Custom): the whole byte is
// stored and the chip is switched on for the 48K models for good.
void AyFullerSelect(MachineState& m, uint8_t value);

// ---- generation ----

// The 16K and 48K have no AY unless `AY48K` is on; the Custom model is not gated.
inline bool AyGated(const MachineState& m) {
  return m.settings.Ay48k == 0 && (m.MachineModel == kModel16K || m.MachineModel == kModel48K);
}

// Builds AyVolumeTable: the chip's measured levels scaled by 1000/1024.
void BuildAyVolumeTable(SoundState& s);

// One AY tick (16 T-states) taken from the accumulator.
inline void AyTick(MachineState& m) {
  SoundState& s = m.sound;
  s.ay.AyAccumulator -= kAyPeriod;
  if (AyGated(m)) {
    s.ay.ChannelLevel[0] = s.ay.ChannelLevel[1] = s.ay.ChannelLevel[2] = 0;
    return;
  }
  s.ay.Clock();
}

// The AY channel levels for the next sample (all 0 while the chip is gated off).
void UpdateChannelLevels(MachineState& m);
// The mixed sample of each side (0..65535, silence 0): beeper, AY channels panned by the `Output`
// setting, SpecDrum, speech and the `Effect`. Saturates rather than wrapping.
struct StereoSample {
  uint16_t left = 0, right = 0;
};
StereoSample MixStereo(MachineState& m);
// The two sides' mean: the mono sample (with `Output` 0 both sides are the same).
uint16_t MixSample(MachineState& m);
// Produces the output samples due (one for each SampleStep in SampleAccumulator, at least one)
// into SoundStaging and hands each full frame to the output.
void GenerateSample(MachineState& m);

// A sample due after an instruction of `tstates` T-states: the AY ticks of the instructions
// before it are run first, then GenerateSample.
void GenerateSampleAfter(MachineState& m, uint32_t tstates);

// Whether every sample is the same until a port is written or the tape's EAR level changes: the
// AY is absent (a 48K without AY48K) and no SpecDrum, speech unit or effect makes each sample
// its own.
inline bool SoundIsSteady(const MachineState& m) {
  const MachineSettings& cfg = m.settings;
  return AyGated(m) && !cfg.SpecDrum && !cfg.USpeech && !cfg.FullerOrator && cfg.Effect == 0;
}
// The samples due (at least one) while SoundIsSteady holds and nothing has changed since the
// batch's first sample (SoundState::SteadySize, cleared when a batch begins): that sample is
// mixed, the others are copies of its bytes. The AY's ticks, dropped while it is absent, are
// dropped up to `tstates` before the accumulator's end.
void GenerateSteadySamples(MachineState& m, uint32_t tstates);

// Per instruction, after the instruction ran: feeds InstructionTStates to the two accumulators
// while `Sound` is on and full speed is off, and makes the samples that fell due (several when a
// low emulation speed makes a sample shorter than an instruction). The AY ticks are run when the
// next sample or register write needs them (see sound/ay_chip.h).
// Whether SoundInstructionStep samples: sound on and not running flat out.
inline bool SoundSamplingActive(const MachineState& m) {
  return m.settings.Sound != 0 && m.FullSpeed == 0;
}

inline void SoundInstructionStep(MachineState& m) {
  if (!SoundSamplingActive(m)) return;
  SoundState& s = m.sound;
  const uint32_t t = m.InstructionTStates;
  s.SampleAccumulator += static_cast<uint64_t>(t) << kSampleStepShift;
  s.ay.AyAccumulator += t;
  if (s.SampleAccumulator >= s.SampleStep) GenerateSampleAfter(m, t);
}

// Frame end: a value left in the AY's slot 16 halves.
inline void SoundFrameEnd(MachineState& m) {
  m.sound.ay.HalveSlot16();
}

}  // namespace orvo
