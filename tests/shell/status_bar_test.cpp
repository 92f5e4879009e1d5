#include "shell/status_bar.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "shell/emulator.h"
#include "shell/window_commands.h"
#include "support/recording_host.h"

namespace orvo {
namespace {

constexpr uint64_t kMs = 1000000;

class StatusBarTest : public ::testing::Test {
 protected:
  test::RecordingHost host;
  Emulator emu{host};
  StatusBar bar;
};

TEST_F(StatusBarTest, RefreshesOnceASecondWithTheFrameCount) {
  EXPECT_FALSE(UpdateStatusBar(emu, bar));  // the first pass starts the second
  emu.m.FramesThisSecond = 50;
  host.clock.now_ns += 999 * kMs;
  EXPECT_FALSE(UpdateStatusBar(emu, bar));  // 999 ms is not yet more than 999 ms
  EXPECT_EQ(emu.m.FramesThisSecond, 50u);
  host.clock.now_ns += 1 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts[0], " ZX Spectrum 48K/48K+");
  EXPECT_EQ(bar.parts[1], " Frames Per Second: 50 ");
  EXPECT_EQ(bar.parts[2], " Speed: 100%");
  EXPECT_EQ(bar.parts[3], "");
  EXPECT_EQ(emu.m.FramesThisSecond, 0u);

  emu.m.FramesThisSecond = 37;
  host.clock.now_ns += 1500 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts[1], " Frames Per Second: 37 ");
  EXPECT_EQ(bar.parts[2], " Speed: 74%");
}

TEST_F(StatusBarTest, PausedKeepsTheCountAndAHiddenBarStartsItAgain) {
  UpdateStatusBar(emu, bar);
  emu.m.FramesThisSecond = 12;
  host.clock.now_ns += 1000 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  const auto before = bar.parts;
  emu.m.Paused = 1;
  emu.m.FramesThisSecond = 9;
  host.clock.now_ns += 5000 * kMs;
  EXPECT_FALSE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts, before);
  EXPECT_EQ(emu.m.FramesThisSecond, 9u);
  // Hidden, the texts stay but the second is counted afresh.
  emu.m.Paused = 0;
  bar.shown = false;
  EXPECT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts, before);
  EXPECT_EQ(emu.m.FramesThisSecond, 0u);
}

TEST_F(StatusBarTest, TheFourthPartNamesTheSnapshotAtTwoHundredPercentOrTheCapturedMouse) {
  UpdateStatusBar(emu, bar);
  emu.files.StatusFileName = "manic.z80";
  emu.files.SnapshotLoaded = 1;
  emu.settings.DrawSize = 1;
  host.clock.now_ns += 1000 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts[3], "");
  emu.settings.DrawSize = 2;
  host.clock.now_ns += 1000 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts[3], " Current Snap: manic.z80");

  emu.m.settings.MouseType = 2;  // Kempston
  emu.m.input.MouseCaptured = 1;
  emu.m.input.KempstonX = 7;
  emu.m.input.KempstonY = 130;
  bar.shown = false;  // shown or not
  host.clock.now_ns += 1000 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts[3],
            " Mouse X pos: - 007  Mouse_Y pos - 130 hooked = 1  (F7 releases the mouse)");
  emu.m.settings.MouseType = 1;  // AMX
  emu.m.input.AmxX = 5;
  emu.m.input.AmxY = 6;
  emu.m.input.AmxLastX = 4;
  emu.m.input.AmxLastY = 200;
  host.clock.now_ns += 1000 * kMs;
  ASSERT_TRUE(UpdateStatusBar(emu, bar));
  EXPECT_EQ(bar.parts[3],
            " X pos: - 5  Y pos - 006 OX pos - 004 OY pos - 200  (F7 releases the mouse)");
}

TEST_F(StatusBarTest, QuitAsksOnlyWithExitMsg) {
  emu.settings.ExitMsg = 1;
  host.answers = {false};
  EXPECT_FALSE(ConfirmQuit(emu));
  EXPECT_EQ(host.questions, std::vector<std::string>{"Exit|Are you sure you want to quit Orvo?"});
  EXPECT_EQ(emu.m.Paused, 0u);  // answering No resumes
  emu.settings.ExitMsg = 0;
  EXPECT_TRUE(ConfirmQuit(emu));
  EXPECT_EQ(host.questions.size(), 1u);
}

TEST_F(StatusBarTest, InstantSaveWritesTheLastFileOpened) {
  const auto dir = std::filesystem::temp_directory_path() / ("orvo-f1-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  // Off: nothing at all.
  emu.folders.CurrentSnapDir = (dir / "game.tap").string();
  EXPECT_EQ(InstantSnapshotSave(emu), 1);
  EXPECT_TRUE(host.messages.empty());
  emu.settings.SnapshotSave = 1;
  // A tape was the last file: not a snapshot extension.
  EXPECT_EQ(InstantSnapshotSave(emu), 1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].message, 22);
  EXPECT_EQ(host.messages[0].caption, CaptionId::Error);
  // SIT is written as well; mixed case is not in the table.
  emu.folders.CurrentSnapDir = (dir / "game.sit").string();
  EXPECT_EQ(InstantSnapshotSave(emu), 0);
  EXPECT_EQ(std::filesystem::file_size(dir / "game.sit"), 65564u);
  emu.folders.CurrentSnapDir = (dir / "game.Sna").string();
  EXPECT_EQ(InstantSnapshotSave(emu), 1);
  EXPECT_EQ(host.messages.size(), 2u);
  // An SNA is written in place.
  emu.folders.CurrentSnapDir = (dir / "game.sna").string();
  emu.m.cpu.SP = 0x8000;
  EXPECT_EQ(InstantSnapshotSave(emu), 0);
  EXPECT_EQ(std::filesystem::file_size(dir / "game.sna"), 49179u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvo
