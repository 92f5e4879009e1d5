// Start-up: the configuration folder, the command line, the first start, and the recent files list
// kept on disk between runs.
#include "shell/app_init.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "shell/emulator.h"
#include "shell/recent_files.h"
#include "support/recording_host.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

using test::ScopedEnv;

TEST(AppInit, ConfigFolderFollowsXdgThenHome) {
  // A relative XDG_CONFIG_HOME is not valid and is ignored.
  const struct {
    const char *xdg, *home, *folder;
  } cases[] = {{"/tmp/xdg-here/", "/home/someone", "/tmp/xdg-here/Orvo"},
               {"relative/config", "/home/someone", "/home/someone/.config/Orvo"},
               {nullptr, nullptr, ""}};
  for (const auto& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(DefaultConfigFolder(), c.folder);
  }
}

TEST(AppInit, CommandLineIsOnePathWithoutQuotes) {
  const char* none[] = {"orvo"};
  EXPECT_EQ(CommandLinePath(1, none), "");
  const char* quoted[] = {"orvo", "\"/home/me/My Games/jet set.tzx\""};
  EXPECT_EQ(CommandLinePath(2, quoted), "/home/me/My Games/jet set.tzx");
  // An unquoted path with blanks arrives in pieces and is joined again.
  const char* pieces[] = {"orvo", "/home/me/My", "Games/jet", "set.tzx"};
  EXPECT_EQ(CommandLinePath(4, pieces), "/home/me/My Games/jet set.tzx");
  EXPECT_EQ(RemoveQuotes("\"a\"b\""), "ab");
}

// The folders are built and the configuration folder made; then the first start resets the run
// state, writes the defaults and boots the 48K.
TEST(AppInit, FoldersAndTheFirstStart) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  test::RecordingHost host;
  Emulator emu(host);
  const test::TempDir temp;
  const auto root = temp.path;
  const auto config = root / "deep" / "Orvo";
  ASSERT_TRUE(SetUpFolders(emu, "/opt/orvo//", config.string() + "/"));
  EXPECT_EQ(emu.folders.ProgramFolder, "/opt/orvo");
  EXPECT_EQ(emu.folders.LibsFolder, "/opt/orvo/libs/");
  EXPECT_EQ(emu.folders.CurrentRomDir, "/opt/orvo/roms/");
  EXPECT_EQ(emu.folders.ConfigFolder, config.string());
  EXPECT_TRUE(std::filesystem::is_directory(config));
  // A program in the root folder does not get a doubled separator.
  ASSERT_TRUE(SetUpFolders(emu, "/", config.string()));
  EXPECT_EQ(emu.folders.RomsFolder, "/roms/");
  // A configuration folder that cannot be made (a file in its place) is reported.
  std::ofstream(config / "Orvo") << "x";
  EXPECT_FALSE(SetUpFolders(emu, "/opt/orvo", (config / "Orvo").string()));
  EXPECT_FALSE(SetUpFolders(emu, "/opt/orvo", ""));

  ASSERT_TRUE(SetUpFolders(emu, test::RomDir().parent_path().string(), (root / "first").string()));
  emu.m.Paused = 1;
  emu.m.FullSpeed = 1;
  emu.m.FrameSkipCountdown = 5;
  emu.m.input.KeyRows[3] = 0xF0;
  InitApplication(emu);
  EXPECT_EQ(emu.m.Paused, 0u);
  EXPECT_EQ(emu.m.FullSpeed, 0u);
  EXPECT_EQ(emu.m.FrameSkipCountdown, 1u);
  EXPECT_EQ(emu.m.input.KeyRows[3], 0xFF);
  // No file yet: the defaults are taken silently and written out.
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(std::filesystem::exists(root / "first" / "orvo.ini"));
  EXPECT_EQ(emu.m.MachineModel, 1);
  EXPECT_EQ(emu.m.Peek(0), 0xF3);  // the 48K ROM in place: its first instruction is DI
  EXPECT_EQ(emu.m.cpu.PC, 0);
}

namespace fs = std::filesystem;

TEST(RecentFiles, KeepsTheTenNewestOnceEachAndSurvivesARestart) {
  const test::TempDir t;
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
