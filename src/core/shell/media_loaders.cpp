#include "shell/media_loaders.h"

#include "shell/beta_disk_commands.h"
#include "shell/disk_commands.h"
#include "shell/emulator.h"
#include "shell/snapshot_load.h"
#include "shell/tape_commands.h"

namespace orvo {

int LoadMediaKind(Emulator& emu, FileKind kind, std::span<const uint8_t> bytes,
                  std::string_view name) {
  switch (kind) {
    case FileKind::Sna: return LoadSNA(emu, bytes);
    case FileKind::Z80: return LoadZ80(emu, bytes);
    // Snapshot formats of their own units (SZX; SNX, SP, SEM, SNP, SIT, ZXS).
    case FileKind::Szx: return LoadSZX(emu, bytes) == 0 ? kLoadedOk : kLoadRefused;
    case FileKind::Snx:
    case FileKind::Sp:
    case FileKind::Sem:
    case FileKind::Snp:
    case FileKind::Sit:
    case FileKind::Zxs: return LoadOtherSnapshot(emu, kind, bytes);
    // Tapes: eject the deck, parse the bytes into a new tape image, make its first block current.
    case FileKind::Tzx:
    case FileKind::Tap:
    case FileKind::Csw:
    case FileKind::Wav:
    case FileKind::Pzx:
      return LoadTapeBytes(emu, bytes, TapeKindOf(std::string(name)), emu.files.CurrentFilePath) ==
                     0
                 ? kLoadedOk
                 : kLoadRefused;
    // +3 disk image into drive A (the dispatch only comes here on the +3); with "Disk autoload"
    // the +3 boots to its Loader first.
    case FileKind::Dsk:
      if (emu.settings.DiskAutoload) LoadDiskBootSnapshot(emu);
      return InsertDiskBytes(emu, 0, bytes, emu.files.CurrentFilePath) ? kLoadedOk : kLoadRefused;
    // A TR-DOS disk into the Beta 128's drive A:, the interface fitted first if need be.
    case FileKind::Trd:
    case FileKind::Scl:
      return OpenBetaDiskBytes(emu, bytes, emu.files.CurrentFilePath, false) ? kLoadedOk
                                                                             : kLoadRefused;
    default: return kLoadedOk;  // POK, TXT, RZX: recognised, nothing loaded here
  }
}

bool MediaKindSupported(FileKind kind) {
  switch (kind) {
    case FileKind::Sna:
    case FileKind::Z80:
    case FileKind::Szx:
    case FileKind::Snx:
    case FileKind::Sp:
    case FileKind::Sem:
    case FileKind::Snp:
    case FileKind::Sit:
    case FileKind::Zxs:
    case FileKind::Tzx:
    case FileKind::Tap:
    case FileKind::Csw:
    case FileKind::Wav:
    case FileKind::Pzx: return true;
    case FileKind::Dsk:
    case FileKind::Trd:
    case FileKind::Scl: return true;
    default: return false;
  }
}

}  // namespace orvo
