#include "shell/window_commands.h"

#include "shell/beta_disk_commands.h"
#include "shell/config.h"
#include "shell/disk_commands.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/machine_setup.h"
#include "shell/microdrive_commands.h"
#include "shell/snapshot_save.h"
#include "sound/sound_output.h"
#include "tape/tape_player.h"

namespace orvo {

bool SoundShouldPlay(const MachineState& m) {
  return !m.Paused && !m.FocusPaused && !m.FullSpeed;
}

void TogglePause(Emulator& emu) {
  MachineState& m = emu.m;
  m.Paused = m.Paused ? 0 : 1;
  // The ring stops while paused; resuming starts it afresh (unless full speed keeps it off).
  PauseSound(m, SoundShouldPlay(m) ? 0 : 1);
}

void ToggleFullSpeed(Emulator& emu) {
  MachineState& m = emu.m;
  m.FullSpeed = m.FullSpeed ? 0 : 1;
  PauseSound(m, SoundShouldPlay(m) ? 0 : 1);
  m.sound.SampleAccumulator = 0;
}

void HardResetCommand(Emulator& emu) {
  // The ROM files are read again: an image replaced on disk is the one the machine starts from.
  LoadRoms(emu);
  ResetMachine(emu, true);
}

void ToggleKeystick(Emulator& emu) {
  InputState& in = emu.m.input;
  in.KeystickActive = in.KeystickActive ? 0 : 1;
  if (!in.KeystickActive) in.HostKeysHeld = 0;  // nothing stays held from the last use
  emu.menu.Check(CommandId::EnableKeystick, in.KeystickActive != 0);
}

void GenerateNmi(Emulator& emu) {
  emu.m.NmiRequest = 1;
}

void SetDrawSize(Emulator& emu, int size) {
  if (size < 1 || size > 3) size = 1;
  emu.settings.DrawSize = size;
  UpdateViewChecks(emu);
}

void UpdateViewChecks(Emulator& emu) {
  const int size = emu.settings.DrawSize;
  emu.menu.Check(CommandId::View100, size == 1);
  emu.menu.Check(CommandId::View200, size == 2);
  emu.menu.Check(CommandId::View300, size == 3);
  emu.menu.Check(CommandId::Fullscreen, size == 4);
  emu.menu.Check(CommandId::Vsync, emu.settings.Vsync != 0);
}

void ToggleVsync(Emulator& emu) {
  emu.settings.Vsync = emu.settings.Vsync ? 0 : 1;
  emu.menu.Check(CommandId::Vsync, emu.settings.Vsync != 0);
}

bool ConfirmQuit(Emulator& emu) {
  MachineState& m = emu.m;
  m.Paused = 1;
  PauseSound(m, 1);
  if (emu.settings.ExitMsg && !emu.host.AskYesNo("Exit", "Are you sure you want to quit Orvo?")) {
    m.Paused = 0;
    if (SoundShouldPlay(m)) PauseSound(m, 0);
    return false;
  }
  return true;
}

void ShutDown(Emulator& emu) {
  emu.m.Paused = 1;
  // A fast load in progress has the frame skip and full speed of its own: the saved settings
  // are the user's.
  StopTape(emu.m);
  // Every cartridge goes back to its file.
  EjectAllCartridges(emu);
  SaveChangedDisks(emu);
  SaveChangedBetaDisks(emu);
  SaveConfig(emu);
  CloseSound(emu.m);
}

int InstantSnapshotSave(Emulator& emu) {
  if (!emu.settings.SnapshotSave) return 1;
  // The file this run last loaded or saved a snapshot to is overwritten with the machine as it
  // stands now; before there is one, nothing is written.
  const std::string path = emu.files.InstantSavePath;
  if (path.empty()) {
    emu.ShowMessage(CaptionId::Error, kMsgNothingToInstantSave);
    return 1;
  }
  const FileKind kind = SaverKindForPath(path);
  if (kind == FileKind::None) {
    emu.ShowMessage(CaptionId::Error, kMsgUnknownExtension);
    return 1;
  }
  return SaveSnapshotKind(emu, path, kind) == kSaved ? 0 : 1;
}

MessageId HelpQuotation(uint32_t seed) {
  return static_cast<MessageId>(kMsgFirstQuotation + seed % kQuotationCount);
}

}  // namespace orvo
