// What the user reads: the status bar's parts, the quit question, the instant save's refusals
// and the numbered messages.
#include "shell/status_bar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "formats/tape_image.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/messages.h"
#include "shell/snapshot_save.h"
#include "shell/window_commands.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace orvo {
namespace {

constexpr uint64_t kMs = 1000000;

class StatusBarTest : public ::testing::Test {
 protected:
  // Advances the clock by `ms` with `frames` counted this second, and refreshes the bar.
  bool Refresh(uint64_t ms, uint32_t frames) {
    emu.m.FramesThisSecond = frames;
    host.clock.now_ns += ms * kMs;
    return UpdateStatusBar(emu, bar);
  }
  test::RecordingHost host;
  Emulator emu{host};
  StatusBar bar;
};

TEST_F(StatusBarTest, RefreshesOnceASecondWithTheFrameCountUnlessPaused) {
  EXPECT_FALSE(UpdateStatusBar(emu, bar));  // the first pass starts the second
  emu.m.FramesThisSecond = 50;
  host.clock.now_ns += 999 * kMs;
  EXPECT_FALSE(UpdateStatusBar(emu, bar));  // 999 ms is not yet more than 999 ms
  ASSERT_TRUE(Refresh(1, 50));
  EXPECT_EQ(bar.parts,
            (std::array<std::string, kStatusParts>{" ZX Spectrum 48K/48K+",
                                                   " Frames Per Second: 50 ", " Speed: 100%", ""}));
  EXPECT_EQ(emu.m.FramesThisSecond, 0u);
  ASSERT_TRUE(Refresh(1500, 37));
  EXPECT_EQ(bar.parts[1], " Frames Per Second: 37 ");
  EXPECT_EQ(bar.parts[2], " Speed: 74%");

  const auto before = bar.parts;
  emu.m.Paused = 1;
  emu.m.FramesThisSecond = 9;
  host.clock.now_ns += 5000 * kMs;
  EXPECT_FALSE(UpdateStatusBar(emu, bar));
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
  ASSERT_TRUE(Refresh(1000, 50));
  EXPECT_EQ(bar.parts[3], "");
  emu.settings.DrawSize = 2;
  ASSERT_TRUE(Refresh(1000, 50));
  EXPECT_EQ(bar.parts[3], " Current Snap: manic.z80");

  emu.m.settings.MouseType = 2;  // Kempston
  emu.m.input.MouseCaptured = 1;
  emu.m.input.KempstonX = 7;
  emu.m.input.KempstonY = 130;
  ASSERT_TRUE(Refresh(1000, 50));
  EXPECT_EQ(bar.parts[3],
            " Mouse X pos: - 007  Mouse_Y pos - 130 hooked = 1  (F7 releases the mouse)");
}

// A tape opened with Autoload off waits for the user: the hint says how each model starts it,
// and goes once the tape has played or Autoload will start it.
TEST_F(StatusBarTest, ATapeThatNothingWillStartGetsAHintForItsModel) {
  EXPECT_EQ(TapeStartHint(emu), "");
  emu.m.tape.image = std::make_unique<TapeImage>();
  TapeImage& tape = *emu.m.tape.image;
  NewTapeBlock(tape, 0x10);
  NewTapeBlock(tape, 0x10);
  tape.current = tape.blocks[0].get();
  const struct {
    uint8_t model;
    const char* says;
  } models[] = {{kModel48K, "LOAD \"\" (J, Ctrl+P, Ctrl+P)"},
                {kModel128K, "choose Tape Loader"},
                {kModelPlus3, "choose Loader"}};
  for (const auto& c : models) {
    emu.m.MachineModel = c.model;
    EXPECT_NE(TapeStartHint(emu).find(c.says), std::string::npos) << TapeStartHint(emu);
    EXPECT_NE(TapeStartHint(emu).find("F11"), std::string::npos);
  }
  emu.m.TapePlaying = 1;
  EXPECT_EQ(TapeStartHint(emu), "");
  emu.m.TapePlaying = 0;
  tape.current = tape.blocks[1].get();  // played up to the second block: the user knows
  EXPECT_EQ(TapeStartHint(emu), "");
  tape.current = tape.blocks[0].get();
  emu.settings.Autoload = 1;
  EXPECT_EQ(TapeStartHint(emu), "");
}

TEST_F(StatusBarTest, InstantSaveWritesOnlyASnapshotThisRunLoadedOrSaved) {
  namespace fs = std::filesystem;
  const test::TempDir dir;
  const auto size = [&](const char* name) { return fs::file_size(dir / name); };
  EXPECT_EQ(InstantSnapshotSave(emu), 1);  // off: nothing at all
  EXPECT_TRUE(host.messages.empty());
  emu.settings.SnapshotSave = 1;
  // The last file of an earlier run (remembered in orvo.ini) is never overwritten: nothing has
  // been loaded or saved yet, so F1 says so and writes nothing.
  emu.folders.CurrentSnapDir = dir.Write("earlier.sna", "last run's game");
  EXPECT_EQ(InstantSnapshotSave(emu), 1);
  EXPECT_EQ(host.messages.at(0).message, kMsgNothingToInstantSave);
  EXPECT_EQ(size("earlier.sna"), 15u);
  // A refused file does not become the target either; nor does a tape (no snapshot extension).
  EXPECT_EQ(OpenFileCommand(emu, dir.Write("broken.sna", "short")), 0);
  EXPECT_EQ(InstantSnapshotSave(emu), 1);
  EXPECT_EQ(size("broken.sna"), 5u);
  ASSERT_EQ(OpenFileCommand(emu, dir.Write("game.tap", std::string("\x02\x00\xff\xff", 4))), 0);
  EXPECT_EQ(InstantSnapshotSave(emu), 1);
  EXPECT_EQ(host.messages.back().message, 22);
  EXPECT_EQ(host.messages.back().caption, CaptionId::Error);
  EXPECT_EQ(size("game.tap"), 4u);
  // A save makes its file the target; SIT is written as well.
  emu.m.cpu.SP = 0x8000;
  ASSERT_EQ(SaveSnapshot(emu, dir / "game.sit"), 0);
  fs::remove(dir / "game.sit");
  EXPECT_EQ(InstantSnapshotSave(emu), 0);
  EXPECT_EQ(size("game.sit"), 65564u);
  // A file opened this run takes over from the one saved before.
  ASSERT_EQ(SaveSnapshot(emu, dir / "game.sna"), 0);
  ASSERT_EQ(OpenFileCommand(emu, dir / "game.sit"), 0);
  EXPECT_EQ(emu.files.InstantSavePath, dir / "game.sit");
}

TEST(Messages, TextStandsAloneAndRomMissingNamesTheFile) {
  EXPECT_STREQ(CaptionText(static_cast<CaptionId>(10)), "");
  EXPECT_EQ(FormatMessage(static_cast<MessageId>(145)), "No RZX File loaded");
  EXPECT_EQ(FormatMessage(kMsgUnknownExtension, "ignored.rom"), "Tape Error: unknown extension");
  // Unused numbers and numbers beyond the table are empty.
  for (int id : {0, 9, 209}) EXPECT_STREQ(MessageText(static_cast<MessageId>(id)), "") << id;
  // "ROM missing" names the file and extension, whatever folder it was looked for in.
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "/opt/orvo/roms/plus3.rom"), "ROM missing\n\nplus3.rom");
  // The lines after the path are the folders searched.
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "/a/roms/48k.rom\n/a/roms/\n/usr/share/orvo/roms/"),
            "ROM missing\n\n48k.rom\n\nLooked in:\n/a/roms/\n/usr/share/orvo/roms/");
}

}  // namespace
}  // namespace orvo
