// The ULA picture (layout, colours, the lazy catch-up at memory writes and border changes, late
// timing, "Disable Attributes", ULAplus, snow and the palettes), and whole machines: every model
// boots its ROM to its start-up screen, read back as text through the ROM's character set, and
// stops at the editor's key wait, where typed text is handed over (typing whole: orvo-run's tests).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "devices/device.h"
#include "machine/machine_fixture.h"
#include "shell/frame_loop.h"
#include "video/palette.h"
#include "video/screen_text.h"
#include "video_fixture.h"

namespace orvo::test {
namespace {

TEST(UlaPicture, LayoutBrightAndBorder) {
  VideoMachine vm(kModel48K);
  uint8_t* s = vm.Screen();
  s[0x0000] = 0xF0;  // row 0, column 0
  s[0x0100] = 0x0F;  // row 1: the next pixel line lives 256 bytes on
  s[0x0020] = 0xFF;  // row 8: the next character row is 32 bytes on
  s[0x0800] = 0x80;  // row 64: the middle third
  s[0x001F] = 0x01;  // row 0, column 31
  s[0x1800] = 0x0A;  // ink 2 on paper 1
  s[0x1800 + 32] = s[0x1800 + 31] = s[0x1800 + 8 * 32] = 0x38;
  s[0x1801] = 0x4A;  // bright: ink FF0000, paper 0000FF
  s[0x0001] = 0xAA;
  vm.m.WritePort(0x00FE, 4);  // green border from the start of the frame
  vm.EndFrame();
  EXPECT_TRUE(RowIs(vm, 48, 48, 52, kRed) && RowIs(vm, 48, 52, 56, kBlue));
  EXPECT_TRUE(RowIs(vm, 49, 48, 52, kBlue) && RowIs(vm, 49, 52, 56, kRed));
  EXPECT_TRUE(RowIs(vm, 56, 48, 56, kBlack));
  EXPECT_TRUE(RowIs(vm, 48 + 64, 48, 49, kBlack) && RowIs(vm, 48 + 64, 49, 56, kWhite));
  EXPECT_TRUE(RowIs(vm, 48, 303, 304, kBlack));
  EXPECT_EQ(vm.Pixel(56, 48), 0xFF0000u);
  EXPECT_EQ(vm.Pixel(57, 48), 0x0000FFu);
  for (int row : {0, 48, 239, 295})
    EXPECT_TRUE(RowIs(vm, row, 0, 48, 0x00CA00) && RowIs(vm, row, 304, 352, 0x00CA00)) << row;
  EXPECT_TRUE(RowIs(vm, 240, 0, 352, 0x00CA00));
}

// A picture wanted before any frame has run (a snapshot just loaded): the whole of it is drawn
// from memory, and the frame's own drawing goes on from where the beam is.
TEST(UlaPicture, WholePictureBeforeAnyFrame) {
  VideoMachine vm(kModel48K);
  vm.m.FrameTState = vm.m.video.DisplayDrawnTo = vm.m.video.BorderDrawnTo = 30000;
  vm.Screen()[0x17FF] = 0xFF;  // row 191, column 31
  vm.Screen()[0x1AFF] = 0x02;  // ink 2
  vm.m.ports.BorderColour = 1;
  DrawWholePicture(vm.m);
  EXPECT_TRUE(RowIs(vm, 48 + 191, 48 + 248, 48 + 256, kRed));
  EXPECT_TRUE(RowIs(vm, 0, 0, 352, kBlue));
  EXPECT_TRUE(RowIs(vm, 295, 0, 352, kBlue));
  EXPECT_EQ(vm.m.video.DisplayDrawnTo, 30000u);
  EXPECT_EQ(vm.m.video.BorderDrawnTo, 30000u);
}

TEST(UlaPicture, AttributeWriteAroundItsFetch) {
  // The ULA fetches row 0, column 0 at T-states 14336-14339 on the 48K (one later with late
  // timing); without contention a write completes 3 T-states after it starts.
  const struct {
    bool late;
    uint32_t start;
    bool showsNew;
  } cases[] = {
      {false, 14334, true}, {false, 14335, false}, {true, 14335, true}, {true, 14336, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "late " << c.late << ", write at " << c.start);
    VideoMachine vm(kModel48K, c.late);
    vm.m.settings.Contention = 0;
    vm.Attr(0, 0) = 0x38;  // black on white
    vm.m.FrameTState = c.start;
    vm.m.WriteByte(0x5800, 0x10);  // black on red
    vm.EndFrame();
    EXPECT_EQ(vm.Pixel(48, 48), c.showsNew ? kRed : kWhite);
    vm.EndFrame();  // the next frame shows it whatever the timing
    EXPECT_EQ(vm.Pixel(48, 48), kRed);
  }
}

// Stores at many moments into bytes the beam is drawing, before, between and after their
// fetches: every cell shows its bitmap and attribute as they were when the ULA fetched them (a
// store starting at s is seen by a fetch at f when s + 2 <= f, one later with late timing).
TEST(UlaPicture, EveryCellShowsItsBytesAsTheyWereAtItsFetch) {
  for (bool late : {false, true}) {
    VideoMachine vm(kModel48K, late);
    vm.m.settings.Contention = 0;
    constexpr int kRows = 16, kCols = 4;
    struct Store {
      uint32_t at;
      uint16_t address;
      uint8_t value;
    };
    std::vector<Store> stores;
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t n) {
      seed = seed * 1103515245 + 12345;
      return (seed >> 16) % n;
    };
    for (int y = 0; y < kRows; ++y)
      for (int c = 0; c < kCols; ++c) vm.Bitmap(y, c) = 0xFF;
    for (int r = 0; r < kRows / 8; ++r)
      for (int c = 0; c < kCols; ++c) vm.Attr(r * 8, c) = 7;
    for (uint32_t t = 14000; t < 14336 + kRows * 224; t += 3 + next(40)) {
      const int y = static_cast<int>(next(kRows)), c = static_cast<int>(next(kCols));
      const bool attr = next(2) != 0;
      const uint16_t offset = static_cast<uint16_t>(attr ? vm.m.video.AttrRowOffset[y] + c
                                                         : vm.m.video.BitmapRowOffset[y] + c);
      const uint8_t value = attr ? static_cast<uint8_t>(next(8)) : (next(2) ? 0xFF : 0x00);
      stores.push_back({t, static_cast<uint16_t>(0x4000 + offset), value});
      vm.m.FrameTState = t;
      vm.m.WriteByte(0x4000 + offset, value);
    }
    vm.EndFrame();
    for (int y = 0; y < kRows; ++y) {
      for (int c = 0; c < kCols; ++c) {
        const uint32_t fetch = 14336 + y * 224 + c * 4 + (late ? 1 : 0);
        uint8_t bitmap = 0xFF, attr = 7;
        for (const Store& s : stores) {
          if (s.at + 2 > fetch) break;
          if (s.address == 0x4000 + vm.m.video.BitmapRowOffset[y] + c) bitmap = s.value;
          if (s.address == 0x4000 + vm.m.video.AttrRowOffset[y] + c) attr = s.value;
        }
        const uint32_t expected = bitmap ? vm.m.video.ColourTable[attr] : kBlack;
        EXPECT_EQ(vm.Pixel(48 + c * 8, 48 + y), expected)
            << "row " << y << ", column " << c << (late ? ", late timing" : "");
      }
    }
  }
}

TEST(UlaPicture, BorderChangesLandOnEightPixelBoundaries) {
  // Scan line 20 (picture row 4) starts at T-state 4480; an OUT starting at T is seen at T + 1;
  // position 32 of the line is picture column 48 + 64. Late timing moves it 8 pixels left.
  for (bool late : {false, true}) {
    VideoMachine vm(kModel48K, late);
    vm.m.WritePort(0x00FE, 1);
    vm.m.FrameTState = 4480 + 31;
    vm.m.WritePort(0x00FE, 2);
    vm.m.FrameTState = 4480 + 63;
    vm.m.WritePort(0x00FE, 1);
    // A change during the retrace (T-states 152-199 of the line) shows nowhere.
    vm.m.FrameTState = 4480 + 160;
    vm.m.WritePort(0x00FE, 6);
    vm.m.FrameTState = 4480 + 190;
    vm.m.WritePort(0x00FE, 1);
    vm.EndFrame();
    const int shift = late ? 8 : 0;
    EXPECT_TRUE(RowIs(vm, 4, 0, 112 - shift, kBlue)) << late;
    EXPECT_TRUE(RowIs(vm, 4, 112 - shift, 176 - shift, kRed)) << late;
    EXPECT_TRUE(RowIs(vm, 4, 176 - shift, 352, kBlue)) << late;
    EXPECT_TRUE(RowIs(vm, 5, 0, 352, kBlue)) << late;
  }
}

TEST(UlaPicture, ChangesAfterQuietFramesAreRedrawn) {
  VideoMachine vm(kModel48K);
  vm.Attr(0, 0) = 0x38;
  vm.m.WritePort(0x00FE, 1);
  vm.EndFrame();
  vm.EndFrame();
  // A border change in the middle of the frame, then back.
  vm.m.WritePort(0x00FE, 2);
  vm.m.FrameTState = 30000;
  vm.m.WritePort(0x00FE, 1);
  vm.EndFrame();
  EXPECT_TRUE(RowIs(vm, 0, 0, 352, kRed));
  EXPECT_TRUE(RowIs(vm, 295, 0, 352, kBlue));
  EXPECT_EQ(vm.Pixel(48, 48), kWhite);
  vm.Bitmap(0, 0) = 0x80;  // stored without the write cycle (a snapshot load, say)
  vm.EndFrame();
  EXPECT_TRUE(RowIs(vm, 0, 0, 352, kBlue));
  EXPECT_EQ(vm.Pixel(48, 48), kBlack);
  EXPECT_EQ(vm.Pixel(49, 48), kWhite);
  vm.m.settings.Colours = 2;  // Green Screen: a palette change redraws the whole picture
  ApplyPalette(vm.m);
  vm.EndFrame();
  EXPECT_EQ(vm.Pixel(49, 48), 0x00B500u);
  EXPECT_EQ(vm.Pixel(0, 0), 0x002100u);
}

TEST(UlaPicture, DisableAttributesModes) {
  // Attribute 0x4A: bright red ink on bright blue paper; border red.
  const struct {
    int setting;
    uint32_t ink, paper, border;
  } cases[] = {
      {0, 0xFF0000, 0x0000FF, kRed}, {1, kBlack, kWhite, kRed},   {2, 0xFF0000, 0x0000FF, kWhite},
      {3, kBlack, kWhite, kWhite},   {4, 0xFF0000, kWhite, kRed}, {5, kBlack, 0x0000FF, kRed},
  };
  for (const auto& c : cases) {
    VideoMachine vm(kModel48K);
    vm.m.settings.DisableAttributes = c.setting;
    vm.Attr(0, 0) = 0x4A;
    vm.Bitmap(0, 0) = 0x80;
    vm.m.WritePort(0x00FE, 2);
    vm.EndFrame();
    EXPECT_EQ(vm.Pixel(48, 48), c.ink) << c.setting;
    EXPECT_EQ(vm.Pixel(49, 48), c.paper) << c.setting;
    EXPECT_EQ(vm.Pixel(0, 0), c.border) << c.setting;
    EXPECT_EQ(vm.m.ports.BorderColour, 2) << "the machine's own border colour is left alone";
  }
}

TEST(UlaPicture, UlaPlusPalettes) {
  VideoMachine vm(kModel48K);
  vm.m.settings.UlaPlus = 1;
  UpdateDevices(vm.m);
  auto ulaPlus = [&vm](uint8_t reg, uint8_t value) {
    vm.m.WritePort(0xBF3B, reg);
    vm.m.WritePort(0xFF3B, value);
  };
  ulaPlus(0x40, 0x01);   // palette mode on
  vm.Attr(0, 0) = 0xC7;  // table 3: ink entry 55, paper entry 56
  vm.Bitmap(0, 0) = 0x80;
  vm.Attr(0, 1) = 0x80 | 0x38;  // FLASH has no effect; table 2 paper 7: entry 47
  vm.m.FlashCountdown = 20;
  ulaPlus(55, 0xE0);
  EXPECT_EQ(vm.m.ReadPort(0xFF3B), 0xE0) << "the selected entry reads back whole";
  ulaPlus(56, 0x1C);
  vm.m.WritePort(0x00FE, 3);  // border: entry 8 + 3
  vm.EndFrame();
  EXPECT_EQ(vm.Pixel(48, 48), 0x00FF00u);
  EXPECT_EQ(vm.Pixel(49, 48), 0xFF0000u);
  EXPECT_EQ(vm.Pixel(56, 48), DefaultUlaPlusPalette[47]);
  EXPECT_EQ(vm.Pixel(0, 0), DefaultUlaPlusPalette[11]);
  // A palette change in display row 100 keeps what the beam has passed.
  for (int y = 8; y < 192; y += 8) vm.Attr(y, 0) = 0x00;  // paper: entry 8
  vm.m.FrameTState = 14336 + 100 * 224;
  ulaPlus(8, 0x03);  // blue
  vm.EndFrame();
  EXPECT_EQ(vm.Pixel(48, 48 + 50), DefaultUlaPlusPalette[8]);
  EXPECT_EQ(vm.Pixel(48, 48 + 150), 0x0000FFu);

  VideoMachine off(kModel48K);  // with the option off the ports are not there
  off.m.WritePort(0xBF3B, 0x40);
  off.m.WritePort(0xFF3B, 0x01);
  EXPECT_EQ(off.m.ports.UlaPlusPaletteMode, 0);
}

TEST(UlaPicture, NothingIsDrawnWhileATapeFastLoads) {
  VideoMachine vm(kModel48K);
  vm.m.WritePort(0x00FE, 1);
  vm.EndFrame();
  vm.m.TapePlaying = 1;
  vm.m.settings.Fastload = 1;
  vm.m.WritePort(0x00FE, 2);
  vm.Attr(0, 0) = 0x10;
  vm.EndFrame();
  EXPECT_EQ(vm.Pixel(0, 0), kBlue);
  EXPECT_EQ(vm.Pixel(48, 48), kBlack);
}

TEST(UlaPicture, FirstDisplayByteOfThePlus3IsNotOverdrawnByTheBorder) {
  // The +2A/+3 begin fetching one T-state into the scan line; the T-state before belongs to the
  // display area all the same.
  VideoMachine vm(kModelPlus3);
  vm.Attr(0, 0) = 0x38;
  vm.m.WritePort(0x00FE, 2);
  vm.m.FrameTState = 20000;
  RenderDisplayUpTo(vm.m, vm.m.FrameTState);
  vm.EndFrame();
  EXPECT_TRUE(RowIs(vm, 48, 48, 56, kWhite));
  EXPECT_TRUE(RowIs(vm, 48, 0, 48, kRed));
}

TEST(UlaPicture, SnowReplacesTheFetchedBytesByTheRefreshAddress) {
  VideoMachine vm(kModel48K);
  vm.m.settings.UlaSnow = 1;
  vm.m.cpu.IR.b.h = 0x40;
  vm.m.cpu.IR.b.l = 0x05;
  UpdateUlaSnow(vm.m);
  ASSERT_TRUE(vm.m.video.SnowArmed);
  vm.Attr(0, 0) = 0x38;
  vm.Screen()[0x0005] = 0xFF;      // what the refresh address 0x4005 points at
  vm.Screen()[0x1800 + 5] = 0x10;  // and 0x5805
  vm.m.FrameTState = 14338;        // an opcode fetch ends in phase 2 of column 0
  UlaSnowFetch(vm.m);
  EXPECT_FALSE(vm.m.video.SnowActive);
  vm.EndFrame();
  EXPECT_TRUE(RowIs(vm, 48, 48, 56, kBlack));  // bitmap 0xFF, ink black
  vm.EndFrame();                               // next frame, without snow, the true bytes
  EXPECT_TRUE(RowIs(vm, 48, 48, 56, kWhite));
  // Snow needs contention and I pointing at contended memory.
  for (const auto& [i, contention] : {std::pair{0x80, 1}, {0x40, 0}}) {
    vm.m.cpu.IR.b.h = static_cast<uint8_t>(i);
    vm.m.settings.Contention = contention;
    UpdateUlaSnow(vm.m);
    EXPECT_FALSE(vm.m.video.SnowArmed) << i;
  }
}

struct BootedMachine : TestMachine {
  explicit BootedMachine(uint8_t model) : TestMachine(model) {
    emu.NoThrottle = true;
    m.settings.Sound = 0;
    ResetMachine(emu, true);
  }
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(emu);
  }
  // Steps on until the editor's keyboard wait comes round; false if it does not within 5 frames.
  bool AtKeyWait() {
    for (int frame = 0; frame < 5; ++frame, RunFrame(emu)) {
      for (; m.FrameTState < m.FrameLength; StepInstruction(emu))
        if (m.cpu.PC == m.KeyWaitAddress) return true;
    }
    return false;
  }
  std::string Line(int row) {
    std::string line = ScreenText(m);
    size_t start = 0;
    for (int r = 0; r < row; ++r) start = line.find('\n', start) + 1;
    line = line.substr(start, line.find('\n', start) - start);
    return line.substr(0, line.find_last_not_of(' ') + 1);
  }
};

constexpr const char* kCopyright48 = "\xC2\xA9 1982 Sinclair Research Ltd";
constexpr const char* kAmstrad =
    "\xC2\xA9"
    "1982, 1986, 1987 Amstrad Plc.";

// The 16K and 48K show the copyright line alone, the 128K family its menu.
TEST(Boot, EveryModelShowsItsStartUpScreen) {
  const struct {
    uint8_t model;
    const char *rom, *loader, *basic;
    int bottomRow;
    const char* bottom;
  } cases[] = {
      {kModel16K, "48k.rom", nullptr, nullptr, 23, kCopyright48},
      {kModel48K, "48k.rom", nullptr, nullptr, 23, kCopyright48},
      {kModel128K, "128k.rom", "Tape Loader", "128 BASIC", 23,
       "\xC2\xA9 1986 Sinclair Research Ltd"},
      {kModelPlus2, "plus2.rom", "Tape Loader", "128 BASIC", 22,
       "\xC2\xA9"
       "1986, \xC2\xA9"
       "1982 Amstrad Consumer"},
      {kModelPlus2A, "plus3.rom", "Loader", "+3 BASIC", 22, kAmstrad},
      {kModelPlus3, "plus3.rom", "Loader", "+3 BASIC", 22, kAmstrad},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "model " << int(c.model));
    ORVO_REQUIRE_FILE(RomDir() / c.rom);
    BootedMachine b(c.model);
    b.Run(150);
    EXPECT_TRUE(b.host.messages.empty());
    EXPECT_EQ(b.Line(c.bottomRow), c.bottom);
    EXPECT_TRUE(b.AtKeyWait()) << "PC " << std::hex << b.m.cpu.PC;
    if (!c.loader) {
      // The ROM's RAM test leaves the top of memory in P-RAMT.
      EXPECT_EQ(b.m.Peek(0x5CB4) | b.m.Peek(0x5CB5) << 8, c.model == kModel16K ? 0x7FFF : 0xFFFF);
      for (int row = 0; row < 23; ++row) EXPECT_EQ(b.Line(row), "") << row;
      continue;
    }
    EXPECT_EQ(b.Line(7).substr(7, 3), "128");
    EXPECT_EQ(b.Line(8).substr(8, std::strlen(c.loader)), c.loader);  // highlighted: inverse
    EXPECT_EQ(b.Line(9).substr(8, std::strlen(c.basic)), c.basic);
    EXPECT_EQ(b.Line(11).substr(8, 8), "48 BASIC");
  }
}

}  // namespace
}  // namespace orvo::test
