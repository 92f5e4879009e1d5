// The configuration's live, pending and loaded settings and how they are put into effect, and
// the windows' placements. Reading orvo.ini is in config_parse.cpp, writing it in config_save.cpp,
// the defaults in config_defaults.cpp and the options sheet's rules in config_options.cpp.
#include "shell/config.h"

#include <algorithm>

#include "devices/device.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "shell/config_internal.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/window_commands.h"
#include "video/palette.h"

namespace orvo {

namespace config_detail {

void ApplyKeyboardIssue(Emulator& emu) {
  MachineState& m = emu.m;
  const bool issue3 = emu.settings.KeyboardIssue != 0;
  if (m.MachineModel == kModel16K) {
    m.Issue3Keyboard = 0;
  } else if (Is128KFamily(m.MachineModel)) {
    m.Issue3Keyboard = 1;
  } else {
    m.Issue3Keyboard = issue3 ? 1 : 0;
  }
  m.IssueMask = m.Issue3Keyboard ? 0x10 : 0x18;
}

void ApplyModel(Emulator& emu) {
  emu.m.MachineModel = static_cast<uint8_t>(emu.settings.ModelType);
}

void SetViewMenuChecks(Emulator& emu) {
  const int32_t size = emu.settings.DrawSize;
  if (size < 1 || size > 3) return;
  emu.menu.Check(CommandId::View100, size == 1);
  emu.menu.Check(CommandId::View200, size == 2);
  emu.menu.Check(CommandId::View300, size == 3);
  emu.menu.Check(CommandId::Fullscreen, false);
}

void SetCurrentFoldersFromConfigured(Folders& f) {
  f.CurrentRomDir = f.ConfiguredRomDir;
  f.CurrentSnapDir = f.ConfiguredSnapDir;
  f.CurrentTapeDir = f.ConfiguredTapeDir;
  f.CurrentDownloadDir = f.ConfiguredDownloadDir;
}

void SetUpDisplay(Emulator& emu) {
  ApplyPalette(emu.m);
  emu.host.SetUpDisplay();
}

void SwitchToRecreatedKeyboard(MachineState& m) {
  ReleaseAllKeys(m);
  m.input.CapsLatched = 0;
  m.input.SymbolLatched = 0;
}

void ApplyStickModes(Emulator& emu) {
  const Settings& s = emu.settings;
  InputState& in = emu.m.input;
  if (s.JoystickType != 0) {
    in.JoystickActive = 1;
    in.KeystickActive = 0;
  }
  if (s.KeystickType != 0) {
    in.KeystickActive = 1;
    in.JoystickActive = 0;
  }
  in.MouseWanted = s.MouseType != 0 ? 1 : 0;
  // The rewind history is kept from the moment the settings are in use, not only after the
  // options sheet's OK.
  emu.config.RewindTimerRunning = s.Rewind != 0;
  emu.menu.Check(CommandId::EnableKeystick, in.KeystickActive != 0);
}

}  // namespace config_detail

using namespace config_detail;

// ---- tables ----

const char* PlacementKey(Placement which) {
  const auto i = static_cast<size_t>(which);
  return i < static_cast<size_t>(kPlacementCount) ? kPlacementKeys[i] : "";
}

const char* RomFileNameForModel(int model) {
  return model >= 0 && model < kModelCount ? RomDisplayNames[model] : nullptr;
}

std::string ConfigFilePath(const Emulator& emu) {
  // Without a configuration folder there is no file: never fall back to the file system's root.
  if (emu.folders.ConfigFolder.empty()) return {};
  return emu.folders.ConfigFolder + "/orvo.ini";
}

// ---- ranges ----

void ClampSettings(Settings& s) {
  if (s.EmulationSpeed != s.EmulationSpeed) s.EmulationSpeed = 100.0f;  // NaN: the real speed
  s.EmulationSpeed = std::clamp(s.EmulationSpeed, 2.0f, 1000.0f);
  s.DrawSize = std::clamp(s.DrawSize, 1, 4);
  s.SpoolSpeed = std::clamp(s.SpoolSpeed, 5, 30);
}

// ---- the three copies ----

void CapturePendingSettings(Emulator& emu) {
  const MachineState& m = emu.m;
  emu.ReadBackMachineSettings();
  emu.PendingSettings = emu.settings;
  // A snapshot may have switched the model since the settings were applied: the machine's model
  // is the live one.
  emu.PendingSettings.ModelType = m.MachineModel;
  ConfigState& c = emu.config;
  const Folders& f = emu.folders;
  c.PendingRomDir = f.CurrentRomDir;
  c.PendingSnapDir = f.CurrentSnapDir;
  c.PendingTapeDir = f.CurrentTapeDir;
  c.PendingDownloadDir = f.CurrentDownloadDir;
  c.PendingRomFileName = c.RomFileName;
  c.PendingFolderTyped = {};
}

void ApplyPendingSettings(Emulator& emu) {
  MachineState& m = emu.m;
  ConfigState& c = emu.config;
  emu.settings = emu.PendingSettings;
  emu.ApplyMachineSettings();
  ApplyModel(emu);
  ApplyKeyboardIssue(emu);
  if (emu.settings.JoystickType == 0) m.input.JoystickActive = 0;  // the game controller is let go
  Folders& f = emu.folders;
  // A typed folder gets the separator that file names are joined on.
  for (int row = 0; row < 4; ++row) {
    std::string* folder = OptionsPendingFolder(emu, row);
    if (c.PendingFolderTyped[static_cast<size_t>(row)] && !folder->empty() && folder->back() != '/')
      folder->push_back('/');
  }
  c.PendingFolderTyped = {};
  f.ConfiguredRomDir = c.PendingRomDir;
  f.ConfiguredSnapDir = c.PendingSnapDir;
  f.ConfiguredTapeDir = c.PendingTapeDir;
  f.ConfiguredDownloadDir = c.PendingDownloadDir;
  SetCurrentFoldersFromConfigured(f);
  c.RomFileName = c.PendingRomFileName;
  UpdateDevices(m);  // add-ons fitted or removed: the port decoder and overlays follow
}

void ApplyLoadedSettings(Emulator& emu) {
  MachineState& m = emu.m;
  const std::string customRomPath = emu.settings.CustomRomPath;  // not a value of the file
  emu.settings = emu.LoadedSettings;
  emu.settings.CustomRomPath = customRomPath;
  emu.ApplyMachineSettings();
  ApplyModel(emu);
  ApplyKeyboardIssue(emu);
  if (emu.settings.RecreatedSpectrum != 0) SwitchToRecreatedKeyboard(m);
  ApplyStickModes(emu);
  SetCurrentFoldersFromConfigured(emu.folders);
  if (emu.settings.DrawSize == 4) emu.settings.DrawSize = 1;  // full screen is not restored
  SetViewMenuChecks(emu);
  SetUpMachine(emu);
  SetUpDisplay(emu);
  SetRomFileNameFromModel(emu);
}

void SetRomFileNameFromModel(Emulator& emu) {
  if (const char* name = RomFileNameForModel(emu.m.MachineModel)) emu.config.RomFileName = name;
}

// ---- placements ----

WindowPosition GetWindowPlacement(const Emulator& emu, Placement which) {
  const auto i = static_cast<size_t>(which);
  return i < static_cast<size_t>(kPlacementCount) ? emu.config.placements.windows[i]
                                                  : WindowPosition{};
}

void SetWindowPlacement(Emulator& emu, Placement which, WindowPosition position) {
  const auto i = static_cast<size_t>(which);
  if (i < static_cast<size_t>(kPlacementCount)) emu.config.placements.windows[i] = position;
}

}  // namespace orvo
