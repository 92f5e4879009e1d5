// orvo-run's command line as a user runs it: the screen and keyboard, settings by name, the
// debugger's options and saving to tape.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "formats/csw_format.h"
#include "run_orvo.h"

namespace orvo::test {
namespace {

TEST(OrvoRun, TypesKeysAndReportsTheScreen) {
  ORVO_REQUIRE_RUNNER("128k.rom");
  // The 128K menu: cursor down to "128 BASIC", ENTER, then a program typed in and run.
  int status = -1;
  const std::string out = RunOrvo(
      "--model 128 --frames 400 --key 100:CS+6:3 --key 113:ENTER:3 --type-frame 160"
      " --type '10 PRINT 6*7\\nRUN' --screen-text",
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("\n42                              \n"), std::string::npos) << out;
  EXPECT_NE(out.find("0 OK, 10:1"), std::string::npos) << out;
  // Bad key names are refused before anything runs.
  RunOrvo("--key 1:F1:2", &status);
  EXPECT_NE(status, 0);
}

// A listing saved by a word processor: UTF-8 quotes, dashes and signs, names that hold keywords,
// a final line end. LIST shows every line as it was written.
TEST(OrvoRun, TypesAListingAsWritten) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  int status = -1;
  const std::string out = RunOrvo(
      "--frames 1500 --screen-text --type '10 LET SCORE=5: LET ATTACK=1\\n20 PRINT "
      "\xE2\x80\x9C"
      "A\xE2\x80\x94"
      "B\xE2\x80\x9D\\n30 REM \xC2\xA3 and \xC2\xA9\\n40 LET FORMATS=2\\nLIST\\n'",
      &status);
  EXPECT_EQ(status, 0);
  for (const char* line : {"  10 LET SCORE=5: LET ATTACK=1  \n", "  20 PRINT \"A-B\"",
                           "  30 REM \xC2\xA3 and \xC2\xA9", "  40 LET FORMATS=2", "0 OK, 0:1"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

TEST(OrvoRun, SetChangesSettingsByTheirFileNames) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  // ULAplus switched on by name: entry 5 written with 0xE3 reads back whole, and the mode group
  // reads the mode as it goes on and off.
  const std::string program =
      "OUT 48955,5: OUT 65339,227: POKE 30000,IN 65339: OUT 48955,64: POKE 30001,IN 65339:"
      " OUT 65339,1: POKE 30002,IN 65339: OUT 65339,0: POKE 30003,IN 65339\n"
      "PRINT PEEK 30000;\" \";PEEK 30001;\" \";PEEK 30002;\" \";PEEK 30003";
  int status = -1;
  std::string out =
      RunOrvo("--set ULAplus=1 --frames 2500 --type '" + program + "' --screen-text", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("\n227 0 1 0 "), std::string::npos) << out;
  // Unknown keys and bad values are command-line errors that name them.
  for (const char* bad : {"'No Such Key=1'", "'ULAplus=on'", "ULAplus"}) {
    out = RunOrvo(std::string("--set ") + bad, &status);
    EXPECT_EQ(WEXITSTATUS(status), 2) << bad;
    EXPECT_NE(out.find("--set"), std::string::npos) << out;
  }
}

TEST(OrvoRun, BreaksLogsAndListsForTheDebugger) {
  ORVO_REQUIRE_RUNNER("48.rom");
  // BEEP 1,0 reaches BEEPER with the ROM's figures for middle C: DE = 261 cycles, HL = 1642
  // (the key clicks before it come with DE = 0).
  int status = -1;
  std::string out = RunOrvo("--frames 400 --type 'BEEP 1,0' --break '03B5:DE>0'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("Break: PC 03B5"), std::string::npos) << out;
  EXPECT_NE(out.find("\"de\":261,\"hl\":1642,"), std::string::npos) << out;
  EXPECT_NE(out.find("\"pc\":949,"), std::string::npos) << out;
  RunOrvo("--frames 400 --break '03B5:DE>0'", &status);
  EXPECT_EQ(WEXITSTATUS(status), 3);  // never hit

  // The log starts with the instruction about to run; the listing carries the ROM's labels.
  const TempDir dir;
  out = RunOrvo("--pc-log " + dir / "log.txt" + " --frames 1 --disassemble 028E-0291", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("KEY_SCAN:\n028E  2E 2F           LD    L,#2F\n"
                     "0290  11 FF FF        LD    DE,#FFFF\n"),
            std::string::npos)
      << out;
  const auto bytes = ReadWholeFile(dir / "log.txt");
  const std::string expected =
      "PC = 0000  AF = 0000  BC = 0000  DE = 0000  HL = FFFF  tstate = 00000  DI\n"
      "PC = 0001  AF = 0000  BC = 0000  DE = 0000  HL = FFFF  tstate = 00004  XOR   A\n"
      "PC = 0002  AF = 0044  BC = 0000  DE = 0000  HL = FFFF  tstate = 00008  LD    DE,#FFFF\n";
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, expected.size()), expected);
}

// SAVE from BASIC with "Save to tape" on writes a TAP file that a fresh machine loads back with
// LOAD "" and runs; a program's own saver is heard on MIC and kept as a CSW recording.
TEST(OrvoRun, SaveToTapeWritesWhatLoadsBack) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const TempDir dir;
  const std::string tap = dir / "hello.tap";
  int status = -1;
  // The ROM asks for a key before it saves: SPACE, which must not count as BREAK afterwards.
  const std::string saved = RunOrvo("--frames 600 --save-tape " + tap +
                                        " --type-frame 100 --type '10 PRINT \"HI THERE\"\nSAVE "
                                        "\"hello\"' --key 400:SPACE:3 --screen-text",
                                    &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(saved.find("0 OK, 0:1"), std::string::npos) << saved;
  const auto bytes = ReadWholeFile(tap);
  ASSERT_EQ(bytes.size(), 2u + 19 + 2 + 18u) << "a header and the 16-byte program";
  EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 14), "hello     ");
  const std::string loaded = RunOrvo(
      "--tape " + tap + " --autoload --frames 1500 --type-frame 1400 --type RUN --screen-text",
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(loaded.find("0 OK, 10:1"), std::string::npos) << loaded;
  EXPECT_NE(loaded.find("HI THERE"), std::string::npos) << loaded;

  RunOrvo("--frames 1500 --save-tape " + dir / "out.tap" +
              " --type-frame 100 --type '10 FOR I=1 TO 300: OUT 254,8: OUT 254,0: NEXT I\nRUN'",
          &status);
  EXPECT_EQ(status, 0);
  TapeImage tape;
  ASSERT_TRUE(ParseCSW(tape, ReadWholeFile(dir / "out-1.csw"), false).Ok());
  EXPECT_EQ(tape.blocks[0]->p[6], 599u);  // 600 edges of MIC
}

}  // namespace
}  // namespace orvo::test
