// Loading tapes through a real ROM: LOAD "" of a small program with the ROM trap, with real
// pulses and with fast loading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "formats/z80_format.h"
#include "snapshot/snapshot_apply.h"
#include "tape/tape_player.h"
#include "tape_machine.h"

namespace orvo::test {
namespace {

const char kHelloTap[] = "testdata/media/tap/zasm_hello_world.tap";

struct HelloCase {
  const char* name;
  bool traps;
  bool fastload;
  const char* file = kHelloTap;
};

class HelloWorldLoad : public ::testing::TestWithParam<HelloCase> {};

TEST_P(HelloWorldLoad, PrintsHelloWorld) {
  const HelloCase c = GetParam();
  if (!TapeMachine::RomPresent(kModel48K))
    ORVO_MISSING_SHARED_DATA("missing 48k.rom in " << RomDir());
  ORVO_REQUIRE_FILE(SharedFile(c.file));
  TapeMachine tm;
  tm.m.settings.TapeTraps = c.traps;
  tm.m.settings.Fastload = c.fastload;
  ASSERT_TRUE(BootToTapeLoader(tm.emu));
  ASSERT_TRUE(tm.Insert(SharedFile(c.file)));
  uint64_t pulses = 0;
  for (int frame = 0; frame < 3000 && tm.Screen().find("Hello World!") == std::string::npos;
       ++frame) {
    // The machine starts the tape itself at the loader's CP A (traps off).
    RunFrame(tm.emu);
    if (tm.m.TapePlaying) ++pulses;
  }
  const std::string screen = tm.Screen();
  EXPECT_NE(screen.find("Hello World!"), std::string::npos) << screen;
  EXPECT_TRUE(tm.host.messages.empty());
  if (c.traps) {
    EXPECT_EQ(pulses, 0u) << "with traps the tape never plays";
  } else {
    EXPECT_GT(pulses, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Tape, HelloWorldLoad,
                         ::testing::Values(HelloCase{"traps", true, false},
                                           HelloCase{"pulses", false, false},
                                           HelloCase{"fastload", false, true},
                                           // Select and custom info blocks are stepped over.
                                           HelloCase{"select_custominfo", false, false,
                                                     "testdata/media/tzx/"
                                                     "SYNTHETIC_select_0x28_custominfo_0x35.tzx"}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// The zasm block test tape: LOAD "" prints "Hello World!"; the deck then stops at the pause of
// 0 ms that follows, and on a 48K played on, at the "stop the tape if in 48K mode" block.
TEST(TapeLoad, ZasmBlockTapeStopsWhereItSays) {
  if (!TapeMachine::RomPresent(kModel48K))
    ORVO_MISSING_SHARED_DATA("missing 48k.rom in " << RomDir());
  const auto file = SharedFile("testdata/media/tzx/zasm_tzx_blocks.tzx");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm;
  ASSERT_TRUE(BootToTapeLoader(tm.emu));
  ASSERT_TRUE(tm.Insert(file));
  ASSERT_TRUE(tm.RunUntilScreenShows("Hello World!", 3000)) << tm.Screen();
  tm.RunFrames(100);
  EXPECT_FALSE(tm.m.TapePlaying);
  ASSERT_NE(tm.m.tape.image->current, nullptr);
  EXPECT_EQ(tm.m.tape.image->current->id, 0x20);
  EXPECT_EQ(tm.m.tape.image->current->p[0], 0u);

  StartStopTapeCommand(tm.emu);  // F11: play on
  for (int frame = 0; frame < 3000 && tm.m.TapePlaying; ++frame) tm.RunFrames(1);
  EXPECT_FALSE(tm.m.TapePlaying);
  ASSERT_NE(tm.m.tape.image->current, nullptr);
  EXPECT_EQ(tm.m.tape.image->current->id, 0x2A);
  EXPECT_TRUE(tm.host.messages.empty());
}

TEST(TapeLoad, ARefusedTapeLeavesTheDeckAsItWas) {
  const auto file = SharedFile("testdata/media/tzx/invalid/bc_quest_corrupted.tzx");
  const auto good = SharedFile(kHelloTap);
  ORVO_REQUIRE_FILE(file);
  ORVO_REQUIRE_FILE(good);
  TapeMachine tm;
  EXPECT_NE(LoadTape(tm.emu, file.string()), 0);
  ASSERT_EQ(tm.host.messages.size(), 1u);
  EXPECT_NE(tm.host.messages[0].text.find("Tape Error: Failed at ORVO_GENERALISED_DATA_BLOCK"),
            std::string::npos);
  EXPECT_EQ(tm.m.tape.image, nullptr) << "a damaged file is refused whole";

  // With a tape in the deck, neither a damaged file, nor one that cannot be read, nor an unknown
  // kind takes it out.
  ASSERT_EQ(OpenTapeFile(tm.emu, good.string()), 0);
  const TapeImage* inDeck = tm.m.tape.image.get();
  ASSERT_NE(inDeck, nullptr);
  const struct {
    std::string path;
    int message;
  } refused[] = {
      {file.string(), 32}, {file.string() + ".missing.tzx", 20}, {file.string() + ".txt", 22}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.path);
    EXPECT_NE(OpenTapeFile(tm.emu, r.path), 0);
    EXPECT_EQ(tm.host.messages.back().message, r.message);
    EXPECT_EQ(tm.m.tape.image.get(), inDeck);
  }
}

TEST(TapeLoad, EjectAndRewindCommands) {
  const auto file = SharedFile(kHelloTap);
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm;
  EjectTapeCommand(tm.emu);
  ASSERT_EQ(tm.host.messages.size(), 1u);
  EXPECT_EQ(tm.host.messages[0].message, 51);
  EXPECT_EQ(tm.host.messages[0].caption, CaptionId::Error);
  RewindTapeCommand(tm.emu);
  EXPECT_EQ(tm.host.messages.size(), 2u);

  ASSERT_EQ(LoadTape(tm.emu, file.string()), 0);
  EXPECT_EQ(tm.emu.files.FileTypeLabel, "TAP File");
  EnterTapeBlock(tm.m, tm.m.tape.image->last);
  RewindTapeCommand(tm.emu);
  ASSERT_NE(tm.m.tape.image, nullptr);
  EXPECT_EQ(tm.m.tape.image->current, tm.m.tape.image->first);
  EXPECT_EQ(tm.m.tape.image->blocks.size(), 4u);
  EXPECT_TRUE(tm.m.FetchTraps.Has(kTapeLoadTrapAddress));
  EjectTapeCommand(tm.emu);
  EXPECT_EQ(tm.m.tape.image, nullptr);
  EXPECT_FALSE(tm.m.FetchTraps.Has(kTapeLoadTrapAddress));
  EXPECT_EQ(tm.host.messages.size(), 2u);
}

// With "Autoload" on, inserting a tape loads the model's boot snapshot (the machine waiting in
// the ROM loader) and the deck starts by itself as the loader polls the EAR bit, and stops when
// the program is in.
TEST(TapeLoad, AutoloadBootsFromTheSnapshotAndStartsAndStopsTheDeck) {
  if (!TapeMachine::RomPresent(kModel48K))
    ORVO_MISSING_SHARED_DATA("missing 48k.rom in " << RomDir());
  ORVO_REQUIRE_FILE(SharedFile(kHelloTap));
  const std::filesystem::path libs =
      std::filesystem::temp_directory_path() / ("orvo_tape_libs_" + std::to_string(::getpid()));
  std::filesystem::create_directories(libs);
  {
    TapeMachine maker;
    ASSERT_TRUE(BootToTapeLoader(maker.emu));
    const std::vector<uint8_t> z80 = WriteZ80(CaptureSnapshot(maker.m), 3, false);
    std::ofstream(libs / "tape_48.z80", std::ios::binary)
        .write(reinterpret_cast<const char*>(z80.data()), static_cast<std::streamsize>(z80.size()));
  }
  TapeMachine tm;
  tm.emu.folders.LibsFolder = libs.string() + "/";
  tm.m.settings.Autoload = 1;
  ASSERT_EQ(LoadTape(tm.emu, SharedFile(kHelloTap).string()), 0);
  EXPECT_TRUE(AtTapeLoaderEntry(tm.m)) << "the boot snapshot stands at LD-BYTES";
  EXPECT_FALSE(tm.m.TapePlaying);
  bool started = false;
  for (int frame = 0; frame < 3000 && tm.Screen().find("Hello World!") == std::string::npos;
       ++frame) {
    RunFrame(tm.emu);
    started = started || tm.m.TapePlaying;
  }
  EXPECT_TRUE(started);
  EXPECT_NE(tm.Screen().find("Hello World!"), std::string::npos) << tm.Screen();
  tm.RunFrames(50);
  EXPECT_FALSE(tm.m.TapePlaying) << "the deck stops once the loader is done";
  EXPECT_TRUE(tm.host.messages.empty());
  std::filesystem::remove_all(libs);
}

}  // namespace
}  // namespace orvo::test
