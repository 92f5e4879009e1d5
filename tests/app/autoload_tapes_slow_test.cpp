// Every tape of the shared set loads with --autoload, with and without --fastload and --traps:
// the deck starts and stops itself with the loader's polling, and the run ends in the program
// the tape holds (its text on the screen, or a game out of the ROM's tape routines), with the
// deck stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "run_orvo.h"

namespace orvo::test {
namespace {

struct AutoloadTape {
  const char* file;  // under testdata/media
  const char* model;
  long frames;
  const char* screenText = nullptr;  // text the program prints, for those that are no game
};

struct AutoloadCase {
  AutoloadTape tape;
  bool fastload;
  bool traps;
};

const AutoloadTape kTapes[] = {
    {"csw/StarBike_csw1.01_rle_45454Hz.csw", "48", 12000},
    {"csw/StarBike_csw2.00_zrle_45454Hz.csw", "48", 12000},
    {"csw/derived/zasm_hello_world_csw2_zrle_44100.csw", "48", 3000, "Hello World!"},
    {"tap/zasm_hello_world.tap", "48", 3000, "Hello World!"},
    {"tap/zasm_hello_world_zx7.tap", "48", 3000, "Hello World!"},
    {"tap/tetris2_fuxoft.tap", "48", 8000},
    {"tzx/zasm_tzx_blocks.tzx", "48", 6000, "Hello World!"},
    {"tzx/SYNTHETIC_select_0x28_custominfo_0x35.tzx", "48", 3000, "Hello World!"},
    {"tzx/zorro_speedlock1.tzx", "48", 12000},
    {"tzx/super_scramble_alkatraz_glue.tzx", "48", 24000},
    {"tzx/wizball_turbo.tzx", "48", 16000},
    {"tzx/penetrator_4500baud_id15.tzx", "48", 6000},
    {"tzx/advanced_body_disposal_simulator_csscgc2010_id15.tzx", "48", 8000},
    {"tzx/bcs_quest_for_tires_gdb.tzx", "48", 14000},
    {"tzx/basil_great_mouse_detective_gdb.tzx", "48", 12000},
    {"tzx/dan_dare2_gdb.tzx", "48", 15000},
    {"tzx/hollywood_poker_flowcontrol.tzx", "48", 16000},
    {"tzx/atlantis_4003_blocks_glue.tzx", "48", 60000},
    {"tzx/barbarian2_turbo.tzx", "128", 36000},
    {"tzx/where_time_stood_still_speedlock_128k.tzx", "128", 34000},
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
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  if (info.param.fastload) name += "_fastload";
  if (info.param.traps) name += "_traps";
  return name;
}

// The value of a number field of the state line.
long StateField(const std::string& state, const std::string& name) {
  const size_t at = state.find("\"" + name + "\":");
  return at == std::string::npos ? -1 : std::stol(state.substr(at + name.size() + 3));
}

class AutoloadTapes : public ::testing::TestWithParam<AutoloadCase> {};

TEST_P(AutoloadTapes, ReachTheirProgram) {
  const AutoloadCase& c = GetParam();
  const std::filesystem::path path = SharedFile(std::string("testdata/media/") + c.tape.file);
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  ORVO_REQUIRE_FILE(RomDir() / "128k.rom");
  ORVO_REQUIRE_FILE(path);
  std::string args = std::string("--model ") + c.tape.model + " --tape '" + path.string() +
                     "' --autoload --frames " + std::to_string(c.tape.frames) +
                     " --print-state --screen-text";
  if (c.fastload) args += " --fastload";
  if (c.traps) args += " --traps";
  int status = -1;
  const std::string out = RunOrvo(args, &status);
  ASSERT_EQ(status, 0) << out;
  // The deck has let go of the tape: stopped by the loader, or at its end.
  EXPECT_EQ(out.find("Tape: playing"), std::string::npos) << out;
  EXPECT_EQ(out.find("Tape loading error"), std::string::npos) << out;
  if (c.tape.screenText) {
    EXPECT_NE(out.find(c.tape.screenText), std::string::npos) << out;
    return;
  }
  const long pc = StateField(StateLine(out), "pc");
  EXPECT_FALSE(pc >= 0x04C2 && pc < 0x0800) << "still in the ROM's tape routines\n" << out;
}

INSTANTIATE_TEST_SUITE_P(SharedTapes, AutoloadTapes, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace orvo::test
