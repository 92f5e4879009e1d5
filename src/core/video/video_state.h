#pragma once
// The ULA picture and the tables that drive it.
#include <array>
#include <cstdint>
#include <vector>

namespace orvo {

constexpr int kScreenWidth = 352;
constexpr int kScreenHeight = 296;
constexpr uint32_t kDisplayTableSize = 71800;  // longest frame plus the longest instruction

// FetchKind values, one per frame T-state.
enum FetchKindValue : uint8_t {
  kFetchBorder = 0,
  kFetchDisplay = 1,
  kFetchRetrace = 255,
};

struct VideoState {
  VideoState();

  // The 352 x 296 picture, 0x00RRGGBB, rows of 352 pixels. Whatever scaling the display needs
  // is the presenter's own.
  std::vector<uint32_t> ScreenBuffer;
  // The 16 colours of the chosen palette: 0-7 normal, 8-15 bright.
  std::array<uint32_t, 16> ColourTable{};

  // Per frame T-state: what the ULA is doing, and which screen byte it fetches (row x 32 + column).
  std::vector<uint8_t> FetchKind;    // kDisplayTableSize entries
  std::vector<uint16_t> FetchIndex;  // kDisplayTableSize entries
  // Per screen byte index: offsets in the screen bank and where the byte is drawn.
  std::array<uint32_t, 6144> BitmapOffset{};
  std::array<uint32_t, 6144> AttrOffset{};
  std::array<uint16_t, 6144> PixelX{};  // column x 8
  std::array<uint16_t, 6144> PixelY{};  // 48 + display row
  std::array<uint32_t, 192> BitmapRowOffset{};
  std::array<uint32_t, 192> AttrRowOffset{};

  // How far each renderer has drawn, in frame T-states.
  uint32_t DisplayDrawnTo = 0;
  uint32_t StoreOffset = 0;  // the screen byte a store is about to change (0-6911)
  uint32_t BorderDrawnTo = 0;

  // ULA snow: armed by the I register pointing at contended memory; active and kind for the
  // drawing call an opcode fetch makes.
  uint8_t SnowArmed = 0;
  uint8_t SnowActive = 0;
  uint8_t SnowKind = 0;  // 1 bitmap and attribute, 2 attribute only

  // ---- renderer bookkeeping: what the picture currently shows, so that unchanged screen bytes
  // and border runs are not drawn again ----
  std::array<uint8_t, 6144> DrawnBitmap{};  // by byte index: the bytes last drawn there
  std::array<uint8_t, 6144> DrawnAttr{};
  std::array<uint8_t, 6144> CellStale{};     // 1: must be drawn whatever the bytes
  std::array<uint8_t, 192> RowStaleCount{};  // cells of the row with CellStale set
  // Border: per picture row, the colour of its left part (columns 0-47, drawn at the end of the
  // previous scan line) and of the rest (drawn on its own scan line); kMixedBorder when not one
  // colour throughout.
  std::array<uint32_t, kScreenHeight> BorderLeftShown{};
  std::array<uint32_t, kScreenHeight> BorderMainShown{};
  // The colour of the whole border when every row shows that one colour, else kMixedBorder.
  uint32_t BorderAllShown = 0xFFFFFFFFu;
  // The colours the display cells were drawn with; a change makes every cell stale.
  std::array<uint32_t, 16> DrawnColourTable{};
  std::array<uint32_t, 64> DrawnUlaPlusPalette{};
  uint8_t DrawnFlashPhase = 0;
  int32_t DrawnDisableAttributes = 0;
  uint8_t DrawnUlaPlusMode = 0;
  std::array<uint32_t, 256> InkFor{};    // colour of a set bitmap bit, by attribute
  std::array<uint32_t, 256> PaperFor{};  // colour of a clear bitmap bit, by attribute
};

constexpr uint32_t kMixedBorder = 0xFFFFFFFFu;

}  // namespace orvo
