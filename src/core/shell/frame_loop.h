#pragma once
// The frame loop: one instruction with its hooks, one frame with its end-of-frame work, and the
// 50 Hz throttle.
namespace orvo {

class Emulator;

void StepInstruction(Emulator& emu);
void RunFrame(Emulator& emu);
void ThrottleFrame(Emulator& emu);

}  // namespace orvo
