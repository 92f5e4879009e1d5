#include "video/palette.h"

#include "machine/machine_state.h"

namespace orvo {

const std::array<std::array<uint32_t, 16>, kPaletteCount> Palettes = {{
    // Default Colours: the normal magenta leans towards red, as on the real machine.
    {0x000000, 0x0000CA, 0xCA0000, 0xCA00A0, 0x00CA00, 0x00CACA, 0xCACA00, 0xCACACA, 0x000000,
     0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF},
    // Black & White
    {0x000000, 0x1C1C1C, 0x393939, 0x565656, 0x737373, 0x909090, 0xADADAD, 0xCACACA, 0x000000,
     0x515151, 0x6E6E6E, 0x8B8B8B, 0xA8A8A8, 0xC5C5C5, 0xE2E2E2, 0xFFFFFF},
    // Green Screen
    {0x000000, 0x002100, 0x003E00, 0x005500, 0x007300, 0x008800, 0x00A800, 0x00B500, 0x000000,
     0x003400, 0x005100, 0x007100, 0x009A00, 0x00B900, 0x00ED00, 0x00FF00},
    // Amber Screen
    {0x000000, 0x221800, 0x3E2C00, 0x563D00, 0x745200, 0x886000, 0xA87700, 0xB68000, 0x000000,
     0x342500, 0x523A00, 0x725000, 0x9A6D00, 0xBA8300, 0xEEA800, 0xFFB400},
    // Accurate Colours
    {0x060800, 0x0D13A7, 0xBD0707, 0xC312AF, 0x07BA0C, 0x0DC6B4, 0xBCB914, 0xC2C4BC, 0x060800,
     0x161CB0, 0xCE1818, 0xDC2CC8, 0x28DC2D, 0x36EFDE, 0xEEEB46, 0xFDFFF7},
    // Tarrow Colours
    {0x000000, 0x0000C2, 0xC20000, 0xC200C2, 0x00C200, 0x00C2C2, 0xC2C200, 0xC2C2C2, 0x000000,
     0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF},
}};

const char* const PaletteNames[kPaletteCount] = {
    "Default Colours", "Black & White",    "Green Screen",
    "Amber Screen",    "Accurate Colours", "Tarrow Colours",
};

namespace {

constexpr uint32_t Expand3(uint32_t v) {
  return (v << 5) | (v << 2) | (v >> 1);
}

constexpr std::array<uint32_t, 256> BuildUlaPlusRgb() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t g = (i >> 5) & 7;
    const uint32_t r = (i >> 2) & 7;
    const uint32_t b2 = i & 3;
    const uint32_t b = (b2 << 1) | (b2 != 0 ? 1u : 0u);
    table[i] = (Expand3(r) << 16) | (Expand3(g) << 8) | Expand3(b);
  }
  return table;
}

}  // namespace

const std::array<uint32_t, 256> ULAplusRgbTable = BuildUlaPlusRgb();

namespace {

// The default ULAplus colours below are written blue-green-red; pixels are red-green-blue.
constexpr std::array<uint32_t, 64> FromBgr(std::array<uint32_t, 64> table) {
  for (uint32_t& v : table) v = ((v & 0xFF) << 16) | (v & 0xFF00) | (v >> 16);
  return table;
}

}  // namespace

const std::array<uint32_t, 64> DefaultUlaPlusPalette = FromBgr({
    0x000000, 0xAA0000, 0x0000DB, 0xFF00DB, 0x00DB00, 0xFFDB00, 0x00DBDB, 0xFFDBDB,
    0x000000, 0xAA0000, 0x0000DB, 0xFF00DB, 0x00DB00, 0xFFDB00, 0x00DBDB, 0xFFDBDB,
    0x000000, 0xFF0000, 0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00, 0x00FFFF, 0xFFFFFF,
    0x000000, 0xFF0000, 0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00, 0x00FFFF, 0xFFFFFF,
    0xFFDBDB, 0x00DBDB, 0xFFDB00, 0x00DB00, 0xFF00DB, 0x0000DB, 0xAA0000, 0x000000,
    0xFFDBDB, 0x00DBDB, 0xFFDB00, 0x00DB00, 0xFF00DB, 0x0000DB, 0xAA0000, 0x000000,
    0xFFFFFF, 0x00FFFF, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0xFF0000, 0x000000,
    0xFFFFFF, 0x00FFFF, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0xFF0000, 0x000000,
});

namespace {

std::array<uint8_t, 64> NearestEntries() {
  std::array<uint8_t, 64> entries{};
  auto channel = [](uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); };
  for (size_t i = 0; i < entries.size(); ++i) {
    int best = 1 << 30;
    for (uint32_t byte = 0; byte < 256; ++byte) {
      int distance = 0;
      for (int shift : {0, 8, 16}) {
        const int d =
            channel(DefaultUlaPlusPalette[i], shift) - channel(ULAplusRgbTable[byte], shift);
        distance += d * d;
      }
      if (distance < best) {
        best = distance;
        entries[i] = static_cast<uint8_t>(byte);
      }
    }
  }
  return entries;
}

}  // namespace

const std::array<uint8_t, 64> DefaultUlaPlusEntries = NearestEntries();

void ApplyPalette(MachineState& m) {
  int choice = m.settings.Colours;
  if (choice < 0 || choice >= kPaletteCount) choice = 0;
  m.video.ColourTable = Palettes[choice];
}

}  // namespace orvo
