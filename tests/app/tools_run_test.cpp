// orvo-run's tool options as a user runs them: pokes, .POK trainers, binary files and screens.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_paths.h"

namespace orvo::test {
namespace {

int Runner(const std::string& arguments, std::string* out = nullptr) {
  const auto runner = BuildDir() / "orvo-run";
  const std::string command =
      runner.string() + " --rom-dir " + RomDir().string() + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  std::string text;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  if (out) *out = text;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ToolsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
    ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
    dir_ =
        std::filesystem::temp_directory_path() / ("orvo_tools_run_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(ToolsRun, BinarySaveThenLoadRoundTripsAndPastTheEndIsRefused) {
  // The ROM's first 4 KB saved, loaded into RAM at 0x8000 on a fresh machine, saved back.
  ASSERT_EQ(Runner("--save-binary " + Path("rom.bin") + "@0,4096"), 0);
  ASSERT_EQ(Runner("--load-binary " + Path("rom.bin") + "@#8000 --save-binary " + Path("back.bin") +
                   "@$8000,4096"),
            0);
  const auto rom = ReadWholeFile(Path("rom.bin"));
  EXPECT_EQ(rom.size(), 4096u);
  EXPECT_EQ(ReadWholeFile(Path("back.bin")), rom);
  std::string out;
  EXPECT_EQ(Runner("--load-binary " + Path("rom.bin") + "@63489", &out),
            1);  // 63489 + 4096 > 65536
  EXPECT_NE(out.find("run past address 65535"), std::string::npos) << out;
  EXPECT_EQ(Runner("--save-binary " + Path("x.bin") + "@65535,2"), 1);
  EXPECT_FALSE(std::filesystem::exists(Path("x.bin")));
  EXPECT_EQ(Runner("--save-binary " + Path("edge.bin") + "@65535,1"), 0);
}

TEST_F(ToolsRun, PokesAndTrainersChangeMemory) {
  {
    std::ofstream pok(Path("t.pok"));
    pok << "NOne\nZ 8 30000 17 0\nNTwo\nM 8 30001 256 0\nZ 8 30002 3 0\nY\n";
    std::ofstream bad(Path("bad.pok"));
    bad << "NOne\nZ 8 30000 17\nY\n";
  }
  ASSERT_EQ(Runner("--poke 30003,#AB --pok " + Path("t.pok") + ":Two --pok-ask 9 --save-binary " +
                   Path("m.bin") + "@30000,4"),
            0);
  const std::vector<uint8_t> expected = {0, 9, 3, 0xAB};
  EXPECT_EQ(ReadWholeFile(Path("m.bin")), expected);
  std::string out;
  EXPECT_EQ(
      Runner("--pok " + Path("bad.pok") + " --save-binary " + Path("n.bin") + "@30000,1", &out), 1);
  EXPECT_NE(out.find("line 2"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(Path("n.bin")));  // nothing ran, nothing poked
  EXPECT_EQ(Runner("--poke 30000,256"), 1);
}

TEST_F(ToolsRun, SavedScreenMatchesTheScreenshot) {
  ASSERT_EQ(
      Runner("--frames 100 --screenshot " + Path("a.png") + " --save-screen " + Path("b.png")), 0);
  const auto a = ReadWholeFile(Path("a.png"));
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(ReadWholeFile(Path("b.png")), a);
  ASSERT_EQ(Runner("--frames 100 --save-screen " + Path("c.scr")), 0);
  const auto scr = ReadWholeFile(Path("c.scr"));
  ASSERT_EQ(scr.size(), 6912u);
  EXPECT_EQ(scr[6144], 0x38);  // white paper, black ink: the booted 48K
}

}  // namespace
}  // namespace orvo::test
