#include "shell/file_dispatch.h"

#include <filesystem>
#include <span>
#include <vector>

#include "formats/file_io.h"
#include "rzx/rzx_session.h"
#include "shell/beta_disk_commands.h"
#include "shell/disk_commands.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/file_check.h"
#include "shell/format_messages.h"
#include "shell/machine_setup.h"
#include "shell/media_loaders.h"
#include "shell/screen_file.h"
#include "shell/snapshot_load.h"
#include "shell/tape_commands.h"

namespace orvo {

namespace {

// Calls the loader of `kind` for the loaded bytes. `fromZip` marks the ZIP entry path, which
// loads snapshots and tapes only.
void HandleKind(Emulator& emu, FileKind kind, std::string_view name, bool fromZip) {
  FileState& f = emu.files;
  const std::span<const uint8_t> bytes(f.Loaded.bytes);
  f.LastLoadStatus = kLoadedOk;
  if (IsSnapshotKind(kind)) {
    f.LastLoadStatus = LoadMediaKind(emu, kind, bytes, name);
    f.SnapshotLoaded = 1;
    if (fromZip && kind == FileKind::Szx && f.LastLoadStatus == kLoadedOk) {
      // Idle in HALT until the next interrupt, then go on at the loaded PC.
      emu.m.cpu.Halted = 1;
      emu.m.cpu.HaltNoAdvance = 1;
    }
    return;
  }
  if (IsTapeKind(kind)) {
    if (emu.m.settings.Autoload) LoadTapeBootSnapshot(emu);
    f.LastLoadStatus = LoadMediaKind(emu, kind, bytes, name);
    if (f.LastLoadStatus == kLoadedOk)
      f.FileTypeLabel = TapeKindLabel(TapeKindOf(std::string(name)));
    return;
  }
  if (IsBetaDiskKind(kind)) {
    // A TR-DOS disk from an archive cannot be written back: it goes in write-protected.
    const std::string shown =
        fromZip ? f.CurrentFilePath + "/" + std::string(name) : f.CurrentFilePath;
    f.LastLoadStatus = OpenBetaDiskBytes(emu, bytes, shown, fromZip) ? kLoadedOk : kLoadRefused;
    if (f.LastLoadStatus == kLoadedOk) f.FileTypeLabel = kind == FileKind::Scl ? "SCL" : "TRD";
    return;
  }
  if (fromZip) {
    // A disk image from an archive cannot be written back: it goes in write-protected.
    if (kind == FileKind::Dsk && emu.m.MachineModel == kModelPlus3) {
      const std::string shown = f.CurrentFilePath + "/" + std::string(name);
      f.LastLoadStatus = InsertDiskBytes(emu, 0, bytes, shown, true) ? kLoadedOk : kLoadRefused;
    }
    return;
  }
  switch (kind) {
    case FileKind::Dsk:
      // Disk images go into the +3's drive; on any other model they are ignored.
      if (emu.m.MachineModel == kModelPlus3)
        f.LastLoadStatus = LoadMediaKind(emu, kind, bytes, name);
      break;
    case FileKind::Zip: f.ZipPickerPending = 1; break;
    // An input recording plays at once: it loads its own snapshot.
    case FileKind::Rzx:
      f.LastLoadStatus = OpenRzxBytes(emu, bytes, f.CurrentFilePath) ? kLoadedOk : kLoadRefused;
      break;
    case FileKind::Scr:
      // A screen file is shown on the running machine; a bad length is reported, nothing shown.
      if (const MessageId bad = LoadScr(emu.m, bytes); bad != kMsgNone) {
        emu.ShowMessage(CaptionId::File, bad);
        f.LastLoadStatus = kLoadRefused;
      } else {
        f.LastLoadStatus = kLoadedOk;
      }
      break;
    default: break;  // POK, TXT: recognised, nothing loaded here
  }
}

void SetNames(Emulator& emu, std::string_view name) {
  emu.files.StatusFileName = FileNameOfPath(emu.files.CurrentFilePath);
  emu.files.CurrentFileTitle = std::string(name);
}

// What a load changes besides the machine: kept so that a file refused by its loader after the
// check leaves them as they were.
struct RememberedNames {
  explicit RememberedNames(const Emulator& emu)
      : path(emu.files.CurrentFilePath),
        title(emu.files.CurrentFileTitle),
        status(emu.files.StatusFileName) {}
  void Restore(Emulator& emu) const {
    emu.files.CurrentFilePath = path;
    emu.files.CurrentFileTitle = title;
    emu.files.StatusFileName = status;
  }
  std::string path, title, status;
};

// After a file loaded: it becomes the file the next instant save writes (which refuses a kind
// with no writer) and the folder the next dialog starts in.
void NoteLoaded(Emulator& emu, const std::string& path, FileKind kind) {
  emu.files.FileOpened = 1;
  if (IsTapeKind(kind)) {
    emu.folders.CurrentTapeDir = path;
  } else {
    emu.folders.CurrentSnapDir = path;
  }
  emu.files.InstantSavePath = path;
}

// The Open file, drag-and-drop and command-line paths. The file is read and checked whole before
// the machine is reset: a refused file changes nothing.
int OpenPath(Emulator& emu, const std::string& path, std::string_view dispatchName, bool reset) {
  FileState& f = emu.files;
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) {
    emu.ShowMessage(CaptionId::File, failed);
    f.LastLoadStatus = kLoadRefused;
    return 1;
  }
  const FileKind kind = MatchExtension(dispatchName);
  // An unknown kind is ignored altogether: the running machine is not reset for it.
  if (kind == FileKind::None) return 1;
  const FileCheck check = CheckFileLoads(emu, kind, bytes, path);
  if (check != FileCheck::WillLoad) {
    f.LastLoadStatus = check == FileCheck::Refused ? kLoadRefused : kLoadedOk;
    return check == FileCheck::Refused ? 0 : 1;
  }
  const RememberedNames before(emu);
  f.Loaded.bytes = std::move(bytes);
  f.CurrentFileTitle.clear();
  f.CurrentFilePath = path;
  // A recording loads its own snapshot, a screen file is shown over the running program and an
  // archive resets when its entry loads: none of them resets here.
  if (reset && kind != FileKind::Rzx && kind != FileKind::Scr && kind != FileKind::Zip)
    ResetMachine(emu, true);
  const int rc = DispatchByExtension(emu, dispatchName);
  if (rc != 0 || f.LastLoadStatus != kLoadedOk) {
    before.Restore(emu);
    return rc;
  }
  if (kind != FileKind::Dsk && !IsBetaDiskKind(kind)) {
    f.AnalyserCopy = f.Loaded.bytes;
    emu.menu.Enable(CommandId::SnapshotAnalyser, true);
  }
  NoteLoaded(emu, path, kind);
  return 0;
}

}  // namespace

MessageId ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  switch (ReadRegularFile(path, out)) {
    case ReadFailure::None: return kMsgNone;
    case ReadFailure::Missing:
    case ReadFailure::NotRegular: return kMsgFileNotFound;
    case ReadFailure::TooLarge: return kMsgOutOfMemory;
    case ReadFailure::Unreadable: break;
  }
  return kMsgReadError;
}

std::string FileNameOfPath(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

int ReadLoadedFile(Emulator& emu, const std::string& path, CaptionId caption) {
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) {
    emu.ShowMessage(caption, failed);
    return 1;
  }
  emu.files.Loaded.bytes = std::move(bytes);
  return 0;
}

int DispatchByExtension(Emulator& emu, std::string_view name) {
  const FileKind kind = MatchExtension(name);
  if (kind == FileKind::None) return 1;
  SetNames(emu, name);
  HandleKind(emu, kind, name, false);
  return 0;
}

int DispatchZipEntry(Emulator& emu, std::string_view entryName) {
  if (entryName.empty()) return 1;
  const FileKind kind = MatchExtension(entryName);
  if (kind == FileKind::None) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    return 1;
  }
  // Only the kinds the archive path loads are checked: the others load nothing and reset nothing.
  if (IsSnapshotKind(kind) || IsTapeKind(kind) || kind == FileKind::Dsk || IsBetaDiskKind(kind)) {
    const FileCheck check = CheckFileLoads(emu, kind, emu.files.Loaded.bytes, entryName);
    if (check != FileCheck::WillLoad) {
      emu.files.LastLoadStatus = check == FileCheck::Refused ? kLoadRefused : kLoadedOk;
      return check == FileCheck::Refused ? 0 : 1;
    }
  }
  ResetMachine(emu, false);
  SetNames(emu, entryName);
  HandleKind(emu, kind, entryName, true);
  if (emu.files.LastLoadStatus == kLoadedOk && IsSnapshotKind(kind)) emu.files.FileOpened = 1;
  return 0;
}

int OpenFileCommand(Emulator& emu, const std::string& path) {
  return OpenPath(emu, path, FileNameOfPath(path), true);
}

int LoadFile(Emulator& emu, const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return 1;
  return OpenPath(emu, path, path, true);
}

int OpenCommandLineFile(Emulator& emu, std::string_view argument) {
  std::string path;
  for (char c : argument) {
    if (c != '"') path.push_back(c);
  }
  return OpenPath(emu, path, path, false);
}

int OpenSnapshotCommand(Emulator& emu, const std::string& path) {
  FileState& f = emu.files;
  std::vector<uint8_t> bytes;
  if (const MessageId failed = ReadWholeFile(path, bytes); failed != kMsgNone) {
    emu.ShowMessage(CaptionId::File, failed);
    f.LastLoadStatus = kLoadRefused;
    return 1;
  }
  const std::string title = FileNameOfPath(path);
  const FileKind kind = MatchExtension(title);
  if (!IsSnapshotKind(kind)) {
    emu.ShowMessage(CaptionId::Options, kMsgUnknownExtension);
    f.LastLoadStatus = kLoadRefused;
    return 1;
  }
  if (CheckFileLoads(emu, kind, bytes, path) != FileCheck::WillLoad) {
    f.LastLoadStatus = kLoadRefused;
    return 0;
  }
  const RememberedNames before(emu);
  f.Loaded.bytes = std::move(bytes);
  f.CurrentFilePath = path;
  ResetMachine(emu, false);
  SetNames(emu, title);
  f.LastLoadStatus = LoadMediaKind(emu, kind, std::span<const uint8_t>(f.Loaded.bytes), title);
  f.SnapshotLoaded = 1;
  if (f.LastLoadStatus != kLoadedOk) {
    before.Restore(emu);
    return 0;
  }
  f.AnalyserCopy = f.Loaded.bytes;
  emu.menu.Enable(CommandId::SnapshotAnalyser, true);
  NoteLoaded(emu, path, kind);
  return 0;
}

int LoadTapeBootSnapshot(Emulator& emu) {
  const char* name = "tape_48.z80";
  switch (emu.m.MachineModel) {
    case kModel128K: name = "tape_128.z80"; break;
    case kModelPlus2: name = "tape_plus2.z80"; break;
    case kModelPlus2A:
    case kModelPlus3: name = "tape_plus3.z80"; break;
    default: break;
  }
  std::vector<uint8_t> bytes;
  const std::string path = (std::filesystem::path(emu.folders.LibsFolder) / name).string();
  if (ReadWholeFile(path, bytes) != 0) {
    emu.ShowMessage(CaptionId::Options, kMsgSnapshotMissing);
    return 1;
  }
  ResetMachine(emu, false);
  return LoadZ80(emu, bytes);
}

}  // namespace orvo
