// Real tapes with custom loaders (Speedlock, Alkatraz, turbo blocks, direct recordings,
// generalized data, flow control, 4003 glued blocks) load through the ROM with real pulses and
// reach their games: the loader is left behind and the screen shows the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "machine/keyboard.h"
#include "tape_machine.h"

namespace orvo::test {
namespace {

struct GameTape {
  const char* file;
  uint8_t model;
  uint32_t frameLimit;               // tape time plus margin
  const char* screenText = nullptr;  // text the game shows in the ROM's character set
  bool traps = false;                // with "Tape Traps" on
  bool autoload = false;             // the deck starts and stops with the loader's polling
  uint16_t directRate = 0;           // T-states a sample of the first block (a direct recording)
};

class GameLoad : public ::testing::TestWithParam<GameTape> {};

std::string GameName(const ::testing::TestParamInfo<GameTape>& info) {
  std::string name = info.param.file;
  name.resize(name.find('.'));
  if (info.param.autoload) name.append("_autoload");
  if (info.param.directRate) name.append("_slowed");
  return name;
}

// Counts the bitmap bytes that are not blank.
int InkBytes(const MachineState& m) {
  int n = 0;
  for (int i = 0; i < 6144; ++i) n += m.ScreenPointer[i] != 0;
  return n;
}

bool InRomLoader(uint16_t pc) {
  return pc >= 0x04C2 && pc < 0x0800;  // SA-BYTES to LD-CONTRL
}

// Boots to the ROM's loader, inserts the tape and plays it until the deck stops (at its end, or at
// a block that stops it) and stays stopped: the ROM's CP A at 0x056A started it and nothing but
// the tape itself stops it, or with `autoload` the loader's polling starts and stops it too.
void PlayToTheEnd(TapeMachine& tm, const GameTape& g) {
  std::vector<uint8_t> bytes =
      ReadWholeFile(SharedFile(std::string("testdata/media/tzx/") + g.file));
  if (g.directRate) {
    ASSERT_EQ(bytes.at(10), 0x15);
    bytes[11] = static_cast<uint8_t>(g.directRate);
    bytes[12] = static_cast<uint8_t>(g.directRate >> 8);
  }
  tm.emu.settings.TapeTraps = tm.m.settings.TapeTraps = g.traps ? 1 : 0;
  ASSERT_TRUE(BootToTapeLoader(tm.emu));
  ASSERT_EQ(LoadTapeBytes(tm.emu, bytes, TapeKind::Tzx, g.file), 0);
  ASSERT_TRUE(tm.host.messages.empty());
  tm.emu.settings.Autoload = tm.m.settings.Autoload = g.autoload ? 1 : 0;
  uint32_t frame = 0, stoppedFor = 0;
  for (; frame < g.frameLimit && stoppedFor < 100; ++frame) {
    RunFrame(tm.emu);
    stoppedFor = tm.m.TapePlaying ? 0 : stoppedFor + 1;
  }
  ASSERT_EQ(stoppedFor, 100u) << "the tape was still playing after " << frame << " frames";
}

TEST_P(GameLoad, ReachesTheGame) {
  const GameTape& g = GetParam();
  ORVO_REQUIRE_TAPE_ROMS(g.model);
  ORVO_REQUIRE_FILE(SharedFile(std::string("testdata/media/tzx/") + g.file));
  TapeMachine tm(g.model);
  PlayToTheEnd(tm, g);
  if (HasFatalFailure()) return;

  // The game is running: it is out of the ROM's tape routines and its screen moves, by itself or
  // when keys are pressed (a loader waiting for more tape shows a still screen).
  tm.RunFrames(300);
  EXPECT_GT(InkBytes(tm.m), 100) << "the screen is empty";
  if (g.screenText) {
    EXPECT_TRUE(tm.RunUntilScreenShows(g.screenText, 3000)) << tm.Screen();
  }
  const std::vector<uint8_t> still(tm.m.ScreenPointer, tm.m.ScreenPointer + 6912);
  bool moved = false;
  int inRomLoader = 0;
  // Some title screens play a tune before they listen to the keyboard: keep trying for a minute.
  for (int round = 0; round < 10 && !moved; ++round) {
    for (const char* keys : {"", "SPACE", "ENTER", "1", "0", "5", "6", "S"}) {
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
  EXPECT_TRUE(tm.host.messages.empty());
}

// This direct recording (one 0x15 block at 259 T-states a sample) was made with every leader
// pulse rounded to 8 samples (2072 T-states instead of 2168), so its leaders are 4.4% short. The
// last block, 768 bytes read by the ROM, has 2500 leader pulses (20000 samples) after 1345 samples
// of silence. The game's loader reads its last turbo byte at the start of that silence and unpacks
// for 4009 samples; it enters LD-START 2664 samples into the leader. The ROM's one-second wait
// ends 13509 samples later, and its 256 leader pulse pairs need 4096 samples more: 269 samples
// (17 pairs) past the end of the leader. A Spectrum whose tape runs on meets the sync pulse first,
// starts again and waits in the ROM until BREAK, which hands the game control.
TEST(GameLoadShortLeader, PenetratorWaitsInTheRomUntilBreak) {
  ORVO_REQUIRE_TAPE_ROMS(kModel48K);
  ORVO_REQUIRE_FILE(SharedFile("testdata/media/tzx/penetrator_4500baud_id15.tzx"));
  TapeMachine tm(kModel48K);
  PlayToTheEnd(tm, GameTape{"penetrator_4500baud_id15.tzx", kModel48K, 6000});
  if (::testing::Test::HasFatalFailure()) return;
  tm.RunFrames(50);
  EXPECT_TRUE(InRomLoader(tm.m.cpu.PC)) << "PC " << tm.m.cpu.PC;
  EXPECT_GT(InkBytes(tm.m), 100) << "the loading screen is missing";

  PressSpectrumKey(tm.m, kKeySpace);
  tm.RunFrames(5);
  ReleaseSpectrumKey(tm.m, kKeySpace);
  const std::vector<uint8_t> before(tm.m.ScreenPointer, tm.m.ScreenPointer + 6912);
  int inRomLoader = 0;
  for (int f = 0; f < 300; ++f) {
    tm.RunFrames(1);
    inRomLoader += InRomLoader(tm.m.cpu.PC);
  }
  EXPECT_LE(inRomLoader, 10) << "BREAK left the CPU in the ROM's tape routines";
  EXPECT_FALSE(std::equal(before.begin(), before.end(), tm.m.ScreenPointer))
      << "the game's title does not move";
}

// The traps copy the ROM's own blocks and leave the rest to play: custom loaders, flow control
// and recordings load as they do without them.
INSTANTIATE_TEST_SUITE_P(
    TapeTraps, GameLoad,
    ::testing::Values(GameTape{"zorro_speedlock1.tzx", kModel48K, 12000, nullptr, true},
                      GameTape{"wizball_turbo.tzx", kModel48K, 16000, nullptr, true},
                      GameTape{"hollywood_poker_flowcontrol.tzx", kModel48K, 16000, nullptr, true},
                      GameTape{"penetrator_4500baud_id15.tzx", kModel48K, 6000, nullptr, true,
                               true}),
    GameName);

INSTANTIATE_TEST_SUITE_P(
    Tape, GameLoad,
    ::testing::Values(
        GameTape{"zorro_speedlock1.tzx", kModel48K, 12000},
        GameTape{"super_scramble_alkatraz_glue.tzx", kModel48K, 24000},
        GameTape{"wizball_turbo.tzx", kModel48K, 16000},
        GameTape{"advanced_body_disposal_simulator_csscgc2010_id15.tzx", kModel48K, 8000},
        GameTape{"bcs_quest_for_tires_gdb.tzx", kModel48K, 14000, "Enter the code from square"},
        GameTape{"basil_great_mouse_detective_gdb.tzx", kModel48K, 12000},
        GameTape{"dan_dare2_gdb.tzx", kModel48K, 15000},
        GameTape{"hollywood_poker_flowcontrol.tzx", kModel48K, 16000},
        GameTape{"atlantis_4003_blocks_glue.tzx", kModel48K, 40000},
        GameTape{"barbarian2_turbo.tzx", kModel128K, 36000, "PROGRAMMED BY"},
        GameTape{"where_time_stood_still_speedlock_128k.tzx", kModel128K, 34000},
        // A deck that stops while the loader is not reading (automatic start and stop) keeps the
        // leader for the ROM: the game loads and runs.
        GameTape{"penetrator_4500baud_id15.tzx", kModel48K, 6000, nullptr, false, true},
        // The same recording slowed by 2.3% (265 T-states a sample) gives the ROM the leader it
        // needs: the last block loads and the game starts by itself.
        GameTape{"penetrator_4500baud_id15.tzx", kModel48K, 6000, nullptr, false, false, 265}),
    GameName);

}  // namespace
}  // namespace orvo::test
