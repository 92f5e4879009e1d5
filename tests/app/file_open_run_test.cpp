// orvo-run opening files mid-run as the window's Open does, and reading a settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_paths.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

// The state JSON line of a run's output.
std::string StateLine(const std::string& out) {
  const size_t at = out.rfind("{\"model\"");
  return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

class FileOpenRun : public ::testing::Test {
 protected:
  void SetUp() override {
    runner_ = BuildDir() / "orvo-run";
    ORVO_REQUIRE_FILE(runner_);
    ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
    dir_ = fs::temp_directory_path() / ("orvo-open-at-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Run(const std::string& options, int* status) const {
    return CaptureCommand(
        runner_.string() + " --rom-dir " + RomDir().string() + " " + options + " 2>/dev/null",
        status);
  }
  fs::path Make(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }

  fs::path runner_, dir_;
};

TEST_F(FileOpenRun, ARefusedFileChangesNothing) {
  const fs::path game = SharedFile("testdata/media/snapshots/aquaplane_v2_48k.z80");
  ORVO_REQUIRE_FILE(game);
  std::vector<fs::path> bad;
  for (const char* folder : {"testdata/media/snapshots/invalid", "testdata/media/tzx/invalid"}) {
    const fs::path dir = SharedFile(folder);
    ORVO_REQUIRE_FILE(dir);
    for (const auto& entry : fs::directory_iterator(dir)) bad.push_back(entry.path());
  }
  ASSERT_GE(bad.size(), 7u);
  bad.push_back(Make("signature.tzx", std::string("ZXTope!\x1a\x01\x14\x10\x00\x00", 13)));
  bad.push_back(Make("not_a_zip.zip", "PK but not an archive"));
  bad.push_back(Make("short.szx", "ZXST"));

  const std::string base = "--load " + game.string() + " --frames 40 --print-state";
  int status = -1;
  const std::string expected = StateLine(Run(base, &status));
  ASSERT_EQ(status, 0);
  ASSERT_FALSE(expected.empty());
  for (const fs::path& file : bad) {
    SCOPED_TRACE(file.filename().string());
    const std::string out = Run(base + " --open-at 20:" + file.string(), &status);
    EXPECT_EQ(WEXITSTATUS(status), 1);  // the refusal's message was shown
    EXPECT_NE(out.find("Refused: " + file.string()), std::string::npos) << out;
    EXPECT_EQ(StateLine(out), expected);
  }
  // A file that loads does change the machine: the comparison above can fail.
  const fs::path other = SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(other);
  const std::string out = Run(base + " --open-at 20:" + other.string(), &status);
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
  const fs::path config = Make("orvo.ini", ini);
  int status = -1;
  std::string out = Run("--config " + config.string() + " --print-state", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(StateLine(out).find("\"model\":\"ZX Spectrum 128K\""), std::string::npos) << out;
  out = Run("--config " + config.string() + " --model 48 --print-state", &status);
  EXPECT_NE(StateLine(out).find("\"model\":\"ZX Spectrum 48K"), std::string::npos) << out;
  // A file that is not a settings file, or is missing, is a command-line error naming it.
  for (const fs::path& bad : {Make("half.ini", "[Emulation]\nLate Timing=1\n"), dir_ / "none"}) {
    out = CaptureCommand(runner_.string() + " --config " + bad.string() + " 2>&1", &status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(out.find(bad.string()), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace orvo::test
