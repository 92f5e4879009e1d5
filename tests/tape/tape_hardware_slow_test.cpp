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

void PressFor(TapeMachine& tm, SpectrumKey key, uint32_t frames) {
  PressSpectrumKey(tm.m, key);
  tm.RunFrames(frames);
  ReleaseSpectrumKey(tm.m, key);
  tm.RunFrames(frames);
}

// A program that prints its verdict: ENTER once its menu shows, and at every "scroll?" of the
// ROM, until the last line it prints; then each expected text must be on the screen.
struct VerdictCase {
  const char* name;
  std::string file;  // under testdata/
  uint8_t model;
  const char* menu;  // shown when ENTER starts the tests, or null
  const char* done;
  std::vector<const char*> expected;
  int frameLimit;
};

class Verdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Verdict, ShowsTheRealMachinesResult) {
  const VerdictCase& c = GetParam();
  ORVO_REQUIRE_TAPE_ROMS(c.model);
  const auto file = SharedFile("testdata/" + c.file);
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm(c.model);
  ASSERT_TRUE(tm.BootAndInsert(file));
  bool menuSeen = c.menu == nullptr;
  for (int frame = 0; frame < c.frameLimit; frame += 25) {
    tm.RunFrames(25);
    const std::string screen = tm.Screen();
    if (screen.find(c.done) != std::string::npos) break;
    if (!menuSeen && screen.find(c.menu) != std::string::npos) {
      menuSeen = true;
      PressFor(tm, kKeyEnter, 5);
    }
    if (screen.find("scroll?") != std::string::npos) PressFor(tm, kKeyEnter, 3);
  }
  tm.RunFrames(50);
  for (const char* text : c.expected) {
    EXPECT_NE(tm.Screen().find(text), std::string::npos) << text << "\n" << tm.Screen();
  }
}

VerdictCase Z80Test(const char* name) {
  return {name,      std::string("cpu/z80test/") + name + ".tap",
          kModel48K, nullptr,
          "Result:", {"all tests passed"},
          400000};
}

VerdictCase Minfo(const char* name, uint8_t model, const char* frame, const char* intLength) {
  return {name,         "media/timing/minfo.tap",
          model,        nullptr,
          "INT time: ", {frame, intLength, "EI is prefix: yes"},
          3000};
}

INSTANTIATE_TEST_SUITE_P(
    Tape, Verdict,
    ::testing::Values(Minfo("minfo_48k", kModel48K, "Frame time: 69888", "INT time: 32"),
                      Minfo("minfo_128k", kModel128K, "Frame time: 70908", "INT time: 36"),
                      VerdictCase{"timing_tests_48k", "media/timing/Timing_Tests-48k_v1.0.tzx",
                                  kModel48K, "choose test", "All Tests Complete",
                                  std::vector<const char*>{"All Tests Complete 100% Pass"}, 38000},
                      // Patrik Rak's z80test suites.
                      Z80Test("z80full"), Z80Test("z80doc"), Z80Test("z80flags"),
                      Z80Test("z80docflags"), Z80Test("z80ccf"), Z80Test("z80memptr")),
    [](const auto& instance) { return std::string(instance.param.name); });

// Float48k and Float128k print the value of IN (#FF) at T-states from 14330 (14357): 255 until the
// first display fetch, then bitmap, attribute, bitmap, attribute, then 255 four times, repeating.
// The 128K's first fetch is 26 T-states after the 48K's 14338, as its contention starts 26 later.
TEST(TapeHardware, FloatingBusPattern) {
  const struct {
    uint8_t model;
    const char* file;
    int firstFetch;
  } cases[] = {{kModel48K, "Float48k.tap", 14338}, {kModel128K, "Float128k.tap", 14364}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ORVO_REQUIRE_TAPE_ROMS(c.model);
    const auto file = SharedFile(std::string("testdata/media/timing/") + c.file);
    ORVO_REQUIRE_FILE(file);
    TapeMachine tm(c.model);
    ASSERT_TRUE(tm.BootAndInsert(file));
    ASSERT_TRUE(tm.RunUntilScreenShows("scroll?", 4000)) << tm.Screen();
    // Lines "T  value": collect them in order.
    std::vector<std::pair<int, int>> rows;
    std::istringstream lines(tm.Screen());
    for (std::string line; std::getline(lines, line);) {
      int t = 0, v = 0;
      if (std::sscanf(line.c_str(), "%d %d", &t, &v) == 2 && t >= 14000) rows.emplace_back(t, v);
    }
    ASSERT_GE(rows.size(), 16u) << tm.Screen();
    EXPECT_LT(rows.front().first, c.firstFetch) << "the table starts before the display";
    for (const auto& [t, v] : rows) {
      const int phase = (t - c.firstFetch) % 8;
      if (t < c.firstFetch || phase >= 4) {
        EXPECT_EQ(v, 255) << "T-state " << t << ": the ULA is idle";
      } else if (phase % 2 == 1) {
        EXPECT_EQ(v, 56) << "T-state " << t << ": the attribute (white paper, black ink)";
      } else {
        EXPECT_NE(v, 255) << "T-state " << t << ": a bitmap byte";
      }
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
  ORVO_REQUIRE_TAPE_ROMS(c.model);
  const auto file = SharedFile("testdata/media/timing/rak_timingtest_v0.2.tap");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm(c.model);
  ASSERT_TRUE(tm.BootAndInsert(file));
  ASSERT_TRUE(tm.RunUntilScreenShows("Choose test", 4000)) << tm.Screen();
  PressFor(tm, SpectrumKey{4, 0}, 5);  // "0"
  PressFor(tm, kKeyEnter, 5);
  std::map<int, std::vector<int>> expected;
  int t = c.firstRow;
  for (const auto& [count, row] : c.rows) {
    for (int k = 0; k < count; ++k, t += 8) expected[t] = row;
  }
  // The grid fills a cell every few dozen frames: wait for its last row.
  std::map<int, std::vector<int>> shown;
  for (int frames = 0; frames < 8000 && shown[t - 8].size() < 8; frames += 50) {
    tm.RunFrames(50);
    shown.clear();
    std::istringstream lines(tm.Screen());
    for (std::string line; std::getline(lines, line);) {
      std::istringstream cells(line);
      int label = 0;
      if (!(cells >> label) || label < 14000) continue;
      for (int v; cells >> v;) shown[label].push_back(v);
    }
  }
  EXPECT_EQ(shown, expected) << tm.Screen();
}

const std::vector<int> kNops(8, 4);
const NopGridCase kNopGrids[] = {
    {kModel48K, 14328, {{1, kNops}, {16, {10, 9, 8, 7, 6, 5, 4, 4}}, {3, kNops}}},
    {kModel128K, 14336, {{3, kNops}, {16, {4, 4, 10, 9, 8, 7, 6, 5}}, {1, kNops}}},
    {kModelPlus3,
     14336,
     {{3, kNops},
      {1, {4, 4, 5, 4, 11, 10, 9, 8}},
      {15, {7, 6, 5, 4, 11, 10, 9, 8}},
      {1, {7, 6, 5, 4, 4, 4, 4, 4}}}}};
INSTANTIATE_TEST_SUITE_P(Tape, ContendedNopGrid, ::testing::ValuesIn(kNopGrids),
                         [](const auto& i) { return "Model" + std::to_string(i.param.model); });

}  // namespace
}  // namespace orvo::test
