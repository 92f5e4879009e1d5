#include "shell/beta_disk_commands.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "devices/beta128.h"
#include "formats/snapshot_record.h"
#include "formats/trd_format.h"
#include "machine/typing.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/format_messages.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/snapshot_save.h"

namespace orvo {

namespace {

bool EndsWithNoCase(const std::string& s, const char* tail) {
  const std::string t(tail);
  if (s.size() < t.size()) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = s[s.size() - t.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != t[i]) return false;
  }
  return true;
}

bool FileWritable(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    // A file still to be made: the folder must take it.
    const fs::path folder = fs::path(path).parent_path();
    return access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
  }
  const fs::perms p = fs::status(path, ec).permissions();
  if (ec) return false;
  if ((p & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) ==
      fs::perms::none)
    return false;
  return access(path.c_str(), W_OK) == 0;
}

bool SaveBetaDisk(Emulator& emu, int drive) {
  Wd1793& fdc = emu.m.Beta;
  const std::string& path = emu.betaDisks.savePath[drive];
  if (!fdc.DiskInserted(drive) || !fdc.Modified(drive) || emu.betaDisks.readOnly[drive] ||
      path.empty())
    return true;
  if (!WriteFileReplacing(path, WriteTrd(fdc.Disk(drive)))) {
    emu.ShowMessage(CaptionId::File, kMsgDiskSaveFailed, path);
    return false;
  }
  fdc.ClearModified(drive);
  return true;
}

}  // namespace

bool IsBetaDiskName(const std::string& path) {
  return EndsWithNoCase(path, ".trd") || EndsWithNoCase(path, ".scl");
}

bool InsertBetaDiskBytes(Emulator& emu, int drive, std::span<const uint8_t> bytes,
                         const std::string& path, bool writeProtect) {
  drive &= 3;
  const bool scl = EndsWithNoCase(path, ".scl");
  TrdDisk disk;
  const FormatStatus status = scl ? ParseScl(bytes, disk) : ParseTrd(bytes, disk);
  if (!status.Ok()) {
    ShowFormatError(emu.host, status);
    return false;
  }
  EjectBetaDisk(emu, drive);
  std::string savePath = path;
  if (scl) savePath = std::filesystem::path(path).replace_extension(".trd").string();
  // An SCL's TRD beside it that already exists is another disk: it is never written over.
  std::error_code ec;
  const bool taken = scl && std::filesystem::exists(savePath, ec);
  const bool readOnly = writeProtect || taken || !FileWritable(scl ? savePath : path);
  emu.m.Beta.InsertDisk(drive, std::move(disk), readOnly);
  emu.m.Beta.SetDiskName(drive, path);
  emu.betaDisks.path[drive] = path;
  emu.betaDisks.savePath[drive] = readOnly ? std::string() : savePath;
  emu.betaDisks.readOnly[drive] = readOnly;
  return true;
}

bool InsertBetaDiskFile(Emulator& emu, int drive, const std::string& path) {
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) {
    emu.ShowMessage(CaptionId::File, failed);
    return false;
  }
  return InsertBetaDiskBytes(emu, drive, bytes, path);
}

bool WriteBlankTrd(const std::string& path) {
  return WriteFileReplacing(path, WriteTrd(BlankTrd()));
}

void EjectBetaDisk(Emulator& emu, int drive) {
  drive &= 3;
  SaveBetaDisk(emu, drive);
  emu.m.Beta.EjectDisk(drive);
  emu.betaDisks.path[drive].clear();
  emu.betaDisks.savePath[drive].clear();
  emu.betaDisks.readOnly[drive] = false;
}

bool SaveChangedBetaDisks(Emulator& emu) {
  bool ok = true;
  for (int d = 0; d < kBetaDriveCount; ++d) ok = SaveBetaDisk(emu, d) && ok;
  return ok;
}

int InsertBetaDiskCommand(Emulator& emu, int drive, const std::string& path) {
  if (path.empty() || !Beta128Fitted(emu.m)) return 1;
  const bool ok = InsertBetaDiskFile(emu, drive, path);
  UpdateBetaDiskMenus(emu);
  return ok ? 0 : 1;
}

int NewBetaDiskCommand(Emulator& emu, int drive, const std::string& path) {
  if (path.empty() || !Beta128Fitted(emu.m)) return 1;
  if (!WriteBlankTrd(path)) {
    emu.ShowMessage(CaptionId::File, kMsgDiskSaveFailed, path);
    return 1;
  }
  return InsertBetaDiskCommand(emu, drive, path);
}

void EjectBetaDiskCommand(Emulator& emu, int drive) {
  EjectBetaDisk(emu, drive);
  UpdateBetaDiskMenus(emu);
}

bool SetBetaWriteProtect(Emulator& emu, int drive, bool on) {
  drive &= 3;
  Wd1793& fdc = emu.m.Beta;
  bool done = fdc.DiskInserted(drive) && (on || !emu.betaDisks.readOnly[drive]);
  if (done) fdc.SetWriteProtect(drive, on);
  UpdateBetaDiskMenus(emu);
  return done;
}

void UpdateBetaDiskMenus(Emulator& emu) {
  static constexpr CommandId kInsert[] = {CommandId::InsertDiskA, CommandId::InsertDiskB,
                                          CommandId::InsertDiskC, CommandId::InsertDiskD};
  static constexpr CommandId kNew[] = {CommandId::NewDiskA, CommandId::NewDiskB,
                                       CommandId::NewDiskC, CommandId::NewDiskD};
  static constexpr CommandId kEject[] = {CommandId::EjectDiskA, CommandId::EjectDiskB,
                                         CommandId::EjectDiskC, CommandId::EjectDiskD};
  static constexpr CommandId kProtect[] = {CommandId::WriteProtectA, CommandId::WriteProtectB,
                                           CommandId::WriteProtectC, CommandId::WriteProtectD};
  const bool fitted = Beta128Fitted(emu.m);
  MenuStates& menu = emu.menu;
  for (int d = 0; d < kBetaDriveCount; ++d) {
    const bool inserted = fitted && emu.m.Beta.DiskInserted(d);
    // Drives A: and B: are the +3's too: their items are the model's when no interface is fitted.
    if (fitted || d >= 2) {
      menu.Enable(kInsert[d], fitted);
      menu.Enable(kNew[d], fitted);
      menu.Enable(kEject[d], fitted);
    }
    menu.Enable(kProtect[d], inserted);
    menu.Check(kProtect[d], inserted && emu.m.Beta.WriteProtected(d));
  }
}

void InsertSnapshotBetaDisks(Emulator& emu, const SnapshotRecord& record) {
  const SnapshotBlock* block = record.FindBlock(kBetaDrivesBlock);
  std::array<std::string, kBetaDriveCount> names;
  if (!block || !Beta128Fitted(emu.m) || !Wd1793::DiskNamesInState(block->body, names)) return;
  for (int d = 0; d < kBetaDriveCount; ++d) {
    if (names[d] == emu.betaDisks.path[d] && emu.m.Beta.DiskInserted(d)) continue;
    // A disk of an archive (no file of its own) cannot come back.
    std::error_code ec;
    if (names[d].empty() || !std::filesystem::is_regular_file(names[d], ec)) {
      EjectBetaDisk(emu, d);
      continue;
    }
    InsertBetaDiskFile(emu, d, names[d]);
  }
  UpdateBetaDiskMenus(emu);
}

bool OpenBetaDiskBytes(Emulator& emu, std::span<const uint8_t> bytes, const std::string& path,
                       bool writeProtect) {
  MachineState& m = emu.m;
  if (!Beta128Fitted(m)) {
    // The ROM first, so that a machine that cannot take the disk is left as it was.
    std::vector<uint8_t> rom;
    if (ReadAddonRom(emu, kTrdosRomName, kTrdosRomSize, rom) != 0) return false;
    if (Beta128Wanted(m.MachineModel, 1)) {
      emu.settings.Beta128 = 1;
      emu.PendingSettings.Beta128 = 1;
    } else {
      m.MachineModel = kModelPentagon;
    }
    SetUpMachine(emu);
    ResetMachine(emu, true);
    if (!Beta128Fitted(m)) return false;
  }
  const bool inserted = InsertBetaDiskBytes(emu, 0, bytes, path, writeProtect);
  UpdateBetaDiskMenus(emu);
  if (!inserted) return false;
  if (emu.settings.Autoload || emu.settings.DiskAutoload) BootTrdosDisk(emu);
  return true;
}

int BootTrdosDisk(Emulator& emu) {
  MachineState& m = emu.m;
  if (!Beta128Fitted(m)) return 1;
  // TR-DOS works through the 48 BASIC ROM: the 128K family starts in it as its "48 BASIC" entry
  // would, with the paging left unlocked for programs that use the other banks.
  ResetMachine(emu, true);
  if (Is128KFamily(m.MachineModel)) m.WritePort(0x7FFD, 0x10);
  for (int f = 0; f < 300 && !TypingWaitsHere(m); ++f) {
    while (m.FrameTState < m.FrameLength && !TypingWaitsHere(m)) StepInstruction(emu);
    if (!TypingWaitsHere(m)) RunFrame(emu);
  }
  if (!TypingWaitsHere(m)) return 1;
  // Into TR-DOS as a user goes, from a BASIC statement; TR-DOS takes the first key after it as
  // its start-up key, and RUN without a name runs the disk's "boot" file.
  static const char kBoot[] = "RANDOMIZE USR 15616\r\rRUN\r";
  StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(kBoot), sizeof kBoot - 1));
  return 0;
}

}  // namespace orvo
