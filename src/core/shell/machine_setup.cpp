#include "shell/machine_setup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "formats/file_io.h"
#include "shell/addon_commands.h"
#include "shell/beta_disk_commands.h"
#include "shell/config.h"
#include "shell/config_internal.h"
#include "shell/data_folders.h"
#include "shell/emulator.h"
#include "shell/microdrive_commands.h"
#include "shell/window_commands.h"

namespace orvo {

namespace {

void SetRzxMenuIdle(MenuStates& menu) {
  menu.Enable(CommandId::RzxPlay, true);
  menu.Enable(CommandId::RzxRecord, true);
  menu.Enable(CommandId::Debugger, true);
  for (CommandId id : {CommandId::RzxStop, CommandId::RzxInfo, CommandId::RzxLogging,
                       CommandId::RzxStopRecording, CommandId::RzxContinue, CommandId::RzxFinalise})
    menu.Enable(id, false);
}

void EnableDiskCommands(MenuStates& menu, bool insert, bool eject) {
  menu.Enable(CommandId::InsertDiskA, insert);
  menu.Enable(CommandId::InsertDiskB, insert);
  menu.Enable(CommandId::NewDiskA, insert);
  menu.Enable(CommandId::NewDiskB, insert);
  menu.Enable(CommandId::EjectDiskA, eject);
  menu.Enable(CommandId::EjectDiskB, eject);
}

void EnableCartridgeCommands(MenuStates& menu, bool enabled) {
  menu.Enable(CommandId::If2Insert, enabled);
  menu.Enable(CommandId::If2Remove, enabled);
}

// The menu items that depend on the model's hardware.
void SetModelMenus(Emulator& emu) {
  MenuStates& menu = emu.menu;
  // The snapshot analyser reports the last opened file: there is none until one is opened.
  menu.Enable(CommandId::SnapshotAnalyser, !emu.files.AnalyserCopy.empty());
  // The views answer whatever is there: the printer's state with or without paper, and a word
  // that no Microdrive cartridge is in.
  menu.Enable(CommandId::ViewPrinterBuffer, true);
  menu.Enable(CommandId::ViewMicrodrive, true);
  const bool interface1 = emu.settings.Interface1 != 0;
  switch (emu.m.MachineModel) {
    case kModel16K:
    case kModel48K:
    case kModel128K:
      menu.Enable(CommandId::Microdrives, interface1);
      EnableDiskCommands(menu, false, false);
      EnableCartridgeCommands(menu, true);
      break;
    case kModelPlus2:
      menu.Enable(CommandId::Microdrives, false);
      EnableDiskCommands(menu, false, false);
      EnableCartridgeCommands(menu, true);
      break;
    case kModelPlus2A:
      menu.Enable(CommandId::Microdrives, false);
      EnableDiskCommands(menu, false, false);
      EnableCartridgeCommands(menu, false);
      break;
    case kModelPlus3:
      menu.Enable(CommandId::Microdrives, false);
      EnableDiskCommands(menu, true, true);
      EnableCartridgeCommands(menu, false);
      break;
    default:  // Custom: "Insert Disk" keeps its state
      menu.Enable(CommandId::Microdrives, false);
      menu.Enable(CommandId::EjectDiskA, false);
      menu.Enable(CommandId::EjectDiskB, false);
      EnableCartridgeCommands(menu, false);
      break;
  }
  // The Beta 128's four drives take the disk items over where it is fitted.
  UpdateBetaDiskMenus(emu);
}

// Reads the ROM image at `path` into `rom` (bufferSize bytes) when the file's length is `length`
// (or, with `altLength` non-zero, that). Returns 0, or 1 after the message, leaving `rom` empty.
int ReadRomImage(Emulator& emu, const std::filesystem::path& path, uintmax_t length,
                 uintmax_t altLength, size_t bufferSize, std::vector<uint8_t>& rom,
                 const std::vector<std::string>& searched = {}) {
  rom.clear();
  // Nothing longer than the longest ROM image is read: the length check refuses it anyway.
  std::vector<uint8_t> bytes;
  const ReadFailure read =
      ReadRegularFile(path.string(), bytes, std::max<uintmax_t>(length, altLength));
  if (read != ReadFailure::None && read != ReadFailure::TooLarge) {
    // The message names the file, then each folder it was looked for in, a line each.
    emu.ShowMessage(CaptionId::Error, kMsgRomMissing, RomMissingDetail(path.string(), searched));
    return 1;
  }

  const uintmax_t size = bytes.size();
  if (read == ReadFailure::TooLarge || (size != length && (altLength == 0 || size != altLength))) {
    emu.ShowMessage(CaptionId::Error, kMsgRomLength);
    return 1;
  }
  bytes.resize(bufferSize);
  rom = std::move(bytes);
  return 0;
}

// Reads the current model's ROM file into `rom` (RomBufferSize bytes). Returns 0, or 1 after the
// message, leaving `rom` empty.
int ReadRomFile(Emulator& emu, std::vector<uint8_t>& rom) {
  MachineState& m = emu.m;
  const uint8_t model = m.MachineModel;
  const bool custom = model == kModelCustom;
  std::filesystem::path path;
  std::vector<std::string> searched;
  const std::string& customPath = emu.settings.CustomRomPath;
  if (custom && customPath.find('/') != std::string::npos) {
    path = customPath;  // a path of its own: that file and no other
  } else {
    // The configured folder first, then where an installed or unpacked Orvo keeps its ROMs. A
    // custom ROM named without a folder is looked for in the same places.
    const std::string name = custom ? customPath : std::string(RomFileName(model));
    searched = RomSearchFolders(emu.folders);
    path = FindInFolders(searched, name);
    if (path.empty() && !name.empty())
      path = std::filesystem::path(emu.folders.CurrentRomDir) / name;
  }
  const int status = ReadRomImage(emu, path, custom ? 16384 : RomFileSize(model),
                                  custom ? 32768 : 0, RomBufferSize(model), rom, searched);
  if (status != 0) return status;
  emu.folders.LoadedRomPath = path.string();
  m.RomDisplayName = custom ? path.filename().string() : std::string(RomDisplayNames[model]);
  return 0;
}

}  // namespace

int ReadAddonRom(Emulator& emu, const char* fileName, size_t size, std::vector<uint8_t>& rom) {
  // Looked for where the machine's own ROMs are.
  const std::vector<std::string> searched = RomSearchFolders(emu.folders);
  std::filesystem::path path = FindInFolders(searched, fileName);
  if (path.empty()) path = std::filesystem::path(emu.folders.CurrentRomDir) / fileName;
  return ReadRomImage(emu, path, size, 0, size, rom, searched);
}

int LoadRoms(Emulator& emu) {
  std::vector<uint8_t> rom;
  const int status = ReadRomFile(emu, rom);
  LoadRomImage(emu.m, rom);
  return status;
}

void SetUpMachine(Emulator& emu) {
  MachineState& m = emu.m;
  // Only a corrupt configuration or snapshot names a model beyond the table; run a 48K then.
  if (m.MachineModel >= kModelCount) m.MachineModel = kModel48K;
  std::vector<uint8_t> rom;
  ReadRomFile(emu, rom);  // a failure has been reported; the machine runs on with a blank ROM
  LoadAddonRoms(emu);
  // What the machine changed in its settings itself is kept; the rest comes from the live ones.
  emu.ReadBackMachineSettings();
  emu.ApplyMachineSettings();
  SetUpMachine(m, m.MachineModel, rom);
  // The keyboard issue follows the option (or the model), never what the previous model left; a
  // snapshot that says otherwise sets it after this.
  config_detail::ApplyKeyboardIssue(emu);
  // Interface 1 on in the settings brings its ROM with the machine, at start-up too.
  UpdateInterface1(emu);
  SetRzxMenuIdle(emu.menu);
  SetModelMenus(emu);
}

void ResetMachine(Emulator& emu, bool hard) {
  ResetMachine(emu.m, hard);
}

}  // namespace orvo
