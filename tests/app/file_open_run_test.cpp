// orvo-run opening files mid-run as the window's Open does, and reading a settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_orvo.h"

namespace orvo::test {
namespace {

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
