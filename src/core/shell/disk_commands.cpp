#include "shell/disk_commands.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "formats/dsk_format.h"
#include "machine/typing.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/file_dispatch.h"
#include "shell/format_messages.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/snapshot_load.h"
#include "shell/snapshot_save.h"

namespace orvo {

namespace {

// A file is mounted write-protected when nobody may write it (its mode has no write bit, which
// also holds for root) or this user may not.
bool FileReadOnly(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::perms p = fs::status(path, ec).permissions();
  if (ec) return true;
  if ((p & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) ==
      fs::perms::none)
    return true;
  return access(path.c_str(), W_OK) != 0;
}

bool SaveDisk(Emulator& emu, int drive) {
  Upd765& fdc = emu.m.Fdc;
  const std::string& path = emu.disks.path[drive];
  if (!fdc.DiskInserted(drive) || !fdc.Modified(drive) || emu.disks.readOnly[drive] || path.empty())
    return true;
  if (!WriteFileReplacing(path, WriteDsk(fdc.Disk(drive)))) {
    emu.ShowMessage(CaptionId::File, kMsgDiskSaveFailed, path);
    return false;
  }
  fdc.ClearModified(drive);
  return true;
}

void EjectDrive(Emulator& emu, int drive) {
  SaveDisk(emu, drive);
  emu.m.Fdc.EjectDisk(drive);
  emu.disks.path[drive].clear();
  emu.disks.readOnly[drive] = false;
}

}  // namespace

bool InsertDiskBytes(Emulator& emu, int drive, std::span<const uint8_t> bytes,
                     const std::string& path, bool writeProtect) {
  drive &= 1;
  // A refused image leaves the disk in the drive where it was.
  DiskImage image;
  if (const FormatStatus status = ParseDsk(bytes, image); !status.Ok()) {
    ShowFormatError(emu.host, status, path);
    return false;
  }
  EjectDrive(emu, drive);
  const bool readOnly = writeProtect || FileReadOnly(path);
  emu.m.Fdc.InsertDisk(drive, std::move(image), readOnly);
  emu.disks.path[drive] = path;
  emu.disks.readOnly[drive] = readOnly;
  emu.m.DiskPresent = 1;
  emu.m.DiskLampDrawn = 1;
  return true;
}

bool InsertDiskFile(Emulator& emu, int drive, const std::string& path) {
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) {
    emu.ShowMessage(CaptionId::File, failed);
    return false;
  }
  return InsertDiskBytes(emu, drive, bytes, path);
}

int InsertDiskCommand(Emulator& emu, int drive, const std::string& path) {
  drive &= 1;
  emu.disks.lastDrive = drive;
  if (path.empty()) {
    EjectDrive(emu, drive);
    return 1;
  }
  // The image is read and checked whole before anything changes: a refused one leaves the drive
  // and the machine as they were.
  if (MatchExtension(path) != FileKind::Dsk) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return 1;
  }
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) {
    emu.ShowMessage(CaptionId::File, failed);
    return 1;
  }
  DiskImage check;
  if (const FormatStatus status = ParseDsk(bytes, check); !status.Ok()) {
    ShowFormatError(emu.host, status, path);
    return 1;
  }
  if (emu.settings.DiskAutoload) LoadDiskBootSnapshot(emu);
  return InsertDiskBytes(emu, drive, bytes, path) ? 0 : 1;
}

bool WriteBlankDisk(const std::string& path) {
  return WriteFileReplacing(path, WriteDsk(BlankDisk()));
}

int NewDiskCommand(Emulator& emu, int drive, const std::string& path) {
  if (path.empty()) return 1;
  if (!WriteBlankDisk(path)) {
    emu.ShowMessage(CaptionId::File, kMsgDiskSaveFailed, path);
    return 1;
  }
  emu.disks.lastDrive = drive & 1;
  return InsertDiskFile(emu, drive, path) ? 0 : 1;
}

void EjectDiskCommand(Emulator& emu, int drive) {
  EjectDrive(emu, drive & 1);
  emu.m.DiskPresent = emu.m.Fdc.DiskInserted(0) || emu.m.Fdc.DiskInserted(1);
  emu.m.DiskLampDrawn = emu.m.DiskPresent;
}

bool SaveChangedDisks(Emulator& emu) {
  const bool a = SaveDisk(emu, 0);
  const bool b = SaveDisk(emu, 1);
  return a && b;
}

int LoadDiskBootSnapshot(Emulator& emu) {
  std::vector<uint8_t> bytes;
  const std::string path =
      (std::filesystem::path(emu.folders.LibsFolder) / kDiskBootSnapshotName).string();
  bool ready = false;
  if (ReadWholeFile(path, bytes) == kMsgNone) {
    ResetMachine(emu, false);
    ready = LoadZ80(emu, bytes) == 0;
  }
  if (!ready) {
    ResetMachine(emu, true);
    ready = BootToDiskLoader(emu);
  }
  if (!ready) return 1;
  // ENTER on the menu's first entry: the Loader, which reads the disk first.
  StartTyping(emu.m, {});
  return 0;
}

bool BootToDiskLoader(Emulator& emu, uint32_t frameLimit) {
  MachineState& m = emu.m;
  for (uint32_t f = 0; f < frameLimit; ++f) {
    while (m.FrameTState < m.FrameLength) {
      StepInstruction(emu);
      if (m.cpu.PC != m.KeyWaitAddress) continue;
      // The menu is up and waits for a key: let it settle, then stop at a frame's end.
      for (int settle = 0; settle < 10; ++settle) RunFrame(emu);
      return true;
    }
    RunFrame(emu);
  }
  return false;
}

}  // namespace orvo
