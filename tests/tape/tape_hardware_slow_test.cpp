// Hardware test programs loaded from tape through the ROM loader with real pulses, with the
// results their authors document for a real machine.
#include <gtest/gtest.h>

#include "machine/keyboard.h"
#include "tape_machine.h"

namespace orvo::test {
namespace {

// Boots, inserts the tape and lets the ROM load it with real pulses.
bool LoadThroughRom(TapeMachine& tm, const std::filesystem::path& file) {
  return BootToTapeLoader(tm.emu) && tm.Insert(file);
}

void PressFor(TapeMachine& tm, SpectrumKey key, uint32_t frames) {
  PressSpectrumKey(tm.m, key);
  tm.RunFrames(frames);
  ReleaseSpectrumKey(tm.m, key);
  tm.RunFrames(frames);
}

struct MinfoCase {
  uint8_t model;
  const char* frameTime;
  const char* intTime;  // the INT pulse length in T-states
};

class Minfo : public ::testing::TestWithParam<MinfoCase> {};

TEST_P(Minfo, ReportsFrameAndInterruptTimes) {
  const MinfoCase c = GetParam();
  if (!TapeMachine::RomPresent(c.model)) GTEST_SKIP() << "missing ROM in " << RomDir();
  const auto file = SharedFile("testdata/media/timing/minfo.tap");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm(c.model);
  ASSERT_TRUE(LoadThroughRom(tm, file));
  ASSERT_TRUE(tm.RunUntilScreenShows("INT time: ", 3000)) << tm.Screen();
  tm.RunFrames(50);
  const std::string screen = tm.Screen();
  EXPECT_NE(screen.find(std::string("Frame time: ") + c.frameTime), std::string::npos) << screen;
  EXPECT_NE(screen.find(std::string("INT time: ") + c.intTime), std::string::npos) << screen;
  EXPECT_NE(screen.find("EI is prefix: yes"), std::string::npos) << screen;
}

INSTANTIATE_TEST_SUITE_P(Tape, Minfo,
                         ::testing::Values(MinfoCase{kModel48K, "69888", "32"},
                                           MinfoCase{kModel128K, "70908", "36"}),
                         [](const auto& instance) {
                           return std::string(instance.param.model == kModel48K ? "Spectrum48K"
                                                                                : "Spectrum128K");
                         });

// Float48k prints the value of IN (#FF) at T-states from 14330: 255 until 14338, then bitmap,
// attribute, bitmap, attribute, then 255 four times, repeating.
TEST(TapeHardware, FloatingBusPatternOnThe48K) {
  if (!TapeMachine::RomPresent(kModel48K)) GTEST_SKIP() << "missing 48k.rom in " << RomDir();
  const auto file = SharedFile("testdata/media/timing/Float48k.tap");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm;
  ASSERT_TRUE(LoadThroughRom(tm, file));
  ASSERT_TRUE(tm.RunUntilScreenShows("scroll?", 4000)) << tm.Screen();
  const std::string screen = tm.Screen();
  // Lines "T  value": collect them in order.
  std::vector<std::pair<int, int>> rows;
  for (size_t at = 0; at < screen.size();) {
    const size_t end = screen.find('\n', at);
    int t = 0, v = 0;
    if (std::sscanf(screen.c_str() + at, "%d %d", &t, &v) == 2 && t >= 14000)
      rows.emplace_back(t, v);
    at = end + 1;
  }
  ASSERT_GE(rows.size(), 16u) << screen;
  for (const auto& [t, v] : rows) {
    if (t < 14338) {
      EXPECT_EQ(v, 255) << "T-state " << t;
      continue;
    }
    const int phase = (t - 14338) % 8;
    if (phase >= 4) {
      EXPECT_EQ(v, 255) << "T-state " << t << ": the ULA is idle";
    } else if (phase % 2 == 1) {
      EXPECT_EQ(v, 56) << "T-state " << t << ": the attribute (white paper, black ink)";
    } else {
      EXPECT_NE(v, 255) << "T-state " << t << ": a bitmap byte";
    }
  }
}

TEST(TapeHardware, TimingTestsAllPass) {
  if (!TapeMachine::RomPresent(kModel48K)) GTEST_SKIP() << "missing 48k.rom in " << RomDir();
  const auto file = SharedFile("testdata/media/timing/Timing_Tests-48k_v1.0.tzx");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm;
  ASSERT_TRUE(LoadThroughRom(tm, file));
  ASSERT_TRUE(tm.RunUntilScreenShows("choose test", 8000)) << tm.Screen();
  PressFor(tm, kKeyEnter, 5);  // all tests
  EXPECT_TRUE(tm.RunUntilScreenShows("All Tests Complete 100% Pass", 30000)) << tm.Screen();
}

class Z80Test : public ::testing::TestWithParam<const char*> {};

// Patrik Rak's z80test suites, loaded through the 48K ROM: the ROM's "scroll?" question is
// answered as the results fill the screen.
TEST_P(Z80Test, AllTestsPassed) {
  if (!TapeMachine::RomPresent(kModel48K)) GTEST_SKIP() << "missing 48k.rom in " << RomDir();
  const auto file = SharedFile(std::string("testdata/cpu/z80test/") + GetParam() + ".tap");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm;
  ASSERT_TRUE(LoadThroughRom(tm, file));
  std::string screen;
  for (int frame = 0; frame < 400000; frame += 25) {
    tm.RunFrames(25);
    screen = tm.Screen();
    if (screen.find("Result:") != std::string::npos) break;
    if (screen.find("scroll?") != std::string::npos) PressFor(tm, kKeyEnter, 3);
  }
  EXPECT_NE(screen.find("all tests passed"), std::string::npos) << screen;
}

INSTANTIATE_TEST_SUITE_P(Tape, Z80Test,
                         ::testing::Values("z80full", "z80doc", "z80flags", "z80docflags", "z80ccf",
                                           "z80memptr"),
                         [](const auto& instance) { return std::string(instance.param); });

}  // namespace
}  // namespace orvo::test
