// The recent files list: ten newest files, once each, kept on disk.
#include "shell/recent_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

  // A store that cannot be written: the list still works for this run.
  RecentFiles blocked((t.path / "state/orvo/recent/inside").string());
  blocked.Add("/c.z80");
  EXPECT_FALSE(blocked.Saved());
  EXPECT_EQ(blocked.Paths().size(), 1u);
}

}  // namespace
}  // namespace orvo
