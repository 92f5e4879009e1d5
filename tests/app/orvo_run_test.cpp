// orvo-run's screen and keyboard options, as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/test_paths.h"

namespace orvo::test {
namespace {

TEST(OrvoRun, TypesKeysAndReportsTheScreen) {
  const auto runner = BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(RomDir() / "128k.rom");
  const auto png = std::filesystem::temp_directory_path() / "orvo_run_screen_test.png";
  std::filesystem::remove(png);
  // The 128K menu: cursor down to "128 BASIC", ENTER, then a program typed in and run.
  int status = -1;
  const std::string out = CaptureCommand(
      runner.string() + " --rom-dir " + RomDir().string() +
          " --model 128 --frames 400 --key 100:CS+6:3 --key 113:ENTER:3 --type-frame 160"
          " --type '10 PRINT 6*7\\nRUN' --screen-text --screenshot " +
          png.string(),
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("\n42                              \n"), std::string::npos) << out;
  EXPECT_NE(out.find("0 OK, 10:1"), std::string::npos) << out;
  const auto bytes = ReadWholeFile(png);
  std::filesystem::remove(png);
  ASSERT_GE(bytes.size(), 24u);
  EXPECT_EQ(bytes[1], 'P');
  EXPECT_EQ((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19], 352);
  EXPECT_EQ((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23], 296);
  // Bad key names are refused before anything runs.
  CaptureCommand(runner.string() + " --key 1:F1:2 2>/dev/null", &status);
  EXPECT_NE(status, 0);
}

TEST(OrvoRun, SetChangesSettingsByTheirFileNames) {
  const auto runner = BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  // ULAplus switched on by name: entry 5 written with 0xE3 reads back whole, and the mode group
  // reads the mode as it goes on and off.
  const std::string program =
      "OUT 48955,5: OUT 65339,227: POKE 30000,IN 65339: OUT 48955,64: POKE 30001,IN 65339:"
      " OUT 65339,1: POKE 30002,IN 65339: OUT 65339,0: POKE 30003,IN 65339\n"
      "PRINT PEEK 30000;\" \";PEEK 30001;\" \";PEEK 30002;\" \";PEEK 30003";
  int status = -1;
  std::string out =
      CaptureCommand(runner.string() + " --rom-dir " + RomDir().string() +
                         " --set ULAplus=1 --frames 2500 --type '" + program + "' --screen-text",
                     &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("\n227 0 1 0 "), std::string::npos) << out;
  // Unknown keys and bad values are command-line errors that name them.
  for (const char* bad : {"'No Such Key=1'", "'ULAplus=on'", "ULAplus"}) {
    out = CaptureCommand(runner.string() + " --set " + bad + " 2>&1", &status);
    EXPECT_EQ(WEXITSTATUS(status), 2) << bad;
    EXPECT_NE(out.find("--set"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace orvo::test
