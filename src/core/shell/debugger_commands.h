#pragma once
// The debugger's commands on a whole Emulator: stepping, running until an event, its own frame
// end, the PC log with its questions and messages, breakpoints with their messages, and the
// listing tool. The hooks these rely on are in debugger/debug_hooks.h.
#include <cstdint>
#include <string>
#include <string_view>

#include "debugger/debug_hooks.h"

namespace orvo {

class Emulator;
struct MachineState;

// ---- breakpoints (messages 122 and 127, caption "Orvo Options") ----
bool AddBreakpointChecked(Emulator& emu, std::string_view address, std::string_view condition,
                          bool active);
bool UpdateBreakpointChecked(Emulator& emu, size_t index, std::string_view address,
                             std::string_view condition, bool active);

// ---- PC log ----
// Starts a log into `path`; message 125 "Debug: Cannot find file" when it cannot be opened.
bool StartPcLogChecked(Emulator& emu, const std::string& path, bool oneFrame);
// The frame end: a one-frame log ends; a continuous log larger than its limit asks whether to go
// on (No stops it, Yes doubles the limit).
void PcLogFrameEnd(Emulator& emu);
// Ends the PC log; when it cannot be put in place, message 134 naming the file and the reason,
// and false.
bool StopPcLogChecked(Emulator& emu);

// ---- execution ----
// The debugger's frame end (instead of RunFrame's): interrupt armed, FLASH phase, picture drawn
// and shown, frame counted, log frame end, FrameTState wrapped. No throttling.
void DebuggerFrameEnd(Emulator& emu);
// One instruction, or the acceptance of the interrupt when one is due (the next step is then the
// interrupt routine's first instruction); the frame end when the frame is complete.
void DebugSingleStep(Emulator& emu);
// Over a CALL: runs the machine as Run does (frames end, interrupts are taken) until the routine
// has returned to the instruction after it, a stop happens or `maxFrames` frames passed. Any other
// instruction is a single step, after the interrupt routine when an interrupt is due first.
void DebugStepOver(Emulator& emu, uint32_t maxFrames = 500);
// Runs as Run does until a RET (or conditional RET) of this routine is next, and steps it.
void DebugStepOut(Emulator& emu, uint32_t maxFrames = 500);

// Runs to the end of the frame (the next frame's, when the machine stands at a frame end).
enum class RunUntilTarget { kEndOfFrame, kStartOfFrame, kInterrupt };
void DebugRunUntil(Emulator& emu, RunUntilTarget target);
// Arms "Run Until, Specified T-State": a T-state at or behind the current one is reached in the
// next frame.
void ArmRunUntilTState(MachineState& m, int64_t tstate);
// Runs until an armed event (m.debug: opcodes, T-state, port) or a breakpoint stops the machine,
// at most `maxFrames` frames. True when it stopped for an event.
bool DebugRunUntilEvent(Emulator& emu, uint32_t maxFrames = 500);

// ---- the listing tool ----
// Writes the listing of [from, to] in base 16 (labels as asked) to `path`, through a temporary
// file renamed over it. Message 125 when it cannot be written.
bool DisassembleToFile(Emulator& emu, const std::string& path, uint16_t from, uint16_t to,
                       bool romLabels, bool sysvarLabels);

}  // namespace orvo
