// Hardware test programs loaded from tape through the ROM loader with real pulses, with the
// results their authors document for a real machine.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

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
  if (!TapeMachine::RomPresent(c.model)) ORVO_MISSING_SHARED_DATA("missing ROM in " << RomDir());
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
  if (!TapeMachine::RomPresent(kModel48K))
    ORVO_MISSING_SHARED_DATA("missing 48k.rom in " << RomDir());
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

// rak's timing test, "contended NOP": the T-states a NOP takes when it starts at each T-state of
// the first display lines, in rows of eight, as the author measured them on real machines.
struct NopGridCase {
  uint8_t model;
  int firstRow;  // the T-state of the first row the test prints
  std::vector<std::pair<int, std::vector<int>>> rows;  // (count of rows, the row)
};

class ContendedNopGrid : public ::testing::TestWithParam<NopGridCase> {};

TEST_P(ContendedNopGrid, MatchesTheRealMachine) {
  const NopGridCase& c = GetParam();
  if (!TapeMachine::RomPresent(c.model)) ORVO_MISSING_SHARED_DATA("missing ROM in " << RomDir());
  const auto file = SharedFile("testdata/media/timing/rak_timingtest_v0.2.tap");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm(c.model);
  ASSERT_TRUE(LoadThroughRom(tm, file));
  ASSERT_TRUE(tm.RunUntilScreenShows("Choose test", 4000)) << tm.Screen();
  PressFor(tm, SpectrumKey{4, 0}, 5);  // "0"
  PressFor(tm, kKeyEnter, 5);
  std::map<int, std::vector<int>> expected;
  int t = c.firstRow;
  for (const auto& [count, row] : c.rows) {
    for (int k = 0; k < count; ++k, t += 8) expected[t] = row;
  }
  // The grid fills a cell every few dozen frames: wait for its last row.
  const int last = t - 8;
  std::map<int, std::vector<int>> shown;
  for (int frames = 0; frames < 8000; frames += 50) {
    tm.RunFrames(50);
    shown.clear();
    std::istringstream lines(tm.Screen());
    for (std::string line; std::getline(lines, line);) {
      std::istringstream cells(line);
      int label = 0;
      if (!(cells >> label) || label < 14000) continue;
      for (int v; cells >> v;) shown[label].push_back(v);
    }
    if (shown.count(last) && shown[last].size() == 8) break;
  }
  EXPECT_EQ(shown, expected) << tm.Screen();
}

INSTANTIATE_TEST_SUITE_P(Tape, ContendedNopGrid,
                         ::testing::Values(NopGridCase{kModel48K,
                                                       14328,
                                                       {{1, {4, 4, 4, 4, 4, 4, 4, 4}},
                                                        {16, {10, 9, 8, 7, 6, 5, 4, 4}},
                                                        {3, {4, 4, 4, 4, 4, 4, 4, 4}}}},
                                           NopGridCase{kModel128K,
                                                       14336,
                                                       {{3, {4, 4, 4, 4, 4, 4, 4, 4}},
                                                        {16, {4, 4, 10, 9, 8, 7, 6, 5}},
                                                        {1, {4, 4, 4, 4, 4, 4, 4, 4}}}},
                                           NopGridCase{kModelPlus3,
                                                       14336,
                                                       {{3, {4, 4, 4, 4, 4, 4, 4, 4}},
                                                        {1, {4, 4, 5, 4, 11, 10, 9, 8}},
                                                        {15, {7, 6, 5, 4, 11, 10, 9, 8}},
                                                        {1, {7, 6, 5, 4, 4, 4, 4, 4}}}}),
                         [](const auto& instance) {
                           return "Model" + std::to_string(instance.param.model);
                         });

TEST(TapeHardware, TimingTestsAllPass) {
  if (!TapeMachine::RomPresent(kModel48K))
    ORVO_MISSING_SHARED_DATA("missing 48k.rom in " << RomDir());
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
  if (!TapeMachine::RomPresent(kModel48K))
    ORVO_MISSING_SHARED_DATA("missing 48k.rom in " << RomDir());
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
