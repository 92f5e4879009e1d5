// Screen files: a game's screen saved as .scr and dropped on another machine shows the same
// picture; the ULAplus form carries its palette; other lengths are refused.
#include "shell/screen_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/machine_fixture.h"
#include "shell/file_dispatch.h"
#include "shell/frame_loop.h"
#include "video/ula.h"

namespace orvo {
namespace {

using test::TestMachine;

void RunFrames(Emulator& emu, int n) {
  emu.NoThrottle = true;
  for (int i = 0; i < n; ++i) RunFrame(emu);
}

bool SameDisplay(const MachineState& a, const MachineState& b) {
  const uint32_t* pa = ScreenPixels(a);
  const uint32_t* pb = ScreenPixels(b);
  for (int y = 48; y < 48 + 192; ++y)
    for (int x = 48; x < 48 + 256; ++x)
      if (pa[y * 352 + x] != pb[y * 352 + x]) return false;
  return true;
}

TEST(ScreenFile, SavedGameScreenLoadsBackAsTheSamePicture) {
  const auto game = test::SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(game);
  TestMachine a(kModel48K);
  ASSERT_EQ(LoadFile(a.emu, game.string()), 0);
  RunFrames(a.emu, 20);
  const std::vector<uint8_t> scr = BuildScr(a.m);
  ASSERT_EQ(scr.size(), kScrSize);

  const auto path = std::filesystem::temp_directory_path() / "orvo_screen_file_test.scr";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(scr.data()), static_cast<std::streamsize>(scr.size()));
  TestMachine b(kModel48K);
  RunFrames(b.emu, 100);  // booted to the copyright message
  EXPECT_FALSE(SameDisplay(a.m, b.m));
  ASSERT_EQ(LoadFile(b.emu, path.string()), 0);
  std::filesystem::remove(path);
  RunFrames(b.emu, 1);
  EXPECT_TRUE(SameDisplay(a.m, b.m));
  EXPECT_TRUE(b.host.messages.empty());
}

TEST(ScreenFile, PaletteFormAndBadLengths) {
  TestMachine t(kModel48K);
  t.m.settings.UlaPlus = 1;
  std::vector<uint8_t> scr(kScrPaletteSize, 0);
  scr[0] = 0xFF;
  for (size_t i = 0; i < 64; ++i) scr[kScrSize + i] = static_cast<uint8_t>(i * 3 + 1);
  ASSERT_EQ(LoadScr(t.m, scr), kMsgNone);
  EXPECT_EQ(t.m.ScreenPointer[0], 0xFF);
  EXPECT_EQ(t.m.ports.UlaPlusPaletteMode, 1);
  EXPECT_EQ(BuildScr(t.m), scr);  // palette bytes survive the colour table both ways

  scr[0] = 0;
  scr.push_back(0);
  EXPECT_EQ(LoadScr(t.m, scr), kMsgScreenFileLength);
  EXPECT_EQ(LoadScr(t.m, std::span(scr).first(6911)), kMsgScreenFileLength);
  EXPECT_EQ(t.m.ScreenPointer[0], 0xFF);  // nothing changed
}

}  // namespace
}  // namespace orvo
