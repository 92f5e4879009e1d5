// orvo-run's screen and keyboard options, as a user runs them.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvo::test
