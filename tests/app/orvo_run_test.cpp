// orvo-run's command line as a user runs it: the screen and keyboard, settings by name, the
// debugger's options, saving to tape, the tool options (pokes, trainers, binary files, screens),
// files opened mid-run and a settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

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

// The +2A has the +3's ROM and no disk controller: the ROM must find none (its menu says "+2A"
// and only the RAM disk), and its Loader then reads the tape.
TEST(OrvoRun, ThePlus2ABootsWithoutDriveAAndLoadsFromTape) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  const auto tap = SharedFile("testdata/media/tap/zasm_hello_world.tap");
  ORVO_REQUIRE_FILE(tap);
  int status = -1;
  std::string out = RunOrvo("--model plus2a --frames 300 --screen-text", &status);
  EXPECT_NE(out.find("128 +2A"), std::string::npos) << out;
  EXPECT_NE(out.find("Drive M: available."), std::string::npos) << out;
  out = RunOrvo("--model plus2a --autoload --tape " + tap.string() + " --frames 1700 --screen-text",
                &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Hello World!"), std::string::npos) << out;
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

// orvo-run's exit code for `arguments`.
int Runner(const std::string& arguments, std::string* out = nullptr) {
  int status = -1;
  const std::string text = RunOrvo(arguments, &status);
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ToolsRun : public ::testing::Test {
 protected:
  void SetUp() override { ORVO_REQUIRE_RUNNER("48k.rom"); }
  TempDir dir;
};

TEST_F(ToolsRun, BinarySaveThenLoadRoundTripsAndPastTheEndIsRefused) {
  // The ROM's first 4 KB saved, loaded into RAM at 0x8000 on a fresh machine, saved back.
  ASSERT_EQ(Runner("--save-binary " + dir / "rom.bin" + "@0,4096"), 0);
  ASSERT_EQ(Runner("--load-binary " + dir / "rom.bin" + "@#8000 --save-binary " + dir / "back.bin" +
                   "@$8000,4096"),
            0);
  const auto rom = ReadWholeFile(dir / "rom.bin");
  EXPECT_EQ(rom.size(), 4096u);
  EXPECT_EQ(ReadWholeFile(dir / "back.bin"), rom);
  std::string out;
  EXPECT_EQ(Runner("--load-binary " + dir / "rom.bin" + "@63489", &out), 1);  // 63489 + 4096
  EXPECT_NE(out.find("run past address 65535"), std::string::npos) << out;
  EXPECT_EQ(Runner("--save-binary " + dir / "x.bin" + "@65535,2"), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.bin"));
  EXPECT_EQ(Runner("--save-binary " + dir / "edge.bin" + "@65535,1"), 0);
}

TEST_F(ToolsRun, PokesAndTrainersChangeMemory) {
  const std::string pok = dir.Write("t.pok",
                                    "NOne\nZ 8 30000 17 0\nNTwo\nM 8 30001 256 0\n"
                                    "Z 8 30002 3 0\nY\n");
  ASSERT_EQ(Runner("--poke 30003,#AB --pok " + pok + ":Two --pok-ask 9 --save-binary " +
                   dir / "m.bin" + "@30000,4"),
            0);
  EXPECT_EQ(ReadWholeFile(dir / "m.bin"), (std::vector<uint8_t>{0, 9, 3, 0xAB}));
  std::string out;
  const std::string bad = dir.Write("bad.pok", "NOne\nZ 8 30000 17\nY\n");
  EXPECT_EQ(Runner("--pok " + bad + " --save-binary " + dir / "n.bin" + "@30000,1", &out), 1);
  EXPECT_NE(out.find("line 2"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(dir / "n.bin"));  // nothing ran, nothing poked
  EXPECT_EQ(Runner("--poke 30000,256"), 1);
}

TEST_F(ToolsRun, SavedScreenMatchesTheScreenshot) {
  ASSERT_EQ(
      Runner("--frames 100 --screenshot " + dir / "a.png" + " --save-screen " + dir / "b.png"), 0);
  const auto png = ReadWholeFile(dir / "a.png");
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(ReadWholeFile(dir / "b.png"), png);
  EXPECT_EQ(png[18] << 8 | png[19], 352);  // the width and height in the header
  EXPECT_EQ(png[22] << 8 | png[23], 296);
  ASSERT_EQ(Runner("--frames 100 --save-screen " + dir / "c.scr"), 0);
  const auto scr = ReadWholeFile(dir / "c.scr");
  ASSERT_EQ(scr.size(), 6912u);
  EXPECT_EQ(scr[6144], 0x38);  // white paper, black ink: the booted 48K
}

namespace fs = std::filesystem;

class FileOpenRun : public ::testing::Test {
 protected:
  void SetUp() override { ORVO_REQUIRE_RUNNER("48k.rom"); }
  TempDir dir;
  int status = -1;
};

TEST_F(FileOpenRun, ARefusedFileChangesNothing) {
  const fs::path game = SharedFile("testdata/media/snapshots/aquaplane_v2_48k.z80");
  const fs::path other = SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(game);
  ORVO_REQUIRE_FILE(other);
  std::vector<std::string> bad;
  for (const char* folder : {"testdata/media/snapshots/invalid", "testdata/media/tzx/invalid"}) {
    ORVO_REQUIRE_FILE(SharedFile(folder));
    for (const auto& entry : fs::directory_iterator(SharedFile(folder)))
      bad.push_back(entry.path().string());
  }
  ASSERT_GE(bad.size(), 7u);
  bad.push_back(dir.Write("signature.tzx", std::string("ZXTope!\x1a\x01\x14\x10\x00\x00", 13)));
  bad.push_back(dir.Write("not_a_zip.zip", "PK but not an archive"));
  bad.push_back(dir.Write("short.szx", "ZXST"));

  const std::string base = "--load " + game.string() + " --frames 40 --print-state";
  const std::string expected = StateLine(RunOrvo(base, &status));
  ASSERT_EQ(status, 0);
  ASSERT_FALSE(expected.empty());
  for (const std::string& file : bad) {
    SCOPED_TRACE(file);
    const std::string out = RunOrvo(base + " --open-at 20:" + file, &status);
    EXPECT_EQ(WEXITSTATUS(status), 1);  // the refusal's message was shown
    EXPECT_NE(out.find("Refused: " + file), std::string::npos) << out;
    EXPECT_EQ(StateLine(out), expected);
  }
  // A file that loads does change the machine: the comparison above can fail.
  const std::string out = RunOrvo(base + " --open-at 20:" + other.string(), &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("Opened: "), std::string::npos) << out;
  EXPECT_NE(StateLine(out), expected);
}

TEST_F(FileOpenRun, ConfigFileSetsTheMachineAndCommandLineOverrides) {
  ORVO_REQUIRE_FILE(RomDir() / "128k.rom");
  // The file "Default Configuration" writes, with the 128K chosen and a stray line that is
  // passed over.
  const std::vector<uint8_t> defaults = ReadWholeFile(DataDir() / "orvo_default.ini");
  std::string ini(defaults.begin(), defaults.end());
  ini.replace(ini.find("Model Type=1"), 12, "Model Type=2");
  ini.replace(ini.find("[Tapes]"), 7, "not understood\n[Tapes]");
  const std::string config = dir.Write("orvo.ini", ini);
  std::string out = RunOrvo("--config " + config + " --print-state", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(StateLine(out).find("\"model\":\"ZX Spectrum 128K\""), std::string::npos) << out;
  out = RunOrvo("--config " + config + " --model 48 --print-state", &status);
  EXPECT_NE(StateLine(out).find("\"model\":\"ZX Spectrum 48K"), std::string::npos) << out;
  // A file that is not a settings file, or is missing, is a command-line error naming it.
  for (const std::string& bad :
       {dir.Write("half.ini", "[Emulation]\nLate Timing=1\n"), dir / "none"}) {
    out = RunOrvo("--config " + bad, &status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(out.find(bad), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace orvo::test
