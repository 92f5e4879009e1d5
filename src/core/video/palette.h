#pragma once
// The colour palettes: the six choices of the "Colours" setting and the ULAplus colours.
#include <array>
#include <cstdint>

namespace orvo {

struct MachineState;

constexpr int kPaletteCount = 6;

// Entries 0-7 black, blue, red, magenta, green, cyan, yellow, white; 8-15 the bright ones.
extern const std::array<std::array<uint32_t, 16>, kPaletteCount> Palettes;
extern const char* const PaletteNames[kPaletteCount];
// The ULAplus colour of a palette byte G3 R3 B2 (the missing low blue bit is the OR of the other
// two), 0x00RRGGBB.
extern const std::array<uint32_t, 256> ULAplusRgbTable;
// The 64 colours ULAplus starts with.
extern const std::array<uint32_t, 64> DefaultUlaPlusPalette;
// The entry bytes nearest to those colours, which a program reads back before writing its own.
extern const std::array<uint8_t, 64> DefaultUlaPlusEntries;

// Copies the palette chosen by the "Colours" setting into ColourTable (out of range: 0).
void ApplyPalette(MachineState& m);

}  // namespace orvo
