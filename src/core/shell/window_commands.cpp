#include "shell/window_commands.h"

#include "shell/emulator.h"

namespace orvo {

void TogglePause(Emulator& emu) {
  emu.m.Paused = emu.m.Paused ? 0 : 1;
}

void ToggleFullSpeed(Emulator& emu) {
  emu.m.FullSpeed = emu.m.FullSpeed ? 0 : 1;
}

void GenerateNmi(Emulator& emu) {
  emu.m.NmiRequest = 1;
}

void SetDrawSize(Emulator& emu, int size) {
  if (size < 1 || size > 3) size = 1;
  emu.m.settings.DrawSize = size;
  UpdateViewChecks(emu);
}

void UpdateViewChecks(Emulator& emu) {
  const int size = emu.m.settings.DrawSize;
  emu.menu.Check(cmd::kView100, size == 1);
  emu.menu.Check(cmd::kView200, size == 2);
  emu.menu.Check(cmd::kView300, size == 3);
  emu.menu.Check(cmd::kFullscreen, size == 4);
  emu.menu.Check(cmd::kVsync, emu.m.settings.Vsync != 0);
}

void ToggleVsync(Emulator& emu) {
  emu.m.settings.Vsync = emu.m.settings.Vsync ? 0 : 1;
  emu.menu.Check(cmd::kVsync, emu.m.settings.Vsync != 0);
}

bool ConfirmQuit(Emulator& emu) {
  MachineState& m = emu.m;
  m.Paused = 1;
  if (m.settings.ExitMsg && !emu.host.AskYesNo("Exit", "Are you sure you want to quit Orvo?")) {
    m.Paused = 0;
    return false;
  }
  return true;
}

void ShutDown(Emulator& emu) {
  emu.m.Paused = 1;
}

MessageId HelpQuotation(uint32_t seed) {
  return static_cast<MessageId>(160 + seed % 20);
}

}  // namespace orvo
