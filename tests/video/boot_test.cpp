// Whole machines: every model boots its ROM to its start-up screen, read back as text through
// the ROM's character set, and a BASIC program typed in runs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "machine/keyboard.h"
#include "machine/machine_fixture.h"
#include "machine/typing.h"
#include "shell/frame_loop.h"
#include "video/screen_text.h"

namespace orvo::test {
namespace {

struct BootedMachine : TestMachine {
  explicit BootedMachine(uint8_t model) : TestMachine(model) {
    emu.NoThrottle = true;
    m.settings.Sound = 0;
    ResetMachine(emu, true);
  }
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(emu);
  }
  void Hold(SpectrumKey a, int frames) {
    PressSpectrumKey(m, a);
    Run(frames);
    ReleaseSpectrumKey(m, a);
  }
  void Hold(SpectrumKey a, SpectrumKey b, int frames) {
    PressSpectrumKey(m, a);
    Hold(b, frames);
    ReleaseSpectrumKey(m, a);
  }
  void Type(const std::string& text) {
    StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    for (int i = 0; i < 2000 && TypingActive(m); ++i) RunFrame(emu);
    ASSERT_FALSE(TypingActive(m)) << "the ROM never took all of the text";
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

TEST(Boot, TypedProgramRunsOn48K) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  BootedMachine b(kModel48K);
  b.Run(100);
  b.Type("10 PRINT 6*7\n20 PRINT \"HI\";: PRINT AT 5,3;\"X<>Y\"\nRUN");
  b.Run(20);
  EXPECT_EQ(b.Line(0), "42");
  EXPECT_EQ(b.Line(1), "HI");
  EXPECT_EQ(b.Line(5), "   X<>Y");
  EXPECT_EQ(b.Line(23), "0 OK, 20:2");
  // ENTER after the report lists the program with the keywords the tokeniser produced.
  b.Hold(kKeyEnter, 3);
  b.Run(30);
  EXPECT_EQ(b.Line(0), "  10 PRINT 6*7");
  EXPECT_EQ(b.Line(1), "  20>PRINT \"HI\";: PRINT AT 5,3;\"");
  EXPECT_EQ(b.Line(2), "X<>Y\"");
}

TEST(Boot, TypedProgramRunsIn128KBasic) {
  for (uint8_t model : {kModel128K, kModelPlus3}) {
    const char* rom = model == kModel128K ? "128k.rom" : "plus3.rom";
    ORVO_REQUIRE_FILE(RomDir() / rom);
    BootedMachine b(model);
    // The +3 spins its drive motor up at start-up while it looks for drive B:, so its menu takes
    // a little longer to come up.
    b.Run(model == kModelPlus3 ? 200 : 100);
    // Down to the second entry of the menu, then ENTER.
    b.Hold(kKeyCapsShift, {4, 4}, 3);
    b.Run(10);
    b.Hold(kKeyEnter, 3);
    b.Run(40);
    b.Type("10 PRINT 6*7\r\nRUN");
    b.Run(30);
    EXPECT_EQ(b.Line(0), "42") << rom;
    EXPECT_EQ(b.Line(23).substr(0, 9), "0 OK, 10:") << rom;
  }
}

}  // namespace
}  // namespace orvo::test
