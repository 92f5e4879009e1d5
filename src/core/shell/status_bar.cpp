#include "shell/status_bar.h"

#include <cstdio>

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
    bar.parts[0] = m.spec.modelName != nullptr ? m.spec.modelName : "";
    std::snprintf(text, sizeof text, " Frames Per Second: %u ", m.FramesThisSecond);
    bar.parts[1] = text;
    std::snprintf(text, sizeof text, " Speed: %u%%", m.FramesThisSecond * 2);
    bar.parts[2] = text;
    bar.parts[3].clear();
  }
  m.FramesThisSecond = 0;
  bar.lastRefreshNs = now;
  ++bar.refreshes;
  return true;
}

}  // namespace orvo
