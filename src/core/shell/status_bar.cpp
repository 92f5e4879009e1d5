#include "shell/status_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "formats/tape_image.h"
#include "shell/emulator.h"

namespace orvo {

bool UpdateStatusBar(Emulator& emu, StatusBar& bar) {
  MachineState& m = emu.m;
  if (m.Paused) return false;
  const uint64_t now = emu.host.GetClock().NowNanoseconds();
  if (bar.lastRefreshNs == 0) {
    // The first second is counted from the first pass, not from the clock's origin.
    bar.lastRefreshNs = now;
    return false;
  }
  if (now - bar.lastRefreshNs <= 999'000'000ull) return false;

  if (bar.shown) {
    char text[64];
    bar.parts[0] = !m.ModelName.empty()          ? m.ModelName
                   : m.spec.modelName != nullptr ? m.spec.modelName
                                                 : "";
    std::snprintf(text, sizeof text, " Frames Per Second: %u ", m.FramesThisSecond);
    bar.parts[1] = text;
    std::snprintf(text, sizeof text, " Speed: %u%%", m.FramesThisSecond * 2);
    bar.parts[2] = text;
    bar.parts[3].clear();
    // At 200% there is room for what is in the machine; a later line replaces an earlier one.
    if (emu.settings.DrawSize == 2 && !m.input.MouseCaptured) {
      const std::string& name = emu.files.StatusFileName;
      const RzxSession& r = emu.rzx;
      if (m.tape.image) bar.parts[3] = " Current Tape: " + name;
      if (m.DiskPresent) bar.parts[3] = " Current Disk: " + name;
      if (r.playing) {
        const uint64_t total = r.file.TotalFrames();
        const unsigned percent =
            total == 0
                ? 0u
                : static_cast<unsigned>(std::min<uint64_t>(r.framesPlayed, total) * 100 / total);
        char playing[96];
        std::snprintf(playing, sizeof playing, " RZX playing: %u%%   %s / %s", percent,
                      RzxDurationText(r.framesPlayed).c_str(), RzxDurationText(total).c_str());
        bar.parts[3] = playing;
      }
      if (r.recording) bar.parts[3] = " RZX recording:  " + RzxDurationText(r.file.TotalFrames());
      if (emu.files.SnapshotLoaded) bar.parts[3] = " Current Snap: " + name;
    }
  }
  // The Microdrive lamp: a drive moved its tape during the last second.
  const MicrodriveState& drives = m.microdrives;
  if (drives.transfers != bar.microdriveTransfers && drives.selected < kMicrodriveCount) {
    bar.parts[3] = " Microdrive " + std::to_string(drives.selected + 1) + " running";
  }
  bar.microdriveTransfers = drives.transfers;
  if (m.input.MouseCaptured) {
    char text[96];
    const InputState& in = m.input;
    if (m.settings.MouseType == 2) {
      std::snprintf(text, sizeof text, " Mouse X pos: - %03d  Mouse_Y pos - %03d hooked = %d",
                    in.KempstonX, in.KempstonY, in.MouseCaptured);
    } else {
      std::snprintf(text, sizeof text, " X pos: - %d  Y pos - %03d OX pos - %03d OY pos - %03d",
                    in.AmxX, in.AmxY, in.AmxLastX, in.AmxLastY);
    }
    // The way out is shown while the pointer is held: it cannot leave the window by itself.
    bar.parts[3] = std::string(text) + "  (" + MessageText(kMsgMouseReleaseKey) + ")";
  }
  m.FramesThisSecond = 0;
  bar.lastRefreshNs = now;
  ++bar.refreshes;
  return true;
}

std::string TapeStartHint(const Emulator& emu) {
  const MachineState& m = emu.m;
  if (!m.tape.image || emu.settings.Autoload != 0 || m.TapePlaying) return {};
  const TapeBlock* current = m.tape.image->current;
  if (current != nullptr && current->index != 0) return {};
  // The 128K and +2 menus call their loader "Tape Loader", the +2A and +3 menus "Loader"; the
  // 48K's LOAD is the J key, and its quote SYMBOL SHIFT (Ctrl) with P.
  switch (m.MachineModel) {
    case kModel128K:
    case kModelPlus2: return "Tape: choose Tape Loader, press Enter, then F11 to play";
    case kModelPlus2A:
    case kModelPlus3: return "Tape: choose Loader, press Enter, then F11 to play";
    default: return "Tape: type LOAD \"\" (J, Ctrl+P, Ctrl+P), Enter, then F11 to play";
  }
}

}  // namespace orvo
