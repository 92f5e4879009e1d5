#pragma once
#include <cstdint>

// The frame loop: one instruction with its hooks, one frame with its end-of-frame work, and the
// 50 Hz throttle.
namespace orvo {

class Emulator;

void StepInstruction(Emulator& emu);
// The acceptance of the due maskable interrupt as a step of its own, with the hooks after it.
void StepInterruptAcceptance(Emulator& emu);
void RunFrame(Emulator& emu);
// RunFrame's end-of-frame work, once FrameTState has reached the frame's length: interrupt armed,
// picture drawn and shown, FLASH phase, frame counters, sound, PC log, +3 disk countdown, tape
// read time, FrameTState wrapped.
void EndFrame(Emulator& emu);
void ThrottleFrame(Emulator& emu);
// The AMX mouse (selected and captured): after a frame, one more frame of the processor for each
// queued step, its IM 2 interrupt taking the step's vector from the data bus while ports 0x1F
// and 0x3F give its direction. No picture or other frame-end work is done for them.
void RunMouseFrames(Emulator& emu);

// Input recording playback: runs instructions (with their hooks) until the machine has made
// `fetches` opcode fetches since FetchCount was cleared, then ends the frame there (the next
// frame starts at T-state 0) and waits for its real time as RunFrame does. With
// `interruptAtBoundary` the frame's interrupt can only be taken before its first instruction, as
// most recorders take it; otherwise the INT line stays active for its usual T-states.
void RunFetches(Emulator& emu, uint32_t fetches, bool interruptAtBoundary);
void FinishPlaybackFrame(Emulator& emu);

}  // namespace orvo
