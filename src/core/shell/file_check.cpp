#include "shell/file_check.h"

#include "formats/dsk_format.h"
#include "formats/rzx_format.h"
#include "formats/sna_format.h"
#include "formats/snapshot_48k.h"
#include "formats/szx_format.h"
#include "formats/trd_format.h"
#include "formats/z80_format.h"
#include "formats/zip_reader.h"
#include "shell/emulator.h"
#include "shell/format_messages.h"
#include "shell/tape_commands.h"
#include "snapshot/snapshot_apply.h"

namespace orvo {

namespace {

FormatStatus ParseSnapshotKind(const Emulator& emu, FileKind kind, std::span<const uint8_t> bytes,
                               SnapshotRecord& record) {
  switch (kind) {
    case FileKind::Sna: return ParseSNA(bytes, record);
    case FileKind::Z80: return ParseZ80(bytes, record);
    case FileKind::Szx: return ParseSZX(bytes, record);
    case FileKind::Snx: return ParseSNX(bytes, record);
    case FileKind::Sp: return ParseSP(bytes, record);
    case FileKind::Sem: return ParseSEM(bytes, record);
    case FileKind::Snp: return ParseSNP(bytes, record);
    case FileKind::Sit: return ParseSIT(bytes, record);
    default: return ParseZXS(bytes, record, static_cast<SnapshotModel>(emu.m.MachineModel));
  }
}

FormatStatus CheckParse(const Emulator& emu, FileKind kind, std::span<const uint8_t> bytes) {
  if (IsSnapshotKind(kind)) {
    SnapshotRecord record;
    const FormatStatus status = ParseSnapshotKind(emu, kind, bytes, record);
    if (!status.Ok()) return status;
    // A device block the device cannot take leaves that device's state out; the machine loads.
    return {};
  }
  switch (kind) {
    case FileKind::Dsk: {
      DiskImage image;
      return ParseDsk(bytes, image);
    }
    case FileKind::Trd:
    case FileKind::Scl: {
      TrdDisk disk;
      return kind == FileKind::Trd ? ParseTrd(bytes, disk) : ParseScl(bytes, disk);
    }
    case FileKind::Rzx: {
      RzxFile file;
      return ParseRZX(bytes, file);
    }
    case FileKind::Zip: {
      ZipReader reader;
      return reader.Open(bytes);
    }
    default: return {};
  }
}

TapeKind TapeKindOfFile(FileKind kind) {
  switch (kind) {
    case FileKind::Tzx: return TapeKind::Tzx;
    case FileKind::Tap: return TapeKind::Tap;
    case FileKind::Csw: return TapeKind::Csw;
    case FileKind::Wav: return TapeKind::Wav;
    case FileKind::Pzx: return TapeKind::Pzx;
    default: return TapeKind::None;
  }
}

}  // namespace

FileCheck CheckFileLoads(Emulator& emu, FileKind kind, std::span<const uint8_t> bytes,
                         std::string_view name) {
  if (kind == FileKind::Dsk && emu.m.MachineModel != kModelPlus3) return FileCheck::Ignored;
  if (IsTapeKind(kind)) {
    return TapeBytesLoad(emu, bytes, TapeKindOfFile(kind), name) ? FileCheck::WillLoad
                                                                 : FileCheck::Refused;
  }
  if (const FormatStatus status = CheckParse(emu, kind, bytes); !status.Ok()) {
    // A recording that cannot be read is reported as the RZX player reports it; a recording
    // playing goes on.
    if (kind == FileKind::Rzx)
      ShowRzxUnreadable(emu.host, status, name);
    else
      ShowFormatError(emu.host, status, name);
    return FileCheck::Refused;
  }
  return FileCheck::WillLoad;
}

}  // namespace orvo
