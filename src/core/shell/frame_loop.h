#pragma once
// The frame loop: one instruction with its hooks, one frame with its end-of-frame work, and the
// 50 Hz throttle.
namespace orvo {

class Emulator;

void StepInstruction(Emulator& emu);
void RunFrame(Emulator& emu);
// RunFrame's end-of-frame work, once FrameTState has reached the frame's length: interrupt armed,
// picture drawn and shown, FLASH phase, frame counters, sound, PC log, +3 disk countdown, tape
// read time, FrameTState wrapped.
void EndFrame(Emulator& emu);
void ThrottleFrame(Emulator& emu);

}  // namespace orvo
