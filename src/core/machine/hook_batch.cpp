#include "machine/hook_batch.h"

#include <algorithm>

#include "sound/sound.h"
#include "tape/tape_player.h"

namespace orvo {

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
    const uint64_t owed = s.SampleStep - s.SampleAccumulator;
    const uint64_t due =
        uint64_t{now} + ((owed + (uint64_t{1} << kSampleStepShift) - 1) >> kSampleStepShift);
    until = std::min(until, due);
    m.BatchSoundDue = due;
    batched |= kBatchedSound;
  }
  if (until <= now) return now;
  m.HooksBatched = batched;
  m.HooksFedTo = now;
  return static_cast<uint32_t>(until);
}

void MachineState::CatchUpBatchedHooks() {
  // Only whole instructions are fed, and none of them reaches the next edge or sample.
  const uint32_t t = InstructionStartTState - HooksFedTo;
  HooksFedTo = InstructionStartTState;
  if ((HooksBatched & kBatchedTape) && TapePlaying) RunTape(*this, t);
  if ((HooksBatched & kBatchedSound) && SoundSamplingActive(*this)) {
    sound.SampleAccumulator += static_cast<uint64_t>(t) << kSampleStepShift;
    sound.ay.AyAccumulator += t;
  }
}

}  // namespace orvo
