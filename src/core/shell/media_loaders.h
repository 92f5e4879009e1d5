#pragma once
// The loaders of the kinds the file dispatch hands on to other subsystems: SZX and the other
// snapshot formats, TZX, TAP and CSW tapes, and +3 disk images. Each kind has one case in
// LoadMediaKind (media_loaders.cpp) that calls its subsystem's routine; a kind whose subsystem is
// not in yet reports so.
//
// A handler receives the whole file (or the extracted ZIP entry) and the name it was dispatched
// under. The dispatch has already reset the machine where the path asks for it and, for TZX and
// TAP with Autoload on, loaded the tape boot snapshot; it sets FileTypeLabel to "TZX File" or "TAP
// File" after a tape handler returns 0. A handler returns 0 when loaded, 1 after showing why the
// file was refused.
#include <cstdint>
#include <span>
#include <string_view>

#include "shell/extension_table.h"

namespace orvo {

class Emulator;

constexpr int kLoadedOk = 0;
constexpr int kLoadRefused = 1;
constexpr int kLoadNotSupported = 2;

// Returns kLoadedOk, kLoadRefused, or kLoadNotSupported after showing message 10 (snapshot
// kinds) or 22 (tapes and disks) when the kind cannot be loaded yet.
int LoadMediaKind(Emulator& emu, FileKind kind, std::span<const uint8_t> bytes,
                  std::string_view name);

// True when LoadMediaKind has a loader for `kind` (the Z80 and SNA loaders are always there).
bool MediaKindSupported(FileKind kind);

}  // namespace orvo
