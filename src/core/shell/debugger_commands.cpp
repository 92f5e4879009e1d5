#include "shell/debugger_commands.h"

#include <cstdio>

#include "cpu/z80.h"
#include "debugger/disassembler.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/snapshot_save.h"
#include "sound/sound.h"
#include "tape/tape_player.h"
#include "video/ula.h"

namespace orvo {

namespace {

bool ReportAdd(Emulator& emu, BreakpointAdd r) {
  switch (r) {
    case BreakpointAdd::kAdded: return true;
    case BreakpointAdd::kTableFull:
      emu.ShowMessage(CaptionId::Options, kMsgTooManyBreakpoints);
      return false;
    default: emu.ShowMessage(CaptionId::Options, kMsgDebugBadNumber); return false;
  }
}

void PresentScreen(Emulator& emu) {
  if (const uint32_t* pixels = ScreenPixels(emu.m)) emu.host.PresentFrame(pixels);
}

// A step made by the debugger itself. The first step of a command starts from where the machine
// stands: a breakpoint there does not stop it. A due interrupt is taken as the step's start, as
// the running machine takes it, unless `interruptAlone`: then its acceptance is the whole step,
// so the next one is the routine's first instruction.
void DebugStep(Emulator& emu, bool first, bool interruptAlone = false) {
  MachineState& m = emu.m;
  if (first) ResumeFromStop(m);
  if (interruptAlone && InterruptDue(m)) {
    StepInterruptAcceptance(emu);
  } else {
    StepInstruction(emu);
  }
  if (m.FrameTState >= m.FrameLength) DebuggerFrameEnd(emu);
}

bool IsCall(uint8_t op) {
  return op == 0xCD || (op & 0xC7) == 0xC4;
}
bool IsRet(uint8_t op) {
  return op == 0xC9 || (op & 0xC7) == 0xC0;
}

// Runs the machine step by step as Run does (frames end, interrupts are taken) until `done` says
// so, a stop happens or `maxFrames` frames passed.
template <class Done>
void StepUntil(Emulator& emu, uint32_t maxFrames, Done&& done) {
  MachineState& m = emu.m;
  const uint64_t firstFrame = m.FrameCount;
  bool first = true;
  do {
    DebugStep(emu, first);
    first = false;
  } while (!done() && m.debug.stop == DebugStop::kNone && m.FrameCount - firstFrame < maxFrames);
}

}  // namespace

bool AddBreakpointChecked(Emulator& emu, std::string_view address, std::string_view condition,
                          bool active) {
  return ReportAdd(emu, AddBreakpoint(emu.m, address, condition, active, emu.m.spec.ramTop));
}

bool UpdateBreakpointChecked(Emulator& emu, size_t index, std::string_view address,
                             std::string_view condition, bool active) {
  return ReportAdd(emu,
                   UpdateBreakpoint(emu.m, index, address, condition, active, emu.m.spec.ramTop));
}

bool StartPcLogChecked(Emulator& emu, const std::string& path, bool oneFrame) {
  if (StartPcLog(emu.m, path, oneFrame)) return true;
  emu.ShowMessage(CaptionId::File, kMsgDebugCannotFindFile);
  return false;
}

bool StopPcLogChecked(Emulator& emu) {
  const std::string path = emu.m.debug.logPath;
  const WriteFailure failure = StopPcLog(emu.m);
  if (failure == WriteFailure::None) return true;
  emu.ShowMessage(CaptionId::File, kMsgCannotSaveFile, WriteFailureText(failure, path));
  return false;
}

void PcLogFrameEnd(Emulator& emu) {
  DebuggerState& d = emu.m.debug;
  if (d.LogOneFrame) {
    StopPcLogChecked(emu);
    emu.menu.Check(CommandId::PcLogOneFrame, false);
    return;
  }
  if (!d.LogContinuous || !d.logFile) return;
  const auto mb = static_cast<uint32_t>(d.logFile->Size() / (1024 * 1024));
  if (mb <= d.logLimitMb) return;
  char text[96];
  std::snprintf(text, sizeof text, "File is %uMB in size \n\nDo you wish to continue?", mb);
  if (emu.host.AskYesNo("DEBUG", text)) {
    d.logLimitMb *= 2;
  } else {
    StopPcLogChecked(emu);
    emu.menu.Check(CommandId::PcLogging, false);
  }
}

void DebuggerFrameEnd(Emulator& emu) {
  MachineState& m = emu.m;
  if (m.FrameTState < m.FrameLength) return;  // the frame is not complete yet
  m.debug.targetAfterFrameEnd = 0;
  if (m.tape.image && m.settings.Fastload) {
    // Fast loading: the picture, and the frame's time wrapped; nothing else moves on.
    m.InterruptArmed = 1;
    RenderBorderUpTo(m, m.FrameLength);
    RenderDisplayUpTo(m, m.FrameLength);
    if (m.FrameTState >= m.FrameLength) m.FrameTState -= m.FrameLength;
    m.video.DisplayDrawnTo = m.video.BorderDrawnTo = m.FrameTState;
  } else {
    EndFrame(emu);
  }
  PresentScreen(emu);  // shown even while text is typed in or frames are skipped
}

void DebugSingleStep(Emulator& emu) {
  // A due interrupt is a step of its own: the routine can be stepped into.
  DebugStep(emu, true, true);
  if (emu.m.debug.stop != DebugStop::kBreakpoint) emu.m.debug.stop = DebugStop::kNone;
  UpdateDebugHooks(emu.m);
}

void DebugStepOver(Emulator& emu, uint32_t maxFrames) {
  MachineState& m = emu.m;
  const uint16_t pc = m.cpu.PC;
  const uint16_t sp = m.cpu.SP;
  if (IsCall(m.Peek(pc)) && !(m.cpu.Halted && m.cpu.HaltNoAdvance)) {
    // Back at the instruction after the CALL with the stack as it was: the routine has returned
    // (an interrupt routine or a recursive call passing that address does not count).
    const auto returnAddress = static_cast<uint16_t>(pc + 3);
    StepUntil(emu, maxFrames,
              [&m, returnAddress, sp] { return m.cpu.PC == returnAddress && m.cpu.SP == sp; });
    return;
  }
  if (InterruptDue(m)) {
    // The interrupt comes first: its routine runs until it returns here, then the instruction.
    StepUntil(emu, maxFrames, [&m, pc, sp] { return m.cpu.PC == pc && m.cpu.SP == sp; });
    if (m.debug.stop != DebugStop::kNone || m.cpu.PC != pc) return;
  }
  DebugSingleStep(emu);
}

void DebugStepOut(Emulator& emu, uint32_t maxFrames) {
  MachineState& m = emu.m;
  // A return at this routine's level: an interrupt routine taken meanwhile, and the routines it
  // calls, run with the stack below where it stood.
  const uint16_t sp = m.cpu.SP;
  const auto atThisLevel = [&m, sp] { return IsRet(m.Peek(m.cpu.PC)) && m.cpu.SP >= sp; };
  if (m.Peek(m.cpu.PC) != 0xC9) {
    StepUntil(emu, maxFrames, atThisLevel);
    if (m.debug.stop != DebugStop::kNone || !atThisLevel()) return;
  }
  DebugStep(emu, true);
  if (m.debug.stop != DebugStop::kBreakpoint) m.debug.stop = DebugStop::kNone;
  UpdateDebugHooks(m);
}

void DebugRunUntil(Emulator& emu, RunUntilTarget target) {
  MachineState& m = emu.m;
  // At the frame's end already (after F8, say): the frame end is made, and the run goes through
  // the next frame; the interrupt is due right after the frame end.
  if (m.FrameTState >= m.FrameLength) {
    DebuggerFrameEnd(emu);
    if (target == RunUntilTarget::kInterrupt) return;
  }
  ResumeFromStop(m);
  while (m.FrameTState < m.FrameLength && m.debug.stop == DebugStop::kNone) StepInstruction(emu);
  if (m.debug.stop != DebugStop::kNone) return;
  if (target == RunUntilTarget::kEndOfFrame) {
    RenderBorderUpTo(m, m.FrameLength);
    RenderDisplayUpTo(m, m.FrameLength);
    PresentScreen(emu);
  } else {
    DebuggerFrameEnd(emu);  // the next step is the frame's first, where the interrupt is due
  }
}

void ArmRunUntilTState(MachineState& m, int64_t tstate) {
  m.debug.targetTState = tstate;
  // A T-state at or behind the machine's position is the next frame's.
  m.debug.targetAfterFrameEnd = tstate <= static_cast<int64_t>(m.FrameTState) ? 1 : 0;
  UpdateDebugHooks(m);
}

bool DebugRunUntilEvent(Emulator& emu, uint32_t maxFrames) {
  MachineState& m = emu.m;
  UpdateDebugHooks(m);
  const uint64_t firstFrame = m.FrameCount;
  ResumeFromStop(m);
  while (m.debug.stop == DebugStop::kNone && m.FrameCount - firstFrame < maxFrames) {
    StepInstruction(emu);
    if (m.FrameTState >= m.FrameLength) DebuggerFrameEnd(emu);
  }
  const bool stopped = m.debug.stop != DebugStop::kNone;
  // Events that did not come in time are disarmed: the running machine must not stop for them
  // later. After a stop the others stay armed for the next run (the window disarms them on close).
  if (!stopped) DisarmRunUntilEvents(m);
  return stopped;
}

bool DisassembleToFile(Emulator& emu, const std::string& path, uint16_t from, uint16_t to,
                       bool romLabels, bool sysvarLabels) {
  DisassemblyOptions options;
  options.base = 16;
  options.romLabels = romLabels || emu.settings.DisRom;
  options.sysvarLabels = sysvarLabels || emu.settings.DisSave;
  options.userLabels = &emu.m.debug.labels;
  const std::string text = DisassemblyListing(PeekMachine, &emu.m, from, to, options);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  if (WriteFileReplacing(path, std::span<const uint8_t>(bytes, text.size()))) return true;
  emu.ShowMessage(CaptionId::File, kMsgDebugCannotFindFile);
  return false;
}

}  // namespace orvo
