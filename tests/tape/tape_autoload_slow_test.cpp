// Every tape of the shared set loads with "Autoload" on: the deck starts and stops itself with the
// loader's polling, with and without fast loading and the ROM loader trap, and the program the
// tape holds runs (a game's screen moves under the keys; a short program prints its text).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "machine/keyboard.h"
#include "tape_machine.h"

namespace orvo::test {
namespace {

struct AutoloadTape {
  const char* file;  // under testdata/media
  uint8_t model;
  uint32_t frameLimit;
  const char* screenText = nullptr;  // text the program prints, for those that are no game
};

struct AutoloadCase {
  AutoloadTape tape;
  bool fastload;
  bool traps;
};

const AutoloadTape kTapes[] = {
    {"csw/StarBike_csw1.01_rle_45454Hz.csw", kModel48K, 12000},
    {"csw/StarBike_csw2.00_zrle_45454Hz.csw", kModel48K, 12000},
    {"csw/derived/zasm_hello_world_csw2_zrle_44100.csw", kModel48K, 3000, "Hello World!"},
    {"tap/zasm_hello_world.tap", kModel48K, 3000, "Hello World!"},
    {"tap/zasm_hello_world_zx7.tap", kModel48K, 3000, "Hello World!"},
    {"tap/tetris2_fuxoft.tap", kModel48K, 6000},
    {"tzx/zasm_tzx_blocks.tzx", kModel48K, 6000, "Hello World!"},
    {"tzx/SYNTHETIC_select_0x28_custominfo_0x35.tzx", kModel48K, 3000, "Hello World!"},
    {"tzx/zorro_speedlock1.tzx", kModel48K, 12000},
    {"tzx/super_scramble_alkatraz_glue.tzx", kModel48K, 24000},
    {"tzx/wizball_turbo.tzx", kModel48K, 16000},
    {"tzx/penetrator_4500baud_id15.tzx", kModel48K, 6000},
    {"tzx/advanced_body_disposal_simulator_csscgc2010_id15.tzx", kModel48K, 8000},
    {"tzx/bcs_quest_for_tires_gdb.tzx", kModel48K, 14000},
    {"tzx/basil_great_mouse_detective_gdb.tzx", kModel48K, 12000},
    {"tzx/dan_dare2_gdb.tzx", kModel48K, 15000},
    {"tzx/hollywood_poker_flowcontrol.tzx", kModel48K, 16000},
    {"tzx/atlantis_4003_blocks_glue.tzx", kModel48K, 40000},
    {"tzx/barbarian2_turbo.tzx", kModel128K, 36000},
    {"tzx/where_time_stood_still_speedlock_128k.tzx", kModel128K, 34000},
};

std::vector<AutoloadCase> AllCases() {
  std::vector<AutoloadCase> cases;
  for (const AutoloadTape& t : kTapes) {
    for (const bool fast : {false, true}) {
      for (const bool traps : {false, true}) cases.push_back({t, fast, traps});
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<AutoloadCase>& info) {
  std::string name = info.param.tape.file;
  name = name.substr(name.rfind('/') + 1);
  name.resize(name.rfind('.'));
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  if (info.param.fastload) name += "_fastload";
  if (info.param.traps) name += "_traps";
  return name;
}

bool InRomLoader(uint16_t pc) {
  return pc >= 0x04C2 && pc < 0x0800;  // SA-BYTES to LD-CONTRL
}

int InkBytes(const MachineState& m) {
  return static_cast<int>(
      std::count_if(m.ScreenPointer, m.ScreenPointer + 6144, [](uint8_t b) { return b != 0; }));
}

class AutoloadLoad : public ::testing::TestWithParam<AutoloadCase> {};

TEST_P(AutoloadLoad, ReachesTheProgram) {
  const AutoloadCase& c = GetParam();
  const std::filesystem::path path = SharedFile(std::string("testdata/media/") + c.tape.file);
  ORVO_REQUIRE_TAPE_ROMS(c.tape.model);
  ORVO_REQUIRE_FILE(path);
  TapeMachine tm(c.tape.model);
  Settings& s = tm.emu.settings;
  s.TapeTraps = tm.m.settings.TapeTraps = c.traps ? 1 : 0;
  s.Fastload = tm.m.settings.Fastload = c.fastload ? 1 : 0;
  ASSERT_TRUE(BootToTapeLoader(tm.emu));
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  ASSERT_EQ(LoadTapeBytes(tm.emu, bytes, TapeKindOf(path.string()), path.string()), 0);
  s.Autoload = tm.m.settings.Autoload = 1;
  ResetTapeAutoStart(tm.m);

  // The deck has done its work once it has stayed stopped for five seconds.
  uint32_t frame = 0, stoppedFor = 0;
  for (; frame < c.tape.frameLimit && stoppedFor < 250; ++frame) {
    RunFrame(tm.emu);
    stoppedFor = tm.m.TapePlaying ? 0 : stoppedFor + 1;
  }
  ASSERT_EQ(stoppedFor, 250u) << "the tape was still playing after " << frame << " frames";
  if (c.tape.screenText) {
    EXPECT_TRUE(tm.RunUntilScreenShows(c.tape.screenText, 500)) << tm.Screen();
    return;
  }

  // A game: out of the ROM's tape routines, and its screen moves by itself or under the keys (a
  // loader waiting for more tape shows a still screen).
  tm.RunFrames(300);
  EXPECT_GT(InkBytes(tm.m), 100) << "the screen is empty";
  const std::vector<uint8_t> still(tm.m.ScreenPointer, tm.m.ScreenPointer + 6912);
  bool moved = false;
  int inRomLoader = 0;
  for (int round = 0; round < 6 && !moved; ++round) {
    for (const char* keys : {"", "SPACE", "ENTER", "1", "0", "5", "S"}) {
      std::vector<SpectrumKey> press;
      ParseSpectrumKeys(keys, press);
      for (SpectrumKey k : press) PressSpectrumKey(tm.m, k);
      for (int f = 0; f < 40; ++f) {
        if (f == 6) {
          for (SpectrumKey k : press) ReleaseSpectrumKey(tm.m, k);
        }
        tm.RunFrames(1);
        inRomLoader += InRomLoader(tm.m.cpu.PC);
      }
      moved = !std::equal(still.begin(), still.end(), tm.m.ScreenPointer);
      if (moved) break;
    }
  }
  EXPECT_TRUE(moved) << "the screen stands still, keys or no keys";
  EXPECT_LE(inRomLoader, 10) << "the CPU is still in the ROM's tape routines";
}

INSTANTIATE_TEST_SUITE_P(SharedTapes, AutoloadLoad, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace orvo::test
