#pragma once
// The speech units: the Currah µSpeech (its ROM overlay at 0x0000-0x07FF is switched in and out by
// the IM 1 interrupt entry) and the Fuller Orator, and what they share: the level they put into
// the sound mix and their clock.
#include <cstdint>

namespace orvo {

struct MachineState;

// The fetch of PUSH AF at 0x0038 flips the µSpeech ROM overlay (as does an OUT to port 0x39).
inline constexpr uint16_t kUSpeechToggleAddress = 0x0038;

void USpeechToggle(MachineState& m);

// Registers the toggle on the 0x0038 fetch while the µSpeech is fitted, removes it otherwise.
void SetUSpeechTrap(MachineState& m, bool fitted);

// The speech level the mix adds to both output channels for an 8-bit sample (128 silent). It is
// kept small and above zero so the AY and the beeper keep their room beside it.
constexpr uint32_t SpeechLevelOf(uint8_t sample) {
  return sample * 24u;
}
inline constexpr uint32_t kSpeechSilence = SpeechLevelOf(128);

// T-states since `last` (which becomes now); never negative.
uint32_t SpeechElapsed(const MachineState& m, int32_t& last);
// Whether the sound generation steps the speech units (else they catch up at the frame end).
bool SpeechRunsWithSound(const MachineState& m);

}  // namespace orvo
