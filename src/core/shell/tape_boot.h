#pragma once
// Bringing a freshly reset machine to the point where its ROM waits for a tape: the boot
// snapshots that "Autoload" loads are made this way, and the headless runner uses it when a
// model has no boot snapshot.
#include <cstdint>

#include "tape/tape_boot.h"

namespace orvo {

class Emulator;

// From a reset: waits for the ROM to be ready for a key, then chooses the model's tape loader
// (the 128K family's "Tape Loader"/"Loader" menu entry, or LOAD "" typed on the 48K keyboard) and
// runs frames (RunFrame) until the CPU enters LD-BYTES. Returns false when that does not happen
// within `frameLimit` frames. The machine must be set up and reset; the keyboard is left released.
bool BootToTapeLoader(Emulator& emu, uint32_t frameLimit = 1500);

}  // namespace orvo
