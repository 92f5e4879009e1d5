// Playing an input recording back: the recorded fetch counts end the frames and the recorded port
// values answer the port reads, so the recorded run happens again exactly.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "rzx/rzx_session.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/file_dispatch.h"
#include "shell/format_messages.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/snapshot_load.h"

namespace orvo {

namespace {

// Every port read takes the frame's next recorded value; past the last one the bus floats high.
uint8_t PlaybackRead(void* context, uint8_t /*value*/) {
  RzxSession& s = *static_cast<RzxSession*>(context);
  const uint8_t v = s.readsUsed < s.values.size() ? s.values[s.readsUsed] : 0xFF;
  ++s.readsUsed;
  return v;
}

void EnterFrame(Emulator& emu) {
  RzxSession& s = emu.rzx;
  const RzxInputBlock& b = s.file.inputs[s.block];
  s.values = b.ValuesOf(b.frames[s.frame]);
  s.readsUsed = 0;
}

// Moves past blocks without frames; false at the end of the recording.
bool SettleOnFrame(RzxSession& s) {
  while (s.block < s.file.inputs.size() && s.frame >= s.file.inputs[s.block].frames.size()) {
    ++s.block;
    s.frame = 0;
  }
  return s.block < s.file.inputs.size();
}

void Finish(Emulator& emu) {
  RzxSession& s = emu.rzx;
  StopRzxPlayback(emu);
  s.finished = true;
  emu.host.ShowPlainMessage("RZX PLAYING", "Finished RZX playback");
}

// The mismatch log is put in place when it ends; a log the disk could not take is reported.
void CloseRzxLog(Emulator& emu) {
  RzxSession& s = emu.rzx;
  if (!s.log) return;
  const WriteFailure failure = s.log->Commit();
  s.log.reset();
  if (failure != WriteFailure::None)
    emu.ShowMessage(CaptionId::File, kMsgCannotSaveFile, WriteFailureText(failure, s.logPath));
}

}  // namespace

bool OpenRzxBytes(Emulator& emu, std::span<const uint8_t> bytes, std::string_view name) {
  RzxSession& s = emu.rzx;
  StopRzxPlayback(emu);
  RzxFile file;
  if (const FormatStatus parsed = ParseRZX(bytes, file); !parsed.Ok()) {
    s.loaded = false;
    s.file = RzxFile{};
    ShowRzxUnreadable(emu.host, parsed, name);
    return false;
  }
  s.file = std::move(file);
  s.loaded = true;
  return StartRzxPlayback(emu);
}

bool OpenRzxFile(Emulator& emu, const std::string& path) {
  if (ReadLoadedFile(emu, path, CaptionId::Rzx) != 0) return false;
  const std::vector<uint8_t> bytes = std::move(emu.files.Loaded.bytes);
  emu.files.Loaded.bytes.clear();
  return OpenRzxBytes(emu, bytes, path);
}

int LoadEmbeddedSnapshot(Emulator& emu, std::string_view extension, std::span<const uint8_t> data) {
  const FileKind kind = MatchExtension("snapshot." + std::string(extension.substr(0, 3)));
  if (kind != FileKind::Sna && kind != FileKind::Z80 && kind != FileKind::Szx) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return 1;
  }
  ResetMachine(emu, false);
  const int rc = kind == FileKind::Sna   ? LoadSNA(emu, data)
                 : kind == FileKind::Z80 ? LoadZ80(emu, data)
                                         : LoadSZX(emu, data);
  return rc;
}

bool StartRzxPlayback(Emulator& emu) {
  RzxSession& s = emu.rzx;
  if (!s.loaded) {
    emu.ShowMessage(CaptionId::Rzx, kMsgNoRzxLoaded);
    return false;
  }
  if (s.recording) StopRzxRecording(emu);
  s.mismatch = RzxMismatch{};
  s.finished = false;
  s.framesPlayed = 0;
  if (s.file.snapshotCount == 0 || s.file.snapshot.External() ||
      LoadEmbeddedSnapshot(emu, s.file.snapshot.Extension(), s.file.snapshot.data) != 0) {
    if (s.file.snapshotCount == 0 || s.file.snapshot.External())
      emu.ShowMessage(CaptionId::Rzx, kMsgCannotLoadSnapshot);
    return false;
  }
  MachineState& m = emu.m;
  s.block = 0;
  s.frame = 0;
  if (!SettleOnFrame(s)) {
    Finish(emu);
    return false;
  }
  // The recording starts at a frame boundary with the frame's interrupt still to come. A
  // T-state past the frame's end (a damaged file) is read back into the frame: taken as it
  // stands, the frame would run on for ever without reaching its fetch count.
  m.FrameTState = s.file.inputs[s.block].startTState % m.FrameLength;
  m.InterruptArmed = 1;
  m.FetchCount = 0;
  s.playing = true;
  m.PortReadHook = PlaybackRead;
  m.PortReadHookContext = &s;
  EnterFrame(emu);
  UpdateRzxMenus(emu, RzxMenuAfter::Play);
  return true;
}

void StopRzxPlayback(Emulator& emu) {
  RzxSession& s = emu.rzx;
  if (s.playing && emu.m.PortReadHookContext == &s) {
    emu.m.PortReadHook = nullptr;
    emu.m.PortReadHookContext = nullptr;
  }
  s.playing = false;
  CloseRzxLog(emu);
  UpdateRzxMenus(emu, RzxMenuAfter::Stop);
}

void RzxPlaybackFrame(Emulator& emu) {
  RzxSession& s = emu.rzx;
  const RzxFrame& f = s.file.inputs[s.block].frames[s.frame];
  // A device's interrupt (an AMX mouse step) opens the frame with its vector on the data bus.
  const std::vector<RzxBusVector>& vectors = s.file.busVectors;
  const auto at =
      std::lower_bound(vectors.begin(), vectors.end(), s.framesPlayed,
                       [](const RzxBusVector& v, uint64_t frame) { return v.frame < frame; });
  emu.m.input.AmxPendingVector =
      at != vectors.end() && at->frame == s.framesPlayed ? at->vector : 0xFF;
  // The frame's interrupt follows the rule in rzx/rzx_interrupt.h, whoever made the file.
  RunFetches(emu, f.fetches);
  emu.m.input.AmxPendingVector = 0xFF;
  FinishPlaybackFrame(emu);
  RzxEndOfFrame(emu);
}

void RzxEndOfFrame(Emulator& emu) {
  RzxSession& s = emu.rzx;
  MachineState& m = emu.m;
  const RzxInputBlock& b = s.file.inputs[s.block];
  const RzxFrame& f = b.frames[s.frame];
  if (s.log) {
    char line[96];
    std::snprintf(line, sizeof line, " %5llu  %5u    %5u    %5u    %5u\n",
                  static_cast<unsigned long long>(s.frame),
                  f.fetches > m.FetchCount ? f.fetches - m.FetchCount : 0u,
                  static_cast<unsigned>(f.fetches), s.readsUsed, f.reads);
    s.log->Write(std::string_view(line));
  }
  ++s.framesPlayed;
  if (s.readsUsed != f.reads) {
    s.mismatch = {true, s.frame, s.block, s.readsUsed, f.reads};
    StopRzxPlayback(emu);
    char text[160];
    std::snprintf(text, sizeof text,
                  " RZX Mis-match Error in frame %llu of Input block %u\n\n%u inputs counted, "
                  "should have been %u",
                  static_cast<unsigned long long>(s.mismatch.frame), s.mismatch.block,
                  s.mismatch.counted, s.mismatch.expected);
    emu.host.ShowPlainMessage("RZX ERROR", text);
    return;
  }
  // A recorder that steps over an index prefix on its own may end a frame between the prefix and
  // its opcode, where this core runs both at once: the fetch made past the frame's count belongs
  // to the next frame.
  m.FetchCount -= std::min<uint32_t>(m.FetchCount, f.fetches);
  ++s.frame;
  if (!SettleOnFrame(s)) {
    Finish(emu);
    return;
  }
  EnterFrame(emu);
}

bool SetRzxLog(Emulator& emu, const std::string& path, bool on) {
  RzxSession& s = emu.rzx;
  CloseRzxLog(emu);
  if (!on || !s.playing) return !on;
  LogFile log(new ReplacingFile);
  if (log->Open(path) != WriteFailure::None) return false;
  log->Write(
      "Frame  Expected  Actual  Expected  Actual\nNumber  Fetch    Fetch    Input    Input\n");
  s.log = std::move(log);
  s.logPath = path;
  return true;
}

void UpdateRzxMenus(Emulator& emu, RzxMenuAfter after) {
  const RzxSession& s = emu.rzx;
  MenuStates& menu = emu.menu;
  // The items, in menu order: Play..., Stop..., Record, Stop Recording, Continue Recording,
  // Finalise Recording, RZX Logging and Info; 'E' enabled, 'G' greyed, '-' left as it is.
  static constexpr CommandId kItems[] = {CommandId::RzxPlay,     CommandId::RzxStop,
                                         CommandId::RzxRecord,   CommandId::RzxStopRecording,
                                         CommandId::RzxContinue, CommandId::RzxFinalise,
                                         CommandId::RzxLogging,  CommandId::RzxInfo};
  const char* states = "--------";
  switch (after) {
    case RzxMenuAfter::Play: states = "GEEGGGEE"; break;
    case RzxMenuAfter::Stop: states = "EGEGGGEE"; break;
    case RzxMenuAfter::Record: states = "GGGEGGEG"; break;
    case RzxMenuAfter::StopRecording: states = "EGEGEEEG"; break;
    case RzxMenuAfter::Continue: states = "EGGEGGEG"; break;
    case RzxMenuAfter::Finalise: states = "EGGEGEEG"; break;
    case RzxMenuAfter::Bookmark: states = "---E-EEG"; break;
    case RzxMenuAfter::GoToBookmark: states = "------EG"; break;
    case RzxMenuAfter::Logging: break;
  }
  for (size_t i = 0; i < std::size(kItems); ++i) {
    if (states[i] != '-') menu.Enable(kItems[i], states[i] == 'E');
  }
  // The debugger does not open over a recording being played: the recording drives the machine.
  menu.Enable(CommandId::Debugger, !s.playing);
  menu.Check(CommandId::RzxLogging, s.log != nullptr);
  menu.Enable(CommandId::RzxAddBookmark, s.recording);
  menu.Enable(CommandId::RzxFromBookmark, s.recording && !s.rollbacks.empty());
  menu.Enable(CommandId::RzxGoToBookmark, s.recording && !s.rollbacks.empty());
}

}  // namespace orvo
