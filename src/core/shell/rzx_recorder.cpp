// Recording an input recording: the running machine as an SZX snapshot, then per frame the opcode
// fetch count and every port value read; rollback points keep the machine at chosen frames so the
// recording can go back to one and go on from there.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "machine/typing.h"
#include "rzx/rzx_interrupt.h"
#include "rzx/rzx_session.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/snapshot_load.h"
#include "shell/snapshot_save.h"

namespace orvo {

namespace {

uint8_t RecordRead(void* context, uint8_t value) {
  static_cast<RzxSession*>(context)->frameValues.push_back(value);
  return value;
}

void Hook(Emulator& emu) {
  emu.m.PortReadHook = RecordRead;
  emu.m.PortReadHookContext = &emu.rzx;
  emu.m.FetchCount = 0;
  emu.rzx.frameValues.clear();
}

std::string RzxPath(const std::string& path) {
  return std::filesystem::path(path).replace_extension(".rzx").string();
}

RzxInputBlock& Recorded(RzxSession& s) {
  if (s.file.inputs.empty()) s.file.inputs.emplace_back();
  return s.file.inputs.front();
}

}  // namespace

// Typed text goes to the ROM's key variables, not through the keyboard ports a recording keeps:
// it would be missing from the replay, so typing and recording exclude each other.
constexpr const char* kRecordWhileTyping =
    "Cannot start an RZX recording while text is being typed in: wait until the text has been "
    "typed";
constexpr const char* kTypeWhileRecording =
    "Cannot type text in while an RZX recording is being made: the recording would not hold it";

bool RzxAllowsTyping(Emulator& emu) {
  if (!emu.rzx.recording) return true;
  emu.host.ShowPlainMessage("RZX", kTypeWhileRecording);
  return false;
}

bool StartRzxRecording(Emulator& emu, const std::string& path) {
  RzxSession& s = emu.rzx;
  if (TypingActive(emu.m)) {
    emu.host.ShowPlainMessage("RZX", kRecordWhileTyping);
    return false;
  }
  StopRzxPlayback(emu);
  s.file = RzxFile{};
  s.loaded = false;
  s.file.snapshot.flags = 2;
  s.file.snapshot.extension = {'S', 'Z', 'X', '\0'};
  s.file.snapshot.data = BuildSZX(emu);
  s.file.snapshotCount = 1;
  RzxInputBlock block;
  block.flags = 2;
  block.startTState = emu.m.FrameTState;
  s.file.inputs = {std::move(block)};
  s.outputPath = RzxPath(path);
  s.rollbacks.clear();
  s.recording = true;
  emu.files.SnapshotLoaded = 0;
  Hook(emu);
  UpdateRzxMenus(emu, RzxMenuAfter::Record);
  return true;
}

void RzxRecordFrame(Emulator& emu) {
  RzxSession& s = emu.rzx;
  MachineState& m = emu.m;
  RzxInputBlock& b = Recorded(s);
  RzxFrame f;
  f.fetches = static_cast<uint16_t>(m.FetchCount < 0xFFFF ? m.FetchCount : 0xFFFF);
  f.reads = static_cast<uint32_t>(s.frameValues.size());
  f.first = static_cast<uint32_t>(b.values.size());
  b.values.insert(b.values.end(), s.frameValues.begin(), s.frameValues.end());
  b.frames.push_back(f);
  s.frameValues.clear();
  m.FetchCount = 0;
}

void RzxRecordInterruptWindow(Emulator& emu) {
  RzxSession& s = emu.rzx;
  MachineState& m = emu.m;
  if (!m.InterruptArmed) return;
  while (m.FrameTState < m.InterruptLength()) {
    if (RzxInterruptTakenHere(m)) {
      if (m.FetchCount == 0) return;  // on the boundary already
      // Taken late: what ran before it ends the frame before. The first frame of a recording
      // has none before it, so the instructions become a short frame of their own.
      RzxInputBlock& b = Recorded(s);
      if (b.frames.empty()) {
        b.frames.push_back(RzxFrame{});
        b.frames.back().first = static_cast<uint32_t>(b.values.size());
      }
      RzxFrame& f = b.frames.back();
      f.fetches = static_cast<uint16_t>(std::min<uint32_t>(f.fetches + m.FetchCount, 0xFFFF));
      f.reads += static_cast<uint32_t>(s.frameValues.size());
      b.values.insert(b.values.end(), s.frameValues.begin(), s.frameValues.end());
      s.frameValues.clear();
      m.FetchCount = 0;
      return;
    }
    StepInstruction(emu);
  }
}

void RzxRecordDeviceInterrupt(Emulator& emu, uint8_t vector) {
  RzxSession& s = emu.rzx;
  MachineState& m = emu.m;
  RzxRecordInterruptWindow(emu);
  if (vector == 0xFF || m.FrameTState >= m.InterruptLength() || !RzxInterruptTakenHere(m)) return;
  s.file.busVectors.push_back({static_cast<uint32_t>(Recorded(s).frames.size()), vector});
}

bool WriteRzxFile(Emulator& emu, const std::string& path) {
  return WriteFileReplacing(path, WriteRZX(emu.rzx.file));
}

bool StopRzxRecording(Emulator& emu) {
  RzxSession& s = emu.rzx;
  if (!s.recording) return false;
  const bool ok = WriteRzxFile(emu, s.outputPath);
  if (!ok) emu.ShowMessage(CaptionId::File, kMsgCannotSaveSnapshot);
  s.recording = false;
  if (emu.m.PortReadHookContext == &s) {
    emu.m.PortReadHook = nullptr;
    emu.m.PortReadHookContext = nullptr;
  }
  UpdateRzxMenus(emu, RzxMenuAfter::StopRecording);
  return ok;
}

void RzxMachineReplaced(Emulator& emu) {
  if (emu.rzx.playing) StopRzxPlayback(emu);
  if (emu.rzx.recording) StopRzxRecording(emu);
}

void AddRollbackPoint(Emulator& emu) {
  RzxSession& s = emu.rzx;
  if (!s.recording) return;
  RollbackPoint p;
  p.snapshot = BuildSZX(emu);
  p.frame = Recorded(s).frames.size();
  char label[32];
  std::snprintf(label, sizeof label, "%.2f", static_cast<double>(p.frame) * 0.02);
  p.label = label;
  s.rollbacks.push_back(std::move(p));
  UpdateRzxMenus(emu, RzxMenuAfter::Bookmark);
}

bool RollBackTo(Emulator& emu, size_t index) {
  RzxSession& s = emu.rzx;
  if (!s.recording || index >= s.rollbacks.size()) return false;
  s.rollbacks.resize(index + 1);
  const RollbackPoint& p = s.rollbacks.back();
  if (LoadSZX(emu, p.snapshot) != 0) return false;
  RzxInputBlock& b = Recorded(s);
  if (p.frame < b.frames.size()) {
    b.frames.resize(p.frame);
    b.values.resize(b.frames.empty() ? 0 : b.frames.back().first + b.frames.back().reads);
  }
  std::erase_if(s.file.busVectors, [&p](const RzxBusVector& v) { return v.frame >= p.frame; });
  // The point was taken between frames, with the next frame's interrupt still to come.
  emu.m.InterruptArmed = 1;
  Hook(emu);
  UpdateRzxMenus(emu, RzxMenuAfter::Bookmark);
  return true;
}

bool RollBackToLast(Emulator& emu) {
  return !emu.rzx.rollbacks.empty() && RollBackTo(emu, emu.rzx.rollbacks.size() - 1);
}

bool RecordFromRollback(Emulator& emu, const std::string& path) {
  RzxSession& s = emu.rzx;
  // The bookmarks outlive a stopped recording: it can go on from the last of them.
  if (s.rollbacks.empty()) return false;
  const std::vector<uint8_t> snapshot = s.rollbacks.back().snapshot;
  if (LoadSZX(emu, snapshot) != 0) return false;
  emu.m.InterruptArmed = 1;
  s.recording = false;
  if (!StartRzxRecording(emu, path)) return false;
  UpdateRzxMenus(emu, RzxMenuAfter::Continue);
  return true;
}

}  // namespace orvo
