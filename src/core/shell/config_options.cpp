// The options sheet's rules: what each page's controls do to the pending settings, and OK.
#include <filesystem>

#include "machine/model.h"
#include "shell/addon_commands.h"
#include "shell/config.h"
#include "shell/config_internal.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/microdrive_commands.h"
#include "shell/sound_setup.h"
#include "shell/window_commands.h"
#include "sound/sound_output.h"

namespace orvo {

namespace fs = std::filesystem;
using namespace config_detail;

void BeginOptions(Emulator& emu) {
  CapturePendingSettings(emu);
  emu.config.HardwareChanged = false;
}

void OptionsChooseModel(Emulator& emu, int model) {
  Settings& p = emu.PendingSettings;
  p.ModelType = model;
  p.CustomRom = 0;
  if (model == kModel128K) p.KeyboardIssue = 1;
  if (const char* name = RomFileNameForModel(model)) emu.config.PendingRomFileName = name;
  emu.config.HardwareChanged = true;
}

void OptionsChooseCustomRom(Emulator& emu, const std::string& path) {
  Settings& p = emu.PendingSettings;
  p.CustomRomPath = path;
  p.ModelType = kModelCustom;
  p.CustomRom = 1;
  emu.config.PendingRomFileName = fs::path(path).filename().string();
  emu.config.HardwareChanged = true;
}

bool OptionsInterface1Allowed(const Emulator& emu) {
  return ModelTakesAddon(emu.m.MachineModel, Addon::kInterface1);
}

bool OptionsFullerAyAllowed(const Emulator& emu) {
  return !Is128KFamily(emu.m.MachineModel);
}

void OptionsSetInterface1(Emulator& emu, bool on) {
  emu.PendingSettings.Interface1 = on && OptionsInterface1Allowed(emu) ? 1 : 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetMultiface(Emulator& emu, bool on) {
  Settings& p = emu.PendingSettings;
  p.Multiface = on ? 1 : 0;
  if (on) p.FullerAy = 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetFullerAy(Emulator& emu, bool on) {
  Settings& p = emu.PendingSettings;
  p.FullerAy = on && OptionsFullerAyAllowed(emu) ? 1 : 0;
  if (p.FullerAy) p.Multiface = 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetPeripheral(Emulator& emu, int32_t Settings::*field, bool on) {
  emu.PendingSettings.*field = on ? 1 : 0;
  if (field != &Settings::Z80IsCmos) emu.config.HardwareChanged = true;
}

void OptionsSetLateTiming(Emulator& emu, bool on) {
  emu.PendingSettings.LateTiming = on ? 1 : 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetContention(Emulator& emu, bool on) {
  emu.PendingSettings.Contention = on ? 1 : 0;
  emu.config.HardwareChanged = true;
}

bool OptionsKeyboardIssueEnabled(const Emulator& emu) {
  return emu.m.MachineModel == kModel48K;
}

void OptionsSetKeystickType(Emulator& emu, int type) {
  Settings& p = emu.PendingSettings;
  p.KeystickType = type;
  if (type != 0) {
    p.JoystickType = 0;
    emu.m.input.JoystickActive = 0;
    emu.m.input.KeystickActive = 1;
  }
}

void OptionsSetJoystickType(Emulator& emu, int type) {
  Settings& p = emu.PendingSettings;
  p.JoystickType = type;
  if (type != 0) p.KeystickType = 0;
}

std::string* OptionsPendingFolder(Emulator& emu, int row) {
  ConfigState& c = emu.config;
  switch (row) {
    case 0: return &c.PendingRomDir;
    case 1: return &c.PendingSnapDir;
    case 2: return &c.PendingTapeDir;
    case 3: return &c.PendingDownloadDir;
    default: return nullptr;
  }
}

void OptionsSetFolderFromPicker(Emulator& emu, int row, const std::string& folder) {
  std::string* pending = OptionsPendingFolder(emu, row);
  if (pending == nullptr || folder.empty()) return;
  // The picker gives a folder without a trailing separator; everything that joins a folder and a
  // file name relies on it being there.
  *pending = folder;
  if (pending->back() != '/') pending->push_back('/');
  emu.config.PendingFolderTyped[static_cast<size_t>(row)] = false;
}

void OptionsSetFolderFromText(Emulator& emu, int row, const std::string& text) {
  std::string* pending = OptionsPendingFolder(emu, row);
  if (pending == nullptr) return;
  *pending = text.substr(0, 80);
  emu.config.PendingFolderTyped[static_cast<size_t>(row)] = true;
}

std::string FolderFieldText(const std::string& folder) {
  const size_t slash = folder.find_last_of('/');
  return slash == std::string::npos ? folder : folder.substr(0, slash + 1);
}

void OptionsOk(Emulator& emu) {
  MachineState& m = emu.m;
  ConfigState& c = emu.config;
  ApplyPendingSettings(emu);
  SetUpDisplay(emu);
  Settings& s = emu.settings;
  if (m.MachineModel == kModelPlus3 && s.CrcByte == 2) s.CrcByte = 255;
  if (s.Interface1 != 0) {
    LoadInterface1Rom(emu);  // read again: the ROM folder may have changed
  } else {
    UpdateInterface1(emu);
  }
  emu.menu.Enable(CommandId::Microdrives, s.Interface1 != 0);
  if (s.Rewind != 0) {
    ++c.RewindHistoryClears;
    c.RewindTimerRunning = true;
  } else {
    c.RewindTimerRunning = false;
  }
  if (s.MouseType != 0) m.input.MouseWanted = 1;
  // The sound output opens again with the new rate, depth and volume.
  CloseSound(m);
  InitSound(emu);
  m.FocusPaused = 0;
  if (c.HardwareChanged) {
    SetUpMachine(emu);
    SetRomFileNameFromModel(emu);
    ResetMachine(emu, true);
  }
  SetUpDisplay(emu);
  if (s.RecreatedSpectrum != 0) SwitchToRecreatedKeyboard(m);
  c.HardwareChanged = false;
}

}  // namespace orvo
