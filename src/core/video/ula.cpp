// The ULA picture.
//
// Each scan line is tstatesPerLine T-states long, one T-state per two pixels: T-states 0-127 of a
// display line fetch its 32 bitmap/attribute byte pairs (one pair per 4 T-states), 128-151 are the
// right border, then comes the horizontal retrace (retraceWidth / 2 T-states), and the last 24
// T-states of the line draw the left border of the next line.
//
// The renderers are brought up to the current T-state whenever something that changes the
// picture is about to happen (a store into screen memory, a border colour change) and at the end
// of each drawn frame. Within one catch-up nothing in memory changes, so every display byte the
// ULA fetches in the range is drawn once, with the bytes it would read at its last fetch, and a
// byte whose bitmap, attribute and colours are what the picture already shows is not drawn
// again. The border is drawn in runs per scan line and a run that would repaint pixels already of
// its colour is skipped.
#include "video/ula.h"

#include <algorithm>
#include <cstring>

#include "machine/machine_state.h"
#include "video/palette.h"

namespace orvo {

VideoState::VideoState()
    : ScreenBuffer(static_cast<size_t>(kScreenWidth) * kScreenHeight, 0),
      FetchKind(kDisplayTableSize, kFetchBorder),
      FetchIndex(kDisplayTableSize, 0) {
  ColourTable = Palettes[0];
  CellStale.fill(1);
  RowStaleCount.fill(32);
  BorderLeftShown.fill(kMixedBorder);
  BorderMainShown.fill(kMixedBorder);
}

namespace {

uint32_t LateShift(const MachineState& m) {
  return m.settings.LateTiming ? 1u : 0u;
}

bool UlaPlusColours(const MachineState& m) {
  return m.settings.UlaPlus != 0 && m.ports.UlaPlusPaletteMode != 0;
}

// The screen bank the ULA reads: the page at 0x4000 on the 48K-style models, the selected screen
// bank on the 128K family.
const uint8_t* ScreenMemory(const MachineState& m) {
  return Is128KFamily(m.MachineModel) ? m.ScreenPointer : m.PageTable[2];
}

// Rebuilds the ink and paper colour of every attribute value when anything they depend on has
// changed, and marks the display cells whose colours changed for redrawing.
void RefreshColours(MachineState& m) {
  VideoState& v = m.video;
  const uint8_t flash = m.FlashCountdown >= kFlashCycleFrames / 2 ? 1 : 0;
  const uint8_t plus = UlaPlusColours(m) ? 1 : 0;
  const int32_t disable = m.settings.DisableAttributes;
  if (flash == v.DrawnFlashPhase && plus == v.DrawnUlaPlusMode &&
      disable == v.DrawnDisableAttributes && v.ColourTable == v.DrawnColourTable &&
      (!plus || m.ports.UlaPlusPalette == v.DrawnUlaPlusPalette)) {
    return;
  }
  v.DrawnFlashPhase = flash;
  v.DrawnUlaPlusMode = plus;
  v.DrawnDisableAttributes = disable;
  v.DrawnColourTable = v.ColourTable;
  v.DrawnUlaPlusPalette = m.ports.UlaPlusPalette;

  bool changed[256];
  bool any = false;
  for (uint32_t a = 0; a < 256; ++a) {
    uint32_t ink, paper;
    if (plus) {
      // Four colour lookup tables of 16 (8 ink, 8 paper), chosen by attribute bits 6-7; no
      // FLASH and no BRIGHT.
      const uint32_t clut = (a >> 6) * 16;
      ink = m.ports.UlaPlusPalette[clut + (a & 7)];
      paper = m.ports.UlaPlusPalette[clut + 8 + ((a >> 3) & 7)];
    } else {
      uint32_t inkIndex = (a & 7) + ((a & 0x40) ? 8 : 0);
      uint32_t paperIndex = (a >> 3) & 15;
      switch (disable) {
        case 1:  // "Display"
        case 3:  // "Both"
          inkIndex = 0;
          paperIndex = 7;
          break;
        case 4: paperIndex = 7; break;  // "Paper"
        case 5: inkIndex = 0; break;    // "Ink"
        default: break;
      }
      if ((a & 0x80) && flash) std::swap(inkIndex, paperIndex);
      ink = v.ColourTable[inkIndex];
      paper = v.ColourTable[paperIndex];
    }
    changed[a] = ink != v.InkFor[a] || paper != v.PaperFor[a];
    any = any || changed[a];
    v.InkFor[a] = ink;
    v.PaperFor[a] = paper;
  }
  if (!any) return;
  for (uint32_t row = 0; row < 192; ++row) {
    for (uint32_t col = 0; col < 32; ++col) {
      const uint32_t i = row * 32 + col;
      if (!v.CellStale[i] && changed[v.DrawnAttr[i]]) {
        v.CellStale[i] = 1;
        ++v.RowStaleCount[row];
      }
    }
  }
}

// For each bitmap byte, all ones where a pixel is set, bit 7 first.
constexpr std::array<std::array<uint32_t, 8>, 256> MakePixelMasks() {
  std::array<std::array<uint32_t, 8>, 256> masks{};
  for (uint32_t b = 0; b < 256; ++b) {
    for (uint32_t k = 0; k < 8; ++k) masks[b][k] = (b & (0x80u >> k)) ? 0xFFFFFFFFu : 0;
  }
  return masks;
}
constexpr std::array<std::array<uint32_t, 8>, 256> kPixelMasks = MakePixelMasks();

// Compares n bytes; the whole-row case (32 bytes) without a library call.
inline bool SameBytes(const uint8_t* a, const uint8_t* b, uint32_t n) {
  if (n != 32) return std::memcmp(a, b, n) == 0;
  uint64_t x[4], y[4];
  std::memcpy(x, a, 32);
  std::memcpy(y, b, 32);
  return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2]) | (x[3] ^ y[3])) == 0;
}

inline void DrawCell(MachineState& m, uint32_t i, uint8_t bitmap, uint8_t attr) {
  VideoState& v = m.video;
  uint32_t* dst = v.ScreenBuffer.data() + static_cast<size_t>(v.PixelY[i]) * kScreenWidth +
                  v.PixelX[i] + m.spec.displayLeftOffset;
  const uint32_t paper = v.PaperFor[attr];
  const uint32_t diff = v.InkFor[attr] ^ paper;
  const std::array<uint32_t, 8>& mask = kPixelMasks[bitmap];
  uint32_t pixels[8];
  for (int k = 0; k < 8; ++k) pixels[k] = paper ^ (diff & mask[k]);
  std::memcpy(dst, pixels, sizeof pixels);
  v.DrawnBitmap[i] = bitmap;
  v.DrawnAttr[i] = attr;
  if (v.CellStale[i]) {
    v.CellStale[i] = 0;
    --v.RowStaleCount[i >> 5];
  }
}

// Draws columns [c0, c1) of display row y as the ULA fetches them now.
void DrawRowCells(MachineState& m, const uint8_t* screen, uint32_t y, uint32_t c0, uint32_t c1) {
  VideoState& v = m.video;
  const uint8_t* bitmaps = screen + v.BitmapRowOffset[y];
  const uint8_t* attrs = screen + v.AttrRowOffset[y];
  const uint32_t first = y * 32;
  const bool snow = m.settings.UlaSnow != 0 && v.SnowActive != 0;
  if (!snow) {
    if (v.RowStaleCount[y] == 0 &&
        SameBytes(bitmaps + c0, v.DrawnBitmap.data() + first + c0, c1 - c0) &&
        SameBytes(attrs + c0, v.DrawnAttr.data() + first + c0, c1 - c0)) {
      return;
    }
    for (uint32_t c = c0; c < c1; ++c) {
      const uint32_t i = first + c;
      if (v.CellStale[i] || v.DrawnBitmap[i] != bitmaps[c] || v.DrawnAttr[i] != attrs[c]) {
        DrawCell(m, i, bitmaps[c], attrs[c]);
      }
    }
    return;
  }
  // Snow: the refresh address on the bus during the fetch replaces the low seven address bits,
  // read through the page at 0x4000.
  const uint32_t r = m.cpu.IR.b.l & 0x7F;
  for (uint32_t c = c0; c < c1; ++c) {
    const uint32_t i = first + c;
    uint8_t bitmap = bitmaps[c];
    uint8_t attr = attrs[c];
    if (v.SnowKind == 1) {
      bitmap = m.Peek(static_cast<uint16_t>(((0x4000 + v.BitmapOffset[i]) & 0xFF80) | r));
    }
    if (v.SnowKind == 1 || v.SnowKind == 2) {
      attr = m.Peek(static_cast<uint16_t>(((0x4000 + v.AttrOffset[i]) & 0xFF80) | r));
    }
    if (v.CellStale[i] || v.DrawnBitmap[i] != bitmap || v.DrawnAttr[i] != attr) {
      DrawCell(m, i, bitmap, attr);
    }
  }
}

// A frame T-state as a T-state of the picture's scan lines, which begin pictureOrigin T-states
// into the frame (0 before that: the end of the frame sync, never shown).
uint32_t PictureTState(const ModelSpec& s, uint32_t t) {
  return t > s.pictureOrigin ? t - s.pictureOrigin : 0;
}

// Draws every display byte with a fetch T-state in [from, end).
void DrawDisplayRange(MachineState& m, uint32_t from, uint32_t end) {
  const ModelSpec& s = m.spec;
  from = PictureTState(s, from);
  end = PictureTState(s, end);
  const uint32_t tpl = s.tstatesPerLine;
  const uint32_t limit =
      std::min<uint32_t>((s.firstDisplayLine + 192) * tpl - 1, kDisplayTableSize);
  const uint32_t lo = std::max(from, s.firstDisplayTState - s.pictureOrigin);
  const uint32_t hi = std::min(end, limit);
  if (lo >= hi) return;
  RefreshColours(m);
  const uint8_t* screen = ScreenMemory(m);
  uint32_t line = lo / tpl;
  for (uint32_t lineStart = line * tpl; lineStart < hi; ++line, lineStart += tpl) {
    if (line < s.firstDisplayLine) continue;
    const uint32_t y = line - s.firstDisplayLine;
    if (y >= 192) break;
    const uint32_t rowLo = std::max(lo, lineStart);
    const uint32_t rowHi = std::min(hi, lineStart + 128);
    if (rowLo >= rowHi) continue;
    DrawRowCells(m, screen, y, (rowLo - lineStart) >> 2, ((rowHi - 1 - lineStart) >> 2) + 1);
  }
}

void FillRun(VideoState& v, uint32_t row, uint32_t x0, uint32_t x1, uint32_t rgb, bool whole,
             uint32_t& shown) {
  if (shown == rgb) return;  // every pixel of this part of the row already has the colour
  uint32_t* dst = v.ScreenBuffer.data() + static_cast<size_t>(row) * kScreenWidth;
  std::fill(dst + x0, dst + x1, rgb);
  shown = whole ? rgb : kMixedBorder;
}

// Draws the border blocks of frame T-states [first, last] in colour rgb.
void DrawBorderRange(MachineState& m, uint32_t first, uint32_t last, uint32_t rgb) {
  VideoState& v = m.video;
  if (v.BorderAllShown == rgb) return;  // the whole border already has this colour
  const ModelSpec& s = m.spec;
  if (last < s.pictureOrigin) return;
  first = PictureTState(s, first);
  last -= s.pictureOrigin;
  const uint32_t tpl = s.tstatesPerLine;
  // The first T-state of the next line's left border, after the retrace.
  const uint32_t leftStart = 152 + s.retraceWidth / 2;
  const uint32_t leftShift = s.retraceWidth + s.borderLeftWidth + 256;
  const uint32_t fvl = s.firstVisibleLine;
  // A range from the first visible border block to the last paints the whole border.
  const bool whole = fvl >= 1 && first <= (fvl - 1) * tpl + leftStart &&
                     last >= (fvl + kScreenHeight - 1) * tpl + 151;
  v.BorderAllShown = whole ? rgb : kMixedBorder;
  uint32_t line = first / tpl;
  for (uint32_t lineStart = line * tpl; lineStart <= last; ++line, lineStart += tpl) {
    const uint32_t a = first > lineStart ? first - lineStart : 0;
    const uint32_t b = std::min(last - lineStart, tpl - 1);
    // The part of this line's own picture row: the top and bottom border lines are border from
    // T-state 0, display lines only from the right border on.
    const bool displayLine = line >= s.firstDisplayLine && line < s.firstDisplayLine + 192;
    const uint32_t mainStart = displayLine ? 128 : 0;
    if (line >= fvl && line - fvl < kScreenHeight) {
      const uint32_t lo = std::max(a, mainStart) & ~3u;
      const uint32_t hi = std::min<uint32_t>(b, 151);
      if (lo <= hi) {
        const uint32_t hiBlock = hi & ~3u;
        FillRun(v, line - fvl, s.borderLeftWidth + lo * 2, s.borderLeftWidth + hiBlock * 2 + 8, rgb,
                lo == mainStart && hiBlock == 148, v.BorderMainShown[line - fvl]);
      }
    }
    // The left border of the next line, drawn after the retrace.
    if (line + 1 >= fvl && line + 1 - fvl < kScreenHeight) {
      const uint32_t lo = std::max(a, leftStart) & ~3u;
      if (lo <= b) {
        const uint32_t hiBlock = b & ~3u;
        FillRun(v, line + 1 - fvl, lo * 2 - leftShift, hiBlock * 2 + 8 - leftShift, rgb,
                lo == leftStart && hiBlock == tpl - 4, v.BorderLeftShown[line + 1 - fvl]);
      }
    }
  }
}

}  // namespace

void BuildDisplayTables(MachineState& m) {
  VideoState& v = m.video;
  const ModelSpec& s = m.spec;
  const uint32_t tpl = s.tstatesPerLine;
  const uint32_t frame = std::min<uint32_t>(s.tstatesPerFrame, kDisplayTableSize);
  const uint32_t retraceEnd = 152 + s.retraceWidth / 2;
  const uint32_t displayEnd = (s.firstDisplayLine + 192) * tpl - 1;
  const uint32_t firstDisplay = s.firstDisplayTState - s.pictureOrigin;
  std::fill(v.FetchKind.begin(), v.FetchKind.end(), kFetchBorder);
  std::fill(v.FetchIndex.begin(), v.FetchIndex.end(), 0);
  // t counts the picture's T-states; the tables are indexed by the frame's.
  for (uint32_t t = 0; t + s.pictureOrigin < frame; ++t) {
    const uint32_t line = t / tpl;
    const uint32_t pos = t % tpl;
    const uint32_t at = t + s.pictureOrigin;
    if (pos >= 152 && pos < retraceEnd) {
      v.FetchKind[at] = kFetchRetrace;
    } else if (t >= firstDisplay && t < displayEnd && pos < 128) {
      v.FetchKind[at] = kFetchDisplay;
      v.FetchIndex[at] = static_cast<uint16_t>((line - s.firstDisplayLine) * 32 + pos / 4);
    }
  }
  for (uint32_t y = 0; y < 192; ++y) {
    v.BitmapRowOffset[y] = ((y & 0xC0) << 5) | ((y & 7) << 8) | ((y & 0x38) << 2);
    v.AttrRowOffset[y] = 6144 + (y >> 3) * 32;
    for (uint32_t c = 0; c < 32; ++c) {
      const uint32_t i = y * 32 + c;
      v.BitmapOffset[i] = v.BitmapRowOffset[y] + c;
      v.AttrOffset[i] = v.AttrRowOffset[y] + c;
      v.PixelX[i] = static_cast<uint16_t>(c * 8);
      v.PixelY[i] = static_cast<uint16_t>(48 + y);
    }
  }
  m.ports.UlaPlusPalette = DefaultUlaPlusPalette;
  m.ports.UlaPlusEntries = DefaultUlaPlusEntries;
  InvalidatePicture(m);
}

void InvalidatePicture(MachineState& m) {
  VideoState& v = m.video;
  v.CellStale.fill(1);
  v.RowStaleCount.fill(32);
  v.BorderLeftShown.fill(kMixedBorder);
  v.BorderMainShown.fill(kMixedBorder);
  v.BorderAllShown = kMixedBorder;
}

void DrawWholePicture(MachineState& m) {
  VideoState& v = m.video;
  InvalidatePicture(m);
  v.DisplayDrawnTo = v.BorderDrawnTo = 0;
  RenderBorderUpTo(m, m.FrameLength);
  RenderDisplayUpTo(m, m.FrameLength);
  v.DisplayDrawnTo = v.BorderDrawnTo = m.FrameTState;
}

void RenderDisplayUpTo(MachineState& m, uint32_t tstate) {
  VideoState& v = m.video;
  if (m.TapePlaying && m.settings.Fastload) {
    // Nothing is drawn while a tape loads at full speed.
    v.DisplayDrawnTo = tstate;
    return;
  }
  // The ULA's fetch of a byte is seen two T-states after the CPU cycle that reaches `tstate`
  // (one T-state less with the late-timing ULA).
  const uint32_t end = tstate + 2 - LateShift(m);
  const uint32_t from = v.DisplayDrawnTo;
  if (from >= end) return;
  v.DisplayDrawnTo = end;
  DrawDisplayRange(m, from, end);
}

void RenderDisplayBeforeStore(MachineState& m, uint32_t tstate) {
  VideoState& v = m.video;
  const uint32_t offset = v.StoreOffset;
  const uint32_t end = tstate + 2 - LateShift(m);
  const uint32_t from = v.DisplayDrawnTo;
  if (from >= end) return;
  // Snow draws with the refresh address of the moment a store draws, and a fast load draws
  // nothing: both as before.
  if (m.settings.UlaSnow != 0 || (m.TapePlaying && m.settings.Fastload)) {
    RenderDisplayUpTo(m, tstate);
    return;
  }
  // The 4-T-state fetch slots of the cells the byte is drawn in (picture T-states): a bitmap
  // byte's one cell, an attribute's eight, a line apart. DrawDisplayRange draws a cell whose
  // slot meets [PictureTState(from), PictureTState(end)).
  const ModelSpec& s = m.spec;
  const uint32_t tpl = s.tstatesPerLine;
  uint32_t row = 0, rows = 1;
  if (offset < 6144) {
    row = ((offset >> 5) & 0xC0) | ((offset >> 8) & 7) | ((offset >> 2) & 0x38);
  } else {
    row = ((offset - 6144) >> 5) * 8;
    rows = 8;
  }
  const uint32_t lo = PictureTState(s, from);
  const uint32_t hi = PictureTState(s, end);
  uint32_t slot = (s.firstDisplayLine + row) * tpl + (offset & 31) * 4;
  for (uint32_t k = 0; k < rows; ++k, slot += tpl) {
    if (slot + 3 >= lo && slot < hi) {
      RenderDisplayUpTo(m, tstate);
      return;
    }
  }
}

void RenderBorderUpTo(MachineState& m, uint32_t tstate) {
  VideoState& v = m.video;
  const uint32_t from = v.BorderDrawnTo;
  v.BorderDrawnTo = tstate;
  if (m.TapePlaying && m.settings.Fastload) return;
  const uint32_t late = LateShift(m);
  const uint32_t first = from >= late ? from - late : 0;
  if (tstate < late) return;
  uint32_t last = tstate - late;
  if (tstate >= m.FrameLength) {
    // Where the picture's last rows fall after the frame's end (the Pentagon's bottom border is
    // shorter than the picture's), the beam is already in the next frame's blanking: those rows
    // take the border colour the frame ends with.
    const ModelSpec& s = m.spec;
    last = std::max(last,
                    s.pictureOrigin + (s.firstVisibleLine + kScreenHeight) * s.tstatesPerLine - 1);
  }
  if (first > last) return;
  // "Disable Attributes" Border and Both show a white border whatever the ULA was told.
  const int32_t disable = m.settings.DisableAttributes;
  const uint32_t colour = (disable == 2 || disable == 3) ? 7 : (m.ports.BorderColour & 7);
  const uint32_t rgb =
      UlaPlusColours(m) ? m.ports.UlaPlusPalette[8 + colour] : v.ColourTable[colour];
  DrawBorderRange(m, first, last, rgb);
}

const uint32_t* ScreenPixels(const MachineState& m) {
  return m.video.ScreenBuffer.data();
}

void UpdateUlaSnow(MachineState& m) {
  const uint32_t top = m.cpu.IR.b.h >> 6;
  m.video.SnowArmed = m.settings.UlaSnow != 0 && m.settings.Contention != 0 &&
                      (top == 1 || (top == 3 && m.topSlotContended != 0));
}

void UlaSnowFetch(MachineState& m) {
  VideoState& v = m.video;
  const uint32_t end = m.FrameTState;
  // Where the refresh cycle of this fetch falls in the ULA's 8-T-state fetch pattern decides
  // which of the bytes being fetched the refresh address corrupts.
  switch (end & 7) {
    case 2:
      v.SnowKind = 1;
      v.SnowActive = 1;
      RenderDisplayUpTo(m, end + 1);
      break;
    case 3:
      v.SnowKind = 2;
      v.SnowActive = 0;
      RenderDisplayUpTo(m, end + 1);
      break;
    case 4:
    case 5:
      v.SnowKind = (end & 7) == 4 ? 1 : 2;
      v.SnowActive = 1;
      if (v.DisplayDrawnTo > 0) --v.DisplayDrawnTo;
      RenderDisplayUpTo(m, end - 1);
      break;
    case 6:
    case 7:
      v.SnowKind = 0;
      v.SnowActive = 0;
      if (v.DisplayDrawnTo > 0) --v.DisplayDrawnTo;
      RenderDisplayUpTo(m, end - 1);
      break;
    default: break;
  }
  v.SnowActive = 0;
}

namespace {

// Where the ULA is in its fetch of display row `row` at frame T-state t: false outside the
// display fetch; otherwise `phase` (2: bitmap, 3: attribute, 4: next bitmap, 5: next attribute,
// else idle) and `column` of the byte pair.
bool FloatingPhase(const MachineState& m, uint32_t t, uint32_t& row, uint32_t& column,
                   uint32_t& phase) {
  if (t >= kDisplayTableSize || m.video.FetchKind[t] != kFetchDisplay) return false;
  const uint32_t rowStart = m.LineStartTable[23];
  if (t < rowStart) return false;
  row = (t - rowStart) / m.spec.tstatesPerLine;
  if (row >= 192 || t < m.LineStartTable[23 + row]) return false;
  const uint32_t p = t - m.LineStartTable[23 + row] + 8;
  if (p < 24) return false;
  column = ((p - 24) >> 2) & ~1u;
  phase = p & 7;
  return true;
}

uint8_t FetchedByte(const MachineState& m, uint32_t row, uint32_t column, uint32_t phase) {
  const uint8_t* screen = ScreenMemory(m);
  const VideoState& v = m.video;
  if (phase == 4 || phase == 5) ++column;
  if (column >= 32) return 0xFF;
  switch (phase) {
    case 2:
    case 4: return screen[v.BitmapRowOffset[row] + column];
    case 3:
    case 5: return screen[v.AttrRowOffset[row] + column];
    default: return 0xFF;
  }
}

}  // namespace

// The 128K and +2 keep their floating bus when the paging is locked; only the +2A/+3's gate array
// (FloatingBusPlus3) stops driving it.
uint8_t FloatingBusValue(const MachineState& m) {
  uint32_t row, column, phase;
  if (!FloatingPhase(m, m.FrameTState, row, column, phase)) return 0xFF;
  return FetchedByte(m, row, column, phase);
}

uint8_t FloatingBusPlus3(MachineState& m) {
  if (m.PagingLock) return 0xFF;
  const uint32_t t = m.FrameTState;
  if (t < kDisplayTableSize && m.video.FetchKind[t] == kFetchDisplay) {
    uint32_t row, column, phase;
    if (FloatingPhase(m, t, row, column, phase) && phase >= 2 && phase <= 5) {
      return FetchedByte(m, row, column, phase) | 1;
    }
    return m.ports.Last0FFDRead;
  }
  return m.FloatingLatch;
}

}  // namespace orvo
