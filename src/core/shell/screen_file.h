#pragma once
// Screen files: the 6912 bytes of the display file (bitmap and attributes) as the ULA shows
// them, and the 6976-byte form with the 64-entry ULAplus palette after them.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "shell/messages.h"

namespace orvo {

struct MachineState;

constexpr size_t kScrSize = 6912;
constexpr size_t kScrPaletteSize = kScrSize + 64;

// The displayed screen; with the palette appended when ULAplus is fitted and its 64-colour mode
// is on (otherwise the palette would not be what the picture shows).
std::vector<uint8_t> BuildScr(const MachineState& m);
// Puts a screen file into the displayed screen; a 6976-byte file also loads the palette and
// turns 64-colour mode on when ULAplus is fitted. 133 for any other length, nothing changed.
MessageId LoadScr(MachineState& m, std::span<const uint8_t> data);

// The ULAplus palette as its 64 bytes (GGGRRRBB each), and back.
std::array<uint8_t, 64> UlaPlusPaletteBytes(const MachineState& m);
void SetUlaPlusPaletteBytes(MachineState& m, std::span<const uint8_t, 64> bytes);

}  // namespace orvo
