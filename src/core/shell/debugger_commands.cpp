#include "shell/debugger_commands.h"

#include <cstdio>

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
// stands: a breakpoint there does not stop it.
void DebugStep(Emulator& emu, bool first) {
  MachineState& m = emu.m;
  if (first) ResumeFromStop(m);
  StepInstruction(emu);
  if (m.FrameTState >= m.FrameLength) DebuggerFrameEnd(emu);
}

bool IsCall(uint8_t op) {
  return op == 0xCD || (op & 0xC7) == 0xC4;
}
bool IsRet(uint8_t op) {
  return op == 0xC9 || (op & 0xC7) == 0xC0;
}

// Steps (without interrupts) until `done` says so, a stop happens or `maxFrames` frames passed.
template <class Done>
void StepUntil(Emulator& emu, uint32_t maxFrames, Done&& done) {
  MachineState& m = emu.m;
  const uint64_t firstFrame = m.FrameCount;
  bool first = true;
  do {
    m.InterruptArmed = 0;
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
  emu.m.InterruptArmed = 0;  // a single step never takes an interrupt
  DebugStep(emu, true);
  if (emu.m.debug.stop != DebugStop::kBreakpoint) emu.m.debug.stop = DebugStop::kNone;
  UpdateDebugHooks(emu.m);
}

void DebugStepOver(Emulator& emu, uint32_t maxFrames) {
  MachineState& m = emu.m;
  if (!IsCall(m.Peek(m.cpu.PC))) {
    DebugSingleStep(emu);
    return;
  }
  const auto returnAddress = static_cast<uint16_t>(m.cpu.PC + 3);
  StepUntil(emu, maxFrames, [&m, returnAddress] { return m.cpu.PC == returnAddress; });
}

void DebugStepOut(Emulator& emu, uint32_t maxFrames) {
  MachineState& m = emu.m;
  if (m.Peek(m.cpu.PC) != 0xC9) {
    StepUntil(emu, maxFrames, [&m] { return IsRet(m.Peek(m.cpu.PC)); });
    if (m.debug.stop != DebugStop::kNone) return;
  }
  DebugSingleStep(emu);
}

void DebugRunUntil(Emulator& emu, RunUntilTarget target) {
  MachineState& m = emu.m;
  if (target == RunUntilTarget::kStartOfFrame && m.FrameTState >= m.FrameLength) {
    DebuggerFrameEnd(emu);
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
  const std::string text = DisassemblyListing(PeekMachine, &emu.m, from, to, options);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  if (WriteFileReplacing(path, std::span<const uint8_t>(bytes, text.size()))) return true;
  emu.ShowMessage(CaptionId::File, kMsgDebugCannotFindFile);
  return false;
}

}  // namespace orvo
