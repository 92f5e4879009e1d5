// The recent files list and the XDG folders it and the ROM search live in.
#include "shell/recent_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/data_folders.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
  TempFolder() : path(fs::temp_directory_path() / ("orvo_recent_" + std::to_string(::getpid()))) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempFolder() { fs::remove_all(path); }
  fs::path path;
};

TEST(RecentFiles, KeepsTheTenNewestOnceEachAndSurvivesARestart) {
  TempFolder t;
  const std::string store = (t.path / "state/orvo/recent").string();
  RecentFiles recent(store);
  for (int i = 0; i < 12; ++i) recent.Add("/games/" + std::to_string(i) + ".tzx");
  recent.Add("/games/5.tzx");          // chosen again: back to the top, not listed twice
  recent.Add("/games/bad\nname.tzx");  // cannot be one line of the file
  recent.Add("relative.z80");          // listed by its absolute path
  ASSERT_EQ(recent.Paths().size(), RecentFiles::kMaxFiles);
  EXPECT_EQ(recent.Paths()[0], (fs::current_path() / "relative.z80").string());
  EXPECT_EQ(recent.Paths()[1], "/games/5.tzx");
  EXPECT_EQ(recent.Paths()[2], "/games/11.tzx");
  EXPECT_EQ(recent.Paths().back(), "/games/3.tzx");
  EXPECT_TRUE(recent.Saved());

  RecentFiles again(store);
  again.Load();
  EXPECT_EQ(again.Paths(), recent.Paths());
  EXPECT_TRUE(again.Remove("/games/5.tzx"));
  EXPECT_FALSE(again.Remove("/games/5.tzx"));
  again.Clear();
  recent.Load();
  EXPECT_TRUE(recent.Paths().empty());

  // A file edited by hand: blank lines, CR LF ends and repeats are dropped.
  std::ofstream(store) << "/a.sna\r\n\n/b.tap\n/a.sna\n";
  recent.Load();
  EXPECT_EQ(recent.Paths(), (std::vector<std::string>{"/a.sna", "/b.tap"}));

  // A store that cannot be written: the list still works for this run.
  RecentFiles blocked((t.path / "state/orvo/recent/inside").string());
  blocked.Add("/c.z80");
  EXPECT_FALSE(blocked.Saved());
  EXPECT_EQ(blocked.Paths().size(), 1u);
}

TEST(DataFolders, FollowTheXdgVariablesAndTheInstallationPrefix) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::setenv("HOME", "/home/user", 1);
  ::setenv("XDG_STATE_HOME", "relative/is/ignored", 1);
  ::setenv("XDG_DATA_HOME", "/data/", 1);
  EXPECT_EQ(UserStateFolder(), "/home/user/.local/state/orvo");
  EXPECT_EQ(UserDataFolder(), "/data/orvo");
  EXPECT_EQ(RecentFiles::DefaultStorePath(), "/home/user/.local/state/orvo/recent");
  EXPECT_EQ(InstalledDataFolder("/usr/bin"), "/usr/share/orvo");
  EXPECT_EQ(InstalledDataFolder("/opt/orvo/bin/"), "/opt/orvo/share/orvo");
  EXPECT_EQ(InstalledDataFolder(""), "");
  ::unsetenv("XDG_STATE_HOME");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace orvo
