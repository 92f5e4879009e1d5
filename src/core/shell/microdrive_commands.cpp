#include "shell/microdrive_commands.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "devices/interface1.h"
#include "devices/microdrive.h"
#include "formats/file_io.h"
#include "formats/mdr_format.h"
#include "shell/data_folders.h"
#include "shell/emulator.h"
#include "shell/format_messages.h"
#include "shell/snapshot_save.h"

namespace orvo {

namespace fs = std::filesystem;

namespace {

// Reads the file when it holds at most `limit` bytes. A longer one is not read: it comes back
// as `limit` zero bytes, and callers pass one more than the longest file they take, so that
// counts as too long. False when the file cannot be opened or read.
bool ReadFileUpTo(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
  const ReadFailure read = ReadRegularFile(path, out, limit);
  if (read == ReadFailure::TooLarge) {
    out.assign(limit, 0);
    return true;
  }
  return read == ReadFailure::None;
}

// A file that the cartridge could not be written back to. Permission bits are looked at as
// well as access(): a process running as root may write anything, but a file nobody may write
// is one the user protected.
bool ReadOnlyFile(const std::string& path) {
  std::error_code ec;
  const fs::perms p = fs::status(path, ec).permissions();
  if (ec) return true;
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (p & write) == fs::perms::none || ::access(path.c_str(), W_OK) != 0;
}

void UpdateCartridgeMenu(Emulator& emu) {
  // Without a cartridge the view says so rather than being greyed.
  emu.menu.Enable(CommandId::ViewMicrodrive, true);
}

std::string FolderOf(const std::string& path) {
  return fs::path(path).parent_path().string();
}

}  // namespace

int LoadInterface1Rom(Emulator& emu) {
  MachineState& m = emu.m;
  // Looked for where the machine's own ROMs are.
  const std::vector<std::string> searched = RomSearchFolders(emu.folders);
  std::string path = FindInFolders(searched, "IF1.rom");
  if (path.empty()) path = (fs::path(emu.folders.CurrentRomDir) / "IF1.rom").string();
  std::vector<uint8_t> rom;
  int status = 0;
  if (!ReadFileUpTo(path, kInterface1RomSize + 1, rom)) {
    emu.ShowMessage(CaptionId::Error, kMsgRomMissing, RomMissingDetail(path, searched));
    status = 1;
  } else if (!SetInterface1Rom(m, rom)) {
    emu.ShowMessage(CaptionId::Error, kMsgRomLength);
    status = 1;
  }
  if (status != 0) {
    // The add-on stays off until a good ROM is found.
    FreeInterface1Rom(m);
    emu.settings.Interface1 = 0;
  }
  m.settings.Interface1 = emu.settings.Interface1;
  UpdateDevices(m);
  emu.menu.Enable(CommandId::Microdrives, emu.settings.Interface1 != 0);
  return status;
}

void UpdateInterface1(Emulator& emu) {
  MachineState& m = emu.m;
  const uint8_t model = m.MachineModel;
  const bool takesIt =
      model == kModel16K || model == kModel48K || model == kModel128K || model == kModelPlus2;
  if (emu.settings.Interface1 != 0 && takesIt) {
    if (m.If1Rom.size() != kInterface1RomSize) LoadInterface1Rom(emu);
  } else if (!m.If1Rom.empty()) {
    FreeInterface1Rom(m);
    UpdateDevices(m);
  }
  UpdateCartridgeMenu(emu);
}

int InsertCartridge(Emulator& emu, int drive, const std::string& path) {
  if (drive < 0 || drive >= kMicrodriveCount) return 1;
  std::vector<uint8_t> file;
  if (!ReadFileUpTo(path, kMdrFileSize + 1, file)) {
    emu.ShowMessage(CaptionId::File, kMsgCartridgeUnreadable);
    return 1;
  }
  std::vector<uint8_t> image;
  if (const FormatStatus s = ParseMdr(file, image); !s.Ok()) {
    emu.ShowMessage(CaptionId::File, FormatErrorMessage(s));
    return 1;
  }
  // Its changes could never be written back.
  if (ReadOnlyFile(path)) {
    emu.ShowMessage(CaptionId::File, kMsgCartridgeReadOnly);
    return 1;
  }
  MicrodriveState& s = emu.m.microdrives;
  if (s.drives[static_cast<size_t>(drive)].inserted && EjectCartridge(emu, drive) != 0) return 1;
  LoadCartridge(s, drive, std::move(image), path, fs::path(path).filename().string());
  s.lastPath = FolderOf(path);
  UpdateCartridgeMenu(emu);
  return 0;
}

int EjectCartridge(Emulator& emu, int drive) {
  if (drive < 0 || drive >= kMicrodriveCount) return 1;
  MicrodriveState& s = emu.m.microdrives;
  const MicrodriveUnit& d = s.drives[static_cast<size_t>(drive)];
  if (!d.inserted) return 0;
  if (!WriteFileReplacing(d.path, WriteMdr(d.image))) {
    emu.ShowMessage(CaptionId::File, kMsgCartridgeWriteFailed, d.path);
    return 1;
  }
  UnloadCartridge(s, drive);
  UpdateCartridgeMenu(emu);
  return 0;
}

int CreateCartridge(Emulator& emu, int drive, const std::string& path) {
  if (drive < 0 || drive >= kMicrodriveCount) return 1;
  MicrodriveState& s = emu.m.microdrives;
  if (s.drives[static_cast<size_t>(drive)].inserted && EjectCartridge(emu, drive) != 0) return 1;
  // A new cartridge comes unprotected: FORMAT must be able to write it.
  std::vector<uint8_t> image(kCartridgeImageSize, 0);
  if (!WriteFileReplacing(path, WriteMdr(image))) {
    emu.ShowMessage(CaptionId::File, kMsgCartridgeWriteFailed, path);
    return 1;
  }
  LoadCartridge(s, drive, std::move(image), path, fs::path(path).filename().string());
  s.lastPath = FolderOf(path);
  UpdateCartridgeMenu(emu);
  return 0;
}

int EjectAllCartridges(Emulator& emu) {
  int failed = 0;
  for (int n = 0; n < kMicrodriveCount; ++n) failed += EjectCartridge(emu, n);
  return failed;
}

void SetCartridgeProtected(Emulator& emu, int drive, bool protect) {
  if (drive < 0 || drive >= kMicrodriveCount) return;
  SetCartridgeWritable(emu.m.microdrives, drive, !protect);
}

}  // namespace orvo
