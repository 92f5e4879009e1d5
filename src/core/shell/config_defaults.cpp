// "Default Configuration": every setting, folder and placement back to its default.
#include "machine/model.h"
#include "shell/config.h"
#include "shell/config_internal.h"
#include "shell/data_folders.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/sound_setup.h"

namespace orvo {

void config_detail::RestoreDefaults(Emulator& emu) {
  MachineState& m = emu.m;
  emu.settings = Settings{};
  emu.ApplyMachineSettings();
  ApplyModel(emu);
  ApplyKeyboardIssue(emu);
  Folders& f = emu.folders;
  const std::string& program = f.ProgramFolder;
  // The user's own folders, never beside an installed program (which the user cannot write to);
  // the ROMs beside the program and the installation's are searched after the ROM folder anyway.
  f.ConfiguredRomDir = f.CurrentRomDir = DefaultUserFolder(program, "roms");
  f.ConfiguredSnapDir = f.CurrentSnapDir = DefaultUserFolder(program, "snapshots");
  f.ConfiguredTapeDir = f.CurrentTapeDir = DefaultUserFolder(program, "tapes");
  f.ConfiguredDownloadDir = f.CurrentDownloadDir = DefaultUserFolder(program, "downloads");
  f.LibsFolder = FindLibsFolder(program);
  emu.config.placements = DefaultWindowPlacements();
  m.input.KeystickActive = 0;
  m.input.JoystickActive = 0;
  m.input.MouseWanted = 0;
  SetViewMenuChecks(emu);
  SetUpMachine(emu);
  SetUpDisplay(emu);
  emu.config.RomFileName = RomFileNameForModel(kModel48K);
  ResetMachine(emu, true);
}

void ResetConfig(Emulator& emu) {
  config_detail::RestoreDefaults(emu);
  SaveConfig(emu);
  config_detail::SetUpDisplay(emu);
  ReopenSound(emu);
}

}  // namespace orvo
