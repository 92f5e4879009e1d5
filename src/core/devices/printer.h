#pragma once
// The Sinclair ZX Printer: a stylus carried across the paper by a belt burns one line of 256
// dots at a time. The ROM drives it through port 0xFB: a write starts or stops the motor (bit 2
// set: stop) and puts the stylus on the paper or lifts it (bit 7); a read gives the encoder pulse
// of each dot position (bit 0) and the start-of-line pulse (bit 7), with bit 6 low to say that a
// printer is there. The motor moves the stylus one dot every 216 T-states; each line begins
// after a margin of dot periods in which nothing is printed.
//
// The printed paper is kept as lines of 256 cells, 0 for a burnt dot and 255 for blank paper,
// up to kPaperLines lines; beyond that the oldest text row scrolls off the top.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

struct MachineState;

inline constexpr uint32_t kPaperLines = 14400;
inline constexpr uint32_t kPaperWidth = 256;
inline constexpr int32_t kDotTStates = 216;
inline constexpr uint32_t kPaperViewRows = 60;  // text rows the printer window shows

enum class PaperStyle : uint8_t { Grey, White };

struct PrinterState {
  uint8_t attached = 0;  // the printer window is open: port 0xFB is decoded
  uint8_t motor = 0;
  uint8_t stylus = 0;
  uint8_t encoder = 0;  // bit 0 of a read
  uint8_t start = 0;    // bit 7 of a read
  uint32_t line = 0;    // the line being printed
  uint32_t column = 0;  // 0..256
  int32_t dotTimer = 25;
  uint32_t margin = 16;
  uint32_t rows = 0;     // text rows (8 lines each) finished
  int32_t scroll = 0;    // the view's first row once more than 59 rows exist
  uint32_t redraws = 0;  // bumped whenever the window's paper should be drawn again
  PaperStyle style = PaperStyle::Grey;
  std::vector<uint8_t> paper;  // kPaperLines x kPaperWidth cells, allocated when attached
};

// Opens or closes the printer (the window opening and closing): the port comes and goes.
void SetPrinterAttached(MachineState& m, bool attached);
// Motor off, stylus up, head at the start of line 0, paper kept.
void ResetPrinter(PrinterState& p);
// Moves the stylus on by `tstates` while the motor runs (called after every instruction then).
void AdvancePrinter(PrinterState& p, int32_t tstates);
void PrinterPortWrite(PrinterState& p, uint8_t value);
uint8_t PrinterPortRead(const PrinterState& p);
// The window's buttons: feed one blank line; clear the paper.
void FeedPaper(PrinterState& p);
void ClearPaper(PrinterState& p);

// The printed paper: every finished line, and the current one when it has dots, as 0x00RRGGBB
// pixels kPaperWidth wide (black dots on white). `height` receives the number of lines.
std::vector<uint32_t> PrintedPaperPixels(const PrinterState& p, uint32_t& height);
// The window's view: 272 x 480 pixels, the last 60 text rows from the scroll position, dots at
// x = column + 8 in the style's colours; with fewer than 60 rows the paper sits at the bottom.
inline constexpr int kPaperViewWidth = 272, kPaperViewHeight = 480;
std::vector<uint32_t> PaperViewPixels(const PrinterState& p);

// The debugger's look at the printer: its flags and counters on one line, then `count` paper
// lines from `firstLine`, each as its number and 32 bytes of hex, eight dots a byte with the
// leftmost dot in bit 7 (as the ROM sends a screen byte), a set bit a burnt dot.
std::string PrinterBufferText(const PrinterState& p, uint32_t firstLine, uint32_t count);

}  // namespace orvo
