// orvo-run's tool options as a user runs them: pokes, .POK trainers, binary files and screens.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

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

}  // namespace
}  // namespace orvo::test
