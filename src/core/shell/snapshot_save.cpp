#include "shell/snapshot_save.h"

#include <filesystem>

#include "formats/file_io.h"
#include "formats/sna_format.h"
#include "formats/snapshot_48k.h"
#include "formats/szx_format.h"
#include "formats/z80_format.h"
#include "shell/beta_disk_commands.h"
#include "shell/emulator.h"
#include "snapshot/snapshot_apply.h"

namespace orvo {

namespace {

// Filters of the save dialog, 1-based: 1 "All supported snapshots", 2 SNA ... 9 SIT, 10 ZXS,
// 11 "All files".
struct SaveFilter {
  const char* extension;
  FileKind kind;
};
constexpr SaveFilter kSaveFilters[] = {
    {"", FileKind::None},    {".sna", FileKind::Sna}, {".z80", FileKind::Z80},
    {".szx", FileKind::Szx}, {".snx", FileKind::Snx}, {".sp", FileKind::Sp},
    {".sem", FileKind::Sem}, {".snp", FileKind::Snp}, {".sit", FileKind::Sit},
    {"", FileKind::None},    {"", FileKind::None},
};
constexpr int kZxsFilter = 10;

bool Is48KOnlyWriter(FileKind kind) {
  return kind >= FileKind::Snx && kind <= FileKind::Sit;
}

// The SNX, SP, SEM, SNP and SIT files; the SIT writer also takes the ROM the CPU sees.
FormatStatus Build48KFile(const MachineState& m, FileKind kind, std::vector<uint8_t>& out) {
  SnapshotRecord r = CaptureSnapshot(m);
  switch (kind) {
    case FileKind::Snx: return WriteSNX(r, out);
    case FileKind::Sp: return WriteSP(r, out);
    case FileKind::Sem: return WriteSEM(r, out);
    case FileKind::Snp: return WriteSNP(r, out);
    case FileKind::Sit: {
      SnapshotBlock rom{SnapshotBlockId("ROM"), std::vector<uint8_t>(0x4000)};
      for (uint16_t a = 0; a < 0x4000; ++a) rom.body[a] = m.Peek(a);
      r.blocks.push_back(std::move(rom));
      return WriteSIT(r, out);
    }
    default: return {FormatError::Only48K, 0};
  }
}

}  // namespace

bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes) {
  return ReplaceFile(path, bytes) == WriteFailure::None;
}

std::vector<uint8_t> BuildSZX(const Emulator& emu) {
  SnapshotRecord record = CaptureSnapshot(emu.m);
  record.ayOn48K = emu.m.settings.Ay48k != 0;
  return WriteSZX(record);
}

bool BuildSnapshotFile(const Emulator& emu, FileKind kind, std::vector<uint8_t>& out) {
  switch (kind) {
    case FileKind::Sna: out = WriteSNA(CaptureSnapshot(emu.m)); return true;
    case FileKind::Z80: {
      // The version "z80 version" chooses, with the 0x1FFD byte when "1FFD byte" is on.
      const MachineSettings& s = emu.m.settings;
      out = WriteZ80(CaptureSnapshot(emu.m), s.Z80Version, s.Save1FFD != 0);
      return true;
    }
    case FileKind::Szx: out = BuildSZX(emu); return true;
    case FileKind::Snx:
    case FileKind::Sp:
    case FileKind::Sem:
    case FileKind::Snp:
    case FileKind::Sit: return Build48KFile(emu.m, kind, out).Ok();
    default: return false;
  }
}

int SaveSnapshotKind(Emulator& emu, const std::string& path, FileKind kind) {
  std::vector<uint8_t> bytes;
  // An SZX names the TR-DOS disks in the drives: their files get what the machine wrote to
  // them first, so the snapshot finds them as it left them.
  if (kind == FileKind::Szx) SaveChangedBetaDisks(emu);
  if (Is48KOnlyWriter(kind) && !WritableAs48K(CaptureSnapshot(emu.m))) {
    emu.ShowMessage(CaptionId::Options, kMsgOnly48K);
    return kSaveFailed;
  }
  if (!BuildSnapshotFile(emu, kind, bytes)) {
    // A kind without a writer must not look saved.
    emu.ShowMessage(CaptionId::File, kMsgCannotSaveSnapshot);
    return kSaveNoWriter;
  }
  // A 48K SNA whose stack lies in ROM would come back with a PC that was never stored.
  const bool unfit = kind == FileKind::Sna && !SnaCanHoldPc(CaptureSnapshot(emu.m));
  if (unfit || !WriteFileReplacing(path, bytes)) {
    emu.ShowMessage(CaptionId::File, kMsgCannotSaveSnapshot);
    return kSaveFailed;
  }
  // The file just written is the one the instant save writes next.
  emu.files.InstantSavePath = path;
  // Saved, but without the +2A/+3 paging port: the user is told what the file will not bring back.
  if (kind == FileKind::Sna && IsPlus2AFamily(emu.m.MachineModel))
    emu.ShowMessage(CaptionId::File, kMsgSna1FFDNotKept);
  return kSaved;
}

int SaveSnapshot(Emulator& emu, const std::string& path) {
  const FileKind kind = SaverKindForPath(path);
  if (kind == FileKind::None) {
    emu.ShowMessage(CaptionId::File, kMsgUnknownSnapshotExtension);
    return kSaveFailed;
  }
  return SaveSnapshotKind(emu, path, kind);
}

std::string_view SaveFilterExtension(int filter) {
  if (filter < 1 || filter > static_cast<int>(std::size(kSaveFilters))) return {};
  return kSaveFilters[filter - 1].extension;
}

int SaveSnapshotCommand(Emulator& emu, const std::string& chosenPath, int filter,
                        std::string* written) {
  const bool known = filter >= 1 && filter <= static_cast<int>(std::size(kSaveFilters));
  const SaveFilter& chosen = kSaveFilters[known ? filter - 1 : 0];
  if (filter == kZxsFilter) {
    emu.ShowMessage(CaptionId::File, kMsgZxsNotWritable);
    return kSaveNoWriter;
  }
  if (chosen.kind == FileKind::None) {
    // "All supported snapshots", "All files": the typed extension picks the writer, a Z80 file
    // when there is none.
    std::string path = chosenPath;
    if (std::filesystem::path(path).extension().empty()) path += ".z80";
    if (written != nullptr) *written = path;
    std::string title = std::filesystem::path(path).stem().string();
    if (SaverKindForPath(path) != FileKind::None) emu.files.CurrentFileTitle = title;
    return SaveSnapshot(emu, path);
  }
  const std::filesystem::path picked(chosenPath);
  std::string title = picked.filename().string();
  if (const size_t dot = title.rfind('.'); dot != std::string::npos) title.erase(dot);
  emu.files.CurrentFileTitle = title;
  const std::string path = (picked.parent_path() / (title + chosen.extension)).string();
  if (written != nullptr) *written = path;
  return SaveSnapshotKind(emu, path, chosen.kind);
}

}  // namespace orvo
