// orvo-run's command line as a user runs it: the screen and keyboard, settings by name, the
// debugger's options and saving to tape.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/csw_format.h"
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

// A listing saved by a word processor: UTF-8 quotes, dashes and signs, names that hold keywords,
// a final line end. LIST shows every line as it was written.
TEST(OrvoRun, TypesAListingAsWritten) {
  const auto runner = BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  int status = -1;
  const std::string out = CaptureCommand(
      runner.string() + " --rom-dir " + RomDir().string() +
          " --frames 1500 --screen-text --type '10 LET SCORE=5: LET ATTACK=1\\n20 PRINT "
          "\xE2\x80\x9C"
          "A\xE2\x80\x94"
          "B\xE2\x80\x9D\\n30 REM \xC2\xA3 and \xC2\xA9\\n"
          "40 LET FORMATS=2\\nLIST\\n'",
      &status);
  EXPECT_EQ(status, 0);
  for (const char* line : {"  10 LET SCORE=5: LET ATTACK=1  \n", "  20 PRINT \"A-B\"",
                           "  30 REM \xC2\xA3 and \xC2\xA9", "  40 LET FORMATS=2", "0 OK, 0:1"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }
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

TEST(OrvoRun, BreaksLogsAndListsForTheDebugger) {
  const auto runner = BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(RomDir() / "48.rom");
  const std::string run = runner.string() + " --rom-dir " + RomDir().string() + " --frames 400";
  // BEEP 1,0 reaches BEEPER with the ROM's figures for middle C: DE = 261 cycles, HL = 1642
  // (the key clicks before it come with DE = 0).
  int status = -1;
  std::string out = CaptureCommand(run + " --type 'BEEP 1,0' --break '03B5:DE>0'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("Break: PC 03B5"), std::string::npos) << out;
  EXPECT_NE(out.find("\"de\":261,\"hl\":1642,"), std::string::npos) << out;
  EXPECT_NE(out.find("\"pc\":949,"), std::string::npos) << out;
  // Never hit: exit code 3.
  CaptureCommand(run + " --break '03B5:DE>0' >/dev/null", &status);
  EXPECT_EQ(WEXITSTATUS(status), 3);

  // The log starts with the instruction about to run; the listing carries the ROM's labels.
  const auto log = std::filesystem::temp_directory_path() / "orvo_run_pc_log_test.txt";
  out = CaptureCommand(runner.string() + " --rom-dir " + RomDir().string() + " --pc-log " +
                           log.string() + " --frames 1 --disassemble 028E-0291",
                       &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("KEY_SCAN:\n028E  2E 2F           LD    L,#2F\n"
                     "0290  11 FF FF        LD    DE,#FFFF\n"),
            std::string::npos)
      << out;
  const auto bytes = ReadWholeFile(log);
  std::filesystem::remove(log);
  const std::string text(bytes.begin(), bytes.end());
  const std::string expected =
      "PC = 0000  AF = 0000  BC = 0000  DE = 0000  HL = FFFF  tstate = 00000  DI\n"
      "PC = 0001  AF = 0000  BC = 0000  DE = 0000  HL = FFFF  tstate = 00004  XOR   A\n"
      "PC = 0002  AF = 0044  BC = 0000  DE = 0000  HL = FFFF  tstate = 00008  LD    DE,#FFFF\n";
  EXPECT_EQ(text.substr(0, expected.size()), expected);
}

// SAVE from BASIC with "Save to tape" on writes a TAP file; a fresh machine loads it back with
// LOAD "" and the program runs.
TEST(OrvoRun, SaveToTapeMakesATapThatLoadsBack) {
  const auto runner = BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const auto tap = std::filesystem::temp_directory_path() / "orvo_run_saved_hello.tap";
  std::filesystem::remove(tap);
  const std::string run = runner.string() + " --rom-dir " + RomDir().string();
  int status = -1;
  // The ROM asks for a key before it saves: SPACE, which must not count as BREAK afterwards.
  const std::string saved =
      CaptureCommand(run + " --frames 600 --save-tape " + tap.string() +
                         " --type-frame 100 --type '10 PRINT \"HI THERE\"\nSAVE "
                         "\"hello\"' --key 400:SPACE:3 --screen-text",
                     &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(saved.find("0 OK, 0:1"), std::string::npos) << saved;
  const auto bytes = ReadWholeFile(tap);
  ASSERT_EQ(bytes.size(), 2u + 19 + 2 + 18u) << "a header and the 16-byte program";
  EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 14), "hello     ");
  const std::string loaded =
      CaptureCommand(run + " --tape " + tap.string() +
                         " --autoload --frames 1500 --type-frame 1400 --type RUN "
                         "--screen-text",
                     &status);
  std::filesystem::remove(tap);
  EXPECT_EQ(status, 0);
  EXPECT_NE(loaded.find("0 OK, 10:1"), std::string::npos) << loaded;
  EXPECT_NE(loaded.find("HI THERE"), std::string::npos) << loaded;
}

// Without the ROM's SAVE, a program's own saver is heard on MIC and kept as a CSW recording.
TEST(OrvoRun, SaveToTapeRecordsAProgramsOwnSaverFromMic) {
  const auto runner = BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const auto dir = std::filesystem::temp_directory_path() / "orvo_run_mic";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  int status = -1;
  CaptureCommand(
      runner.string() + " --rom-dir " + RomDir().string() + " --frames 1500 --save-tape " +
          (dir / "out.tap").string() +
          " --type-frame 100 --type '10 FOR I=1 TO 300: OUT 254,8: OUT 254,0: NEXT I\nRUN'",
      &status);
  EXPECT_EQ(status, 0);
  const auto csw = ReadWholeFile(dir / "out-1.csw");
  std::filesystem::remove_all(dir);
  TapeImage tape;
  ASSERT_TRUE(ParseCSW(tape, csw, false).Ok());
  EXPECT_EQ(tape.blocks[0]->p[6], 599u);  // 600 edges of MIC
}

}  // namespace
}  // namespace orvo::test
