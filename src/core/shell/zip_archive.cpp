#include "shell/zip_archive.h"

#include "formats/file_io.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/file_dispatch.h"
#include "shell/format_messages.h"
#include "shell/media_loaders.h"

namespace orvo {

namespace {

bool LoadableFromZip(FileKind kind) {
  return (kind >= FileKind::Sna && kind <= FileKind::Tap) || kind == FileKind::Csw ||
         kind == FileKind::Wav || kind == FileKind::Pzx || kind == FileKind::Dsk ||
         IsBetaDiskKind(kind);
}

}  // namespace

bool ZipArchive::Open(const std::string& path) {
  Close();
  // The archive is measured before it is read, and read in one piece.
  std::vector<uint8_t> bytes;
  if (ReadRegularFile(path, bytes) != ReadFailure::None) return false;
  return Open(std::span<const uint8_t>(bytes)).Ok();
}

bool ListZipEntries(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  ZipArchive archive;
  if (!archive.Open(path)) return false;
  const int64_t count = archive.EntryCount();
  for (int64_t i = 0; i < count; ++i) names.push_back(archive.EntryName(i));
  return true;
}

int LoadZipEntry(Emulator& emu, const ZipArchive& archive, int64_t index) {
  if (index < 0 || index >= archive.EntryCount()) return 1;
  const std::string name = archive.EntryName(index);
  std::vector<uint8_t> bytes;
  if (const FormatStatus read = archive.ReadEntry(index, bytes); !read.Ok()) {
    ShowFormatError(emu.host, read, name);
    return 1;
  }
  // A text, a POKE file or a recording inside an archive is no file this path opens.
  if (!LoadableFromZip(MatchExtension(name))) {
    emu.ShowMessage(CaptionId::File, kMsgZipEntryNotSpectrum,
                    emu.files.CurrentFilePath + ": " + name);
    emu.files.LastLoadStatus = kLoadRefused;
    return 1;
  }
  emu.files.Loaded.bytes = std::move(bytes);
  return DispatchZipEntry(emu, name);
}

int LoadZipArchiveEntry(Emulator& emu, const std::string& path, std::string_view entryName) {
  ZipArchive archive;
  if (!archive.Open(path)) {
    ShowFormatError(emu.host, {FormatError::ZipOpen, 0}, path);
    return 1;
  }
  const std::string before = emu.files.CurrentFilePath;
  emu.files.CurrentFilePath = path;
  const int64_t count = archive.EntryCount();
  for (int64_t i = 0; i < count; ++i) {
    const std::string name = archive.EntryName(i);
    const bool wanted =
        entryName.empty() ? LoadableFromZip(MatchExtension(name)) : name == entryName;
    if (!wanted) continue;
    const int rc = LoadZipEntry(emu, archive, i);
    // A refused entry leaves the remembered file as it was.
    if (rc != 0 || emu.files.LastLoadStatus != 0) emu.files.CurrentFilePath = before;
    return rc;
  }
  emu.files.CurrentFilePath = before;
  emu.ShowMessage(CaptionId::Options, entryName.empty() ? kMsgUnknownExtension : kMsgFileNotFound);
  return 1;
}

}  // namespace orvo
