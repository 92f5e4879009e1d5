#pragma once
// A temporary program folder (with roms/ pointing at the test ROMs) and configuration folder for
// the orvo.ini tests.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "shell/config.h"
#include "shell/emulator.h"
#include "support/recording_host.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace orvo::test {

// Runs `write` with no file allowed to grow past `bytes`: a write breaks off part-way, as on a
// full disk.
template <typename Write>
void WithFileSizeLimit(rlim_t bytes, Write write) {
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = bytes;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  write();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
}

class ConfigFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root_ / "config");
    std::error_code ec;
    std::filesystem::create_directory_symlink(RomDir(), root_ / "roms", ec);
    PrepareFolders(emu);
  }

  // The folders start-up would give an emulator living in the temporary program folder.
  void PrepareFolders(Emulator& e) const {
    Folders& f = e.folders;
    f.ProgramFolder = root_.string();
    f.RomsFolder = f.ProgramFolder + "/roms/";
    f.LibsFolder = f.ProgramFolder + "/libs/";
    f.ConfigFolder = (root_ / "config").string();
    f.CurrentRomDir = f.RomsFolder;
  }

  std::string IniPath() const { return (root_ / "config" / "orvo.ini").string(); }
  std::string ProgramFolder() const { return root_.string(); }
  // The user's data folder, where the default folders are.
  std::string DataFolder() const { return root_.string() + "/data/orvo"; }
  std::string RomFolder() const { return root_.string() + "/roms/"; }

  // orvo.ini, or the file beside it whose name has `suffix` added.
  std::string ReadIni(const std::string& suffix = "") const {
    std::ifstream in(IniPath() + suffix, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Writes orvo.ini; "\n" line ends become CR LF unless `lf` is set.
  void WriteIni(const std::string& text, bool lf = false) const {
    std::string out;
    for (char c : text) {
      if (c == '\n' && !lf) out.push_back('\r');
      out.push_back(c);
    }
    std::ofstream(IniPath(), std::ios::binary) << out;
  }

  // Messages shown under the "Orvo Options" caption (ROM messages depend on the ROMs present).
  std::vector<MessageId> OptionsMessages(const RecordingHost& h) const {
    std::vector<MessageId> ids;
    for (const ShownMessage& msg : h.messages)
      if (msg.caption == CaptionId::Options) ids.push_back(msg.message);
    return ids;
  }

  const TempDir temp_;
  const std::filesystem::path& root_ = temp_.path;
  // The default folders are the user's: here, inside the temporary folder.
  const ScopedEnv dataHome_{"XDG_DATA_HOME", (root_ / "data").string()};
  RecordingHost host;
  Emulator emu{host};
};

}  // namespace orvo::test
