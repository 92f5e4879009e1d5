#pragma once
// The Currah µSpeech: its ROM overlay at 0x0000-0x07FF is switched in and out by the IM 1
// interrupt entry.
#include <cstdint>

namespace orvo {

struct MachineState;

// The fetch of PUSH AF at 0x0038 flips the µSpeech ROM overlay (as does an OUT to port 0x39).
inline constexpr uint16_t kUSpeechToggleAddress = 0x0038;

void USpeechToggle(MachineState& m);

// Registers the toggle on the 0x0038 fetch while the µSpeech is fitted, removes it otherwise.
void SetUSpeechTrap(MachineState& m, bool fitted);

}  // namespace orvo
