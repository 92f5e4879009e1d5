#include "shell/frame_loop.h"

#include <algorithm>

#include "cpu/z80.h"
#include "debugger/debug_hooks.h"
#include "devices/device.h"
#include "machine/hook_batch.h"
#include "machine/typing.h"
#include "rzx/rzx_interrupt.h"
#include "rzx/rzx_session.h"
#include "shell/debugger_commands.h"
#include "shell/emulator.h"
#include "shell/format_messages.h"
#include "shell/joystick_poll.h"
#include "shell/tape_commands.h"
#include "shell/window_commands.h"
#include "sound/sound.h"
#include "sound/sound_output.h"
#include "tape/tape_player.h"
#include "video/ula.h"

namespace orvo {

// One instruction, then the per-instruction hooks in their fixed order. Each hook sits behind a
// plain flag so an idle machine pays only the tests.
namespace {

// The deck stopped at blocks that lead back to themselves without taking any time: the block
// it stopped at is named as a failure, once.
void ReportTapeLoop(Emulator& emu) {
  TapeState& t = emu.m.tape;
  t.LoopStopped = 2;
  const TapeBlock* at = t.image ? t.image->current : nullptr;
  MessageId message = at ? TapeBlockFailureMessage(at->id) : kMsgNone;
  if (message == kMsgNone) message = kMsgTapeFailedJumpBlock;
  emu.ShowMessage(CaptionId::Options, message);
}
// Inlined into the core's run loop: a call around every instruction is measurable.
// False when the debugger stops the machine.
[[gnu::always_inline]] inline bool AfterInstruction(MachineState& m) {
  // Typed-in text: the next character goes to the ROM while it waits for a key.
  if (m.input.TypingActive && TypingWaitsHere(m)) TypingStep(m);
  if (m.NmiRequest) AcceptNmi(m);
  if (m.TapePlaying) RunTape(m, m.InstructionTStates);
  if (m.printer.motor) AdvancePrinter(m.printer, static_cast<int32_t>(m.InstructionTStates));
  SoundInstructionStep(m);  // sound sampling: its own flag test inside
  // The debugger: PC log, run-until events, and a breakpoint's stop.
  if (m.DebugHooksActive) [[unlikely]]
    return DebugAfterInstruction(m);
  return true;
}
// Batches of instructions for RunZ80Until while AfterInstruction's hooks can wait: those that
// watch every instruction are off, and the tape and the sound are fed in batches up to their next
// edge or sample (machine/hook_batch.h). Each of the other hooks is switched on only by the
// window, a device or a port, so a batch's last instruction is followed by AfterInstruction as
// usual. Kept beside it so that a new hook is added to both.
struct FrameHookBatch {
  MachineState& m;
  uint32_t Until(uint32_t limit) {
    if (m.input.TypingActive || m.NmiRequest || m.printer.motor || m.DebugHooksActive) return 0;
    return BeginHookBatch(m, limit, kBatchedTape | kBatchedSound);
  }
  bool End(bool /*calledOut*/) {
    EndHookBatch(m);
    return AfterInstruction(m);
  }
};
// The end of a frame: the interrupt, the flash, the picture, the counters. A recorded frame
// (`restart`) ends at its fetch count, wherever that falls, and the next starts at 0.
void EndFrameAt(Emulator& emu, bool restart) {
  MachineState& m = emu.m;
  const uint32_t frameLength = m.FrameLength;
  m.InterruptArmed = 1;
  if (--m.FrameSkipCountdown == 0) {
    m.FrameSkipCountdown =
        m.settings.Frameskip < 1 ? 1 : static_cast<uint32_t>(m.settings.Frameskip);
    RenderBorderUpTo(m, frameLength);
    RenderDisplayUpTo(m, frameLength);
    // Shown while text is typed in too: the user sees where the typing has got to.
    if (const uint32_t* pixels = ScreenPixels(m)) {
      emu.host.PresentFrame(pixels);
    }
  }
  // The FLASH phase steps once the whole frame has been drawn in the old one: ink and paper
  // swap every 16 frames.
  m.FlashCountdown = m.FlashCountdown == 0 ? kFlashCycleFrames - 1 : m.FlashCountdown - 1;
  ++m.FramesThisSecond;
  ++m.FrameCount;
  SoundFrameEnd(m);  // slot 16 of the AY halves
  FrameEndDevices(m);
  if (m.debug.logFile) [[unlikely]]
    PcLogFrameEnd(emu);
  if (m.settings.DiskFastLoad && m.DiskFastCountdown != 0) {
    if (--m.DiskFastCountdown == 0) m.FullSpeed = 0;
  }
  AgeTapeReadTime(m, frameLength);
  if (m.tape.LoopStopped == 1) [[unlikely]]
    ReportTapeLoop(emu);
  if (!m.tape.SavedBlocks.empty() || !m.tape.MicPulses.empty()) FlushSavedTape(emu);
  m.FrameTState = restart ? 0 : m.FrameTState - frameLength;
  m.video.DisplayDrawnTo = m.video.BorderDrawnTo = m.FrameTState;
}

// Waits for the frame's real time unless the sound paces the emulation or it runs flat out.
void Pace(Emulator& emu) {
  MachineState& m = emu.m;
  // The sound output paces the emulation while it plays; without a device the frame loop keeps
  // time itself even with `Sound` on.
  if (SoundPacesEmulation(m) || m.FullSpeed || emu.NoThrottle) return;
  ThrottleFrame(emu);
}

}  // namespace

void StepInstruction(Emulator& emu) {
  ExecuteZ80(emu.m);
  AfterInstruction(emu.m);
}

void StepInterruptAcceptance(Emulator& emu) {
  AcceptInterruptZ80(emu.m);
  AfterInstruction(emu.m);
}

void RunFrame(Emulator& emu) {
  MachineState& m = emu.m;
  KeepSoundDeviceRunning(m, SoundShouldPlay(m));
  if (m.Paused || m.FocusPaused) {
    emu.host.GetClock().SleepMilliseconds(1);
    return;
  }
  if (emu.rzx.playing || emu.rzx.recording) {
    // Another snapshot or model set up meanwhile ends the recording's hold on the machine.
    if (m.PortReadHook == nullptr) [[unlikely]]
      RzxMachineReplaced(emu);
    if (emu.rzx.playing) {
      RzxPlaybackFrame(emu);
      return;
    }
  }

  // The game controller, once a frame.
  if (m.input.JoystickActive && m.settings.JoystickType != 0) PollJoystick(emu);

  const uint32_t frameLength = m.FrameLength;

  // Tape fast loading: the core and the tape run back to back, with no interrupts, picture,
  // sound or hooks, until the tape stops. The loop hands control back after a slice of emulated
  // time so the window stays alive; the next call goes on with the load.
  // A recording keeps every frame (its interrupt and its fetch count), so it plays the tape at
  // its own speed.
  if (m.TapePlaying && m.settings.Fastload && !emu.rzx.recording) {
    constexpr uint32_t kFastLoadSliceFrames = 100;
    uint32_t wraps = 0;
    while (m.TapePlaying && m.settings.Fastload) {
      struct FastLoadBatch {
        MachineState& m;
        bool After() {
          RunTape(m, m.InstructionTStates);
          return m.TapePlaying && m.settings.Fastload;
        }
        uint32_t Until(uint32_t limit) { return BeginHookBatch(m, limit, kBatchedTape); }
        bool End(bool /*calledOut*/) {
          EndHookBatch(m);
          return After();
        }
      } batch{m};
      RunZ80Until(
          m, frameLength + 1, [&batch] { return batch.After(); }, batch);
      if (m.FrameTState > frameLength) {
        m.FrameTState -= frameLength;
        AgeTapeReadTime(m, frameLength);
        if (m.tape.LoopStopped == 1) [[unlikely]]
          ReportTapeLoop(emu);
        if (++wraps >= kFastLoadSliceFrames) return;
      }
    }
    m.video.DisplayDrawnTo = m.video.BorderDrawnTo = m.FrameTState;
  }

  if (emu.rzx.recording) RzxRecordInterruptWindow(emu);
  // A HALT waits for the interrupt in one step unless the debugger watches every instruction.
  m.HaltRunLimit = m.DebugHooksActive ? 0 : frameLength;
  RunZ80Until(
      m, frameLength, [&m] { return AfterInstruction(m); }, FrameHookBatch{m});
  m.HaltRunLimit = 0;
  // Stopped by the debugger inside the frame: the next call goes on from here.
  if (m.debug.stop != DebugStop::kNone) return;
  EndFrameAt(emu, false);
  if (m.input.TypingActive) [[unlikely]] {
    // Typing that the ROM has stopped asking for ends, and says where.
    if (const std::string note = TypingFrameEnd(m); !note.empty()) {
      emu.host.ShowPlainMessage(CaptionText(CaptionId::File), note);
    }
  }
  if (emu.rzx.recording) RzxRecordFrame(emu);
  if (!m.input.AmxQueue.empty()) RunMouseFrames(emu);
  Pace(emu);
}

void RunMouseFrames(Emulator& emu) {
  MachineState& m = emu.m;
  InputState& in = m.input;
  if (m.settings.MouseType != 1 || !in.MouseCaptured) {
    in.AmxQueue.clear();
    return;
  }
  const uint32_t frameLength = m.FrameLength;
  for (const AmxStep& step : in.AmxQueue) {
    in.AmxPendingVector = step.vector;
    in.AmxCurrentDirection = step.direction;
    m.InterruptArmed = 1;
    // A recording keeps each step as a frame of its own, opened by the step's interrupt, whose
    // vector it keeps too: taken into the frame before, the step would replay without it.
    if (emu.rzx.recording) RzxRecordDeviceInterrupt(emu, step.vector);
    RunZ80Until(m, frameLength, [&m] { return AfterInstruction(m); });
    if (m.debug.stop != DebugStop::kNone) break;
    m.FrameTState -= frameLength;
    m.video.DisplayDrawnTo = m.video.BorderDrawnTo = m.FrameTState;
    if (emu.rzx.recording) RzxRecordFrame(emu);
  }
  in.AmxQueue.clear();
  in.AmxPendingVector = 0xFF;
  m.InterruptArmed = 1;  // the frame that follows has its own interrupt
}

void EndFrame(Emulator& emu) {
  EndFrameAt(emu, false);
}

void RunFetches(Emulator& emu, uint32_t fetches) {
  MachineState& m = emu.m;
  if (fetches == 0) return;
  // After each instruction: the hooks, the interrupt rule of recordings, and the end of the
  // frame at its fetch count.
  const auto after = [&m, fetches] {
    RzxAfterPlaybackInstruction(m);
    const bool go = AfterInstruction(m);
    return go && m.FetchCount < fetches;
  };
  // Batches stop short of the frame's fetch count: each fetch takes at least 4 T-states, so a
  // batch of 4 T-states a fetch makes no more fetches than it has left before its last
  // instruction, which makes two at most (a prefixed opcode). The last few run one by one.
  struct PlaybackBatch {
    MachineState& m;
    const decltype(after)& step;
    uint32_t fetches;
    uint32_t Until(uint32_t limit) {
      constexpr uint32_t kSlack = 4;
      if (m.FetchCount + kSlack >= fetches) return 0;
      const uint64_t byFetches =
          uint64_t{m.FrameTState} + 4 * uint64_t{fetches - m.FetchCount - kSlack};
      return FrameHookBatch{m}.Until(static_cast<uint32_t>(std::min<uint64_t>(limit, byFetches)));
    }
    bool End(bool /*calledOut*/) {
      EndHookBatch(m);
      return step();
    }
  };
  // One instantiation of the core for playback: each flattens the whole instruction set. No run
  // of halted fetches at once: a halted frame ends at its count.
  m.HaltRunLimit = 0;
  RunZ80Until(m, UINT32_MAX, after, PlaybackBatch{m, after, fetches});
}

void FinishPlaybackFrame(Emulator& emu) {
  EndFrameAt(emu, true);
  Pace(emu);
}

void ThrottleFrame(Emulator& emu) {
  MachineState& m = emu.m;
  Clock& clock = emu.host.GetClock();
  constexpr uint64_t kFramePeriodNs = 20000000;  // 0.02 s
  // A sleep ends a little after it was asked to (the kernel's timer slack, the scheduler); the
  // wait sleeps until this much before the frame's time and spins only for the rest, so pacing
  // stays within a fraction of a millisecond without keeping a core busy.
  constexpr uint64_t kSpinNs = 300000;
  uint64_t now = clock.NowNanoseconds();
  if (m.LastFrameTimeNs == 0 || now - m.LastFrameTimeNs >= kFramePeriodNs) {
    // Late or exactly on time: no lateness is carried forward.
    m.LastFrameTimeNs = now;
    return;
  }
  for (;;) {
    const uint64_t elapsed = now - m.LastFrameTimeNs;
    if (elapsed >= kFramePeriodNs) break;
    const uint64_t remaining = kFramePeriodNs - elapsed;
    if (remaining > kSpinNs)
      clock.SleepMicroseconds(static_cast<uint32_t>((remaining - kSpinNs) / 1000));
    now = clock.NowNanoseconds();
  }
  m.LastFrameTimeNs = now;
}

}  // namespace orvo
