#include "machine/hook_batch.h"

#include <algorithm>

#include "sound/sound.h"
#include "tape/tape_player.h"

namespace orvo {

namespace {

// The T-state at which an instruction's end makes the next sample due, the sound fed up to `now`.
uint64_t NextSampleDue(const SoundState& s, uint32_t now) {
  const uint64_t owed = s.SampleStep - s.SampleAccumulator;
  return uint64_t{now} + ((owed + (uint64_t{1} << kSampleStepShift) - 1) >> kSampleStepShift);
}

// Whether a batch may make its samples as it goes. Not while a speech unit is fitted (it steps
// with every sample and listens to the memory bus) or something runs while the sound paces the
// machine.
bool SamplesWithinBatch(const MachineState& m) {
  return !m.settings.USpeech && !m.settings.FullerOrator && m.sound.PacingHook == nullptr;
}

}  // namespace

uint32_t BeginHookBatch(MachineState& m, uint32_t limit, uint8_t hooks) {
  const uint32_t now = m.FrameTState;
  uint64_t until = limit;
  uint8_t batched = 0;
  if ((hooks & kBatchedTape) && m.TapePlaying) {
    const TapeState& t = m.tape;
    if (t.Elapsed >= t.Pulse) return now;  // an immediate step
    until = std::min<uint64_t>(until, uint64_t{now} + (t.Pulse - t.Elapsed));
    batched |= kBatchedTape;
  }
  if ((hooks & kBatchedSound) && SoundSamplingActive(m)) {
    const SoundState& s = m.sound;
    if (s.SampleAccumulator >= s.SampleStep) return now;
    const uint64_t due = NextSampleDue(s, now);
    m.BatchSoundDue = due;
    batched |= kBatchedSound;
    if (SamplesWithinBatch(m) && SoundIsSteady(m)) {
      // Every sample alike: the core need not stop for them. They are counted out when the
      // batch is caught up, and a halted CPU need not stop for them either, only short of the
      // batch's end (the tape's edge changes the EAR level the samples sound).
      batched |= kBatchedSteadySound;
      m.sound.SteadySize = 0;
      m.BatchSoundDue = until;
    } else if (SamplesWithinBatch(m)) {
      batched |= kBatchedSamples;
    } else {
      until = std::min(until, due);
    }
  }
  if (until <= now) return now;
  m.BatchRunKey = m.QuietRunKey();
  m.HooksBatched = batched;
  m.HooksFedTo = now;
  m.SoundFedTo = now;
  return static_cast<uint32_t>(until);
}

void MachineState::CatchUpBatchedHooks() {
  // Only whole instructions are fed, and none of them reaches the next edge or a sample that was
  // not made when its instruction ended.
  const uint32_t t = InstructionStartTState - HooksFedTo;
  HooksFedTo = InstructionStartTState;
  if ((HooksBatched & kBatchedTape) && TapePlaying) RunTape(*this, t);
  if ((HooksBatched & kBatchedSound) && SoundSamplingActive(*this)) {
    const uint32_t ts = InstructionStartTState - SoundFedTo;
    SoundFedTo = InstructionStartTState;
    sound.SampleAccumulator += static_cast<uint64_t>(ts) << kSampleStepShift;
    sound.ay.AyAccumulator += ts;
    // The samples due by now fell due in the instructions before this one, whose ends the core
    // did not stop at: all alike, they are made here.
    if ((HooksBatched & kBatchedSteadySound) && sound.SampleAccumulator >= sound.SampleStep)
      GenerateSteadySamples(*this, 0);
  }
}

uint32_t MachineState::QuietSampleDue(uint32_t start, uint32_t end) {
  // Everything the sample is made of (the beeper and EAR levels, the AY's registers, the
  // SpecDrum) changes only through a port or a tape edge: with neither since the batch began,
  // the sample comes out as it would after this instruction run on its own.
  const uint32_t t = end - SoundFedTo;
  SoundFedTo = end;
  sound.SampleAccumulator += static_cast<uint64_t>(t) << kSampleStepShift;
  sound.ay.AyAccumulator += t;
  if (sound.SampleAccumulator >= sound.SampleStep) GenerateSampleAfter(*this, end - start);
  BatchSoundDue = NextSampleDue(sound, end);
  return static_cast<uint32_t>(std::min<uint64_t>(BatchSoundDue, UINT32_MAX));
}

}  // namespace orvo
