// The ZX Printer: what the 48K ROM's LPRINT and COPY burn onto the paper, the dot timing, and the
// paper's edges.
#include "devices/printer.h"

#include <gtest/gtest.h>

#include "machine/machine_fixture.h"
#include "machine/typing.h"
#include "shell/frame_loop.h"

namespace orvo::test {
namespace {

bool Dot(const PrinterState& p, uint32_t line, uint32_t x) {
  return p.paper[line * kPaperWidth + x] == 0;
}

// Screen memory offset of pixel line y.
uint32_t LineOffset(uint32_t y) {
  return ((y & 0xC0) << 5) | ((y & 0x07) << 8) | ((y & 0x38) << 2);
}

struct PrintingMachine : TestMachine {
  PrintingMachine() : TestMachine(kModel48K) {
    emu.NoThrottle = true;
    ResetMachine(emu, true);
    // No printer: its port is not there (the top border's floating bus reads 0xFF).
    m.FrameTState = 0;
    EXPECT_EQ(m.ReadPort(0x00FB), 0xFF);
    SetPrinterAttached(m, true);
    for (int f = 0; f < 150; ++f) RunFrame(emu);
  }
  void Type(const std::string& text, int frames) {
    StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    for (int f = 0; f < frames; ++f) RunFrame(emu);
  }
};

TEST(Printer, LprintBurnsTheRomCharacters) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  PrintingMachine t;
  t.Type("LPRINT \"HELLO\"", 300);
  const PrinterState& p = t.m.printer;
  EXPECT_EQ(p.motor, 0);
  ASSERT_EQ(p.line, 8u);  // one text row, then the paper moved on
  const std::string text = "HELLO";
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t* glyph = &t.m.RomBuffer48[0x3D00 + (text[i] - 32) * 8];
    for (uint32_t y = 0; y < 8; ++y)
      for (uint32_t x = 0; x < 8; ++x)
        EXPECT_EQ(Dot(p, y, i * 8 + x), ((glyph[y] << x) & 0x80) != 0)
            << text[i] << " line " << y << " dot " << x;
  }
  EXPECT_FALSE(Dot(p, 3, 5 * 8 + 2));  // nothing after the text
}

TEST(Printer, CopyMatchesTheScreen) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  PrintingMachine t;
  // A pattern over the top 22 character rows: every pixel line different.
  for (uint32_t y = 0; y < 176; ++y)
    for (uint32_t col = 0; col < 32; ++col)
      t.m.ScreenPointer[LineOffset(y) + col] = static_cast<uint8_t>(y * 7 + col);
  t.Type("COPY", 1200);
  const PrinterState& p = t.m.printer;
  ASSERT_GE(p.line, 176u);
  int wrong = 0;
  for (uint32_t y = 0; y < 176; ++y)
    for (uint32_t x = 0; x < 256; ++x)
      wrong +=
          Dot(p, y, x) != (((t.m.ScreenPointer[LineOffset(y) + x / 8] << (x % 8)) & 0x80) != 0);
  EXPECT_EQ(wrong, 0);
}

TEST(Printer, DotTimingAndPaperEdges) {
  PrinterState p;
  p.paper.assign(static_cast<size_t>(kPaperLines) * kPaperWidth, 255);
  PrinterPortWrite(p, 0x80);  // motor on, stylus down
  const auto periods = [&p](int n) {
    for (int i = 0; i < n; ++i) AdvancePrinter(p, kDotTStates);
  };
  periods(16);  // the margin after reset
  EXPECT_EQ(p.column, 0u);
  periods(1);
  EXPECT_EQ(PrinterPortRead(p), 0x81);  // encoder and start pulse with each dot
  periods(256);
  EXPECT_EQ(p.line, 1u);
  // A line of 256 dots takes 257 dot periods plus one margin period.
  periods(257);
  EXPECT_EQ(p.line, 1u);
  periods(1);
  EXPECT_EQ(p.line, 2u);
  EXPECT_TRUE(Dot(p, 0, 0) && Dot(p, 0, 255) && Dot(p, 1, 255));
  PrinterPortWrite(p, 0x04);  // motor off: the flags drop
  EXPECT_EQ(PrinterPortRead(p), 0x00);

  // "Clear", then a row printed: the window shows it at the bottom of the paper.
  ClearPaper(p);
  for (int i = 0; i < 8; ++i) {
    p.paper[p.line * kPaperWidth + 10] = 0;
    FeedPaper(p);
  }
  const std::vector<uint32_t> view = PaperViewPixels(p);
  EXPECT_EQ(view[(kPaperViewHeight - 1) * kPaperViewWidth + 18], 0x000000u);
  EXPECT_EQ(view[(kPaperViewHeight - 9) * kPaperViewWidth + 18], 0xFFFFFFu);

  // At the end of the paper the oldest row scrolls off and the line never passes the buffer.
  for (uint32_t i = 0; i < kPaperLines + 20; ++i) FeedPaper(p);
  EXPECT_LT(p.line, kPaperLines);
  p.paper[p.line * kPaperWidth + 3] = 0;
  const uint32_t marked = p.line;
  for (int i = 0; i < 16; ++i) FeedPaper(p);
  EXPECT_TRUE(Dot(p, marked - 16, 3));
}

}  // namespace
}  // namespace orvo::test
