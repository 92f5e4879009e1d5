#pragma once
// Checking a file before it is loaded: every way of opening a file parses it whole first, so a
// file that will be refused leaves the running machine, the deck, the drives and the remembered
// file names exactly as they were.
#include <cstdint>
#include <span>
#include <string_view>

#include "shell/extension_table.h"

namespace orvo {

class Emulator;

enum class FileCheck : uint8_t {
  WillLoad,  // the file parses whole: reset and load it
  Refused,   // the file is damaged or not of its kind; the reason has been shown
  Ignored,   // nothing loads a file of this kind here (a disk image on a model without drives)
};

// Parses `bytes` as a file of `kind` without touching the machine. Shows the parser's message
// when the file is refused. Kinds that are not loaded from bytes (POK, TXT) will load.
FileCheck CheckFileLoads(Emulator& emu, FileKind kind, std::span<const uint8_t> bytes,
                         std::string_view name = {});

}  // namespace orvo
