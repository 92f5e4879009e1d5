// The snapshots of the shared media collection load to their machines and run; the broken ones
// are refused without touching the running machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "shell/frame_loop.h"
#include "snapshot_fixture.h"
#include "video/screen_text.h"

namespace orvo::test {
namespace {

struct Expected {
  const char* file;
  uint8_t model;
  uint16_t pc, sp;
  uint8_t border;
  int rom, bank;  // ROM at 0x0000 and bank at 0xC000 on the 128K family, -1 elsewhere
  // The screen shown once loaded: bitmap bytes with ink, and the sum of the attributes.
  int inked, attributeSum;
  // After running a second: a piece of the screen text, the ROM's LD-BYTES waiting for a tape,
  // or a picture that moves.
  const char* textAfterRun = nullptr;
  bool inTapeLoader = false, moves = false;
};

// Registers read by hand from each header; screens checked by eye (Manic Miner's title,
// Aquaplane's menu, "128 BASIC", the +3 loader, ...).
const Expected kFiles[] = {
    {"manic_miner_v1_48k.z80", kModel48K, 0x9303, 0x9CFC, 0, -1, -1, 1908, 32455, {}, false, true},
    {"aquaplane_v2_48k.z80", kModel48K, 0x68CB, 0x612D, 1, -1, -1, 804, 13840, {}, false, true},
    {"newbench_v2_48k.z80", kModel48K, 0x15FE, 0xFF4A, 7, -1, -1, 116, 43008, "Program: newbench"},
    {"bbg128_v2_128k.z80", kModel128K, 0x0038, 0xFF3E, 0, 1, 0, 0, 24576},
    {"binary_love_I_v2_128k.z80", kModel128K, 0x65CC, 0x618B, 0, 1, 0, 2584, 0},
    {"shock_part2_v2_128k.z80", kModel128K, 0x5BF0, 0x6222, 0, 1, 0, 280, 3124},
    {"test_v3_48k.z80", kModel48K, 0x0038, 0xFF4A, 7, -1, -1, 123, 43136, "PRINT \"Hello Spectron"},
    {"zasm_template_v3_48k.z80", kModel48K, 0x5B00, 0x8100, 0, -1, -1, 0, 0},
    {"zesarux_p16k_v3.z80", kModel16K, 0x0039, 0x7F44, 7, -1, -1, 35, 43136, "1>REM"},
    {"zesarux_p48k_v3.z80", kModel48K, 0x0039, 0xFF44, 7, -1, -1, 35, 43136, "1>REM"},
    {"zesarux_pplus2a40_v3.z80", kModelPlus2A, 0x0039, 0x5BF7, 7, 0, 7, 103, 43659, "+3 BASIC"},
    {"zxsp_48k_issue3_v3.z80", kModel48K, 0x0556, 0xFF4C, 7, -1, -1, 0, 43008, {}, true},
    {"zxsp_zx128_v3_128k.z80", kModel128K, 0x0556, 0xFF48, 7, 1, 0, 217, 43529, "Tape Loader",
     true},
    {"zxsp_plus2_v3.z80", kModelPlus2, 0x0556, 0xFF48, 7, 1, 0, 337, 43529, "press PLAY", true},
    {"zxsp_plus2a_v3.z80", kModelPlus2A, 0x0556, 0xFF46, 7, 3, 0, 315, 43494, "press PLAY", true},
    {"zxsp_plus3_v3.z80", kModelPlus3, 0x217F, 0x5BD7, 7, 2, 7, 70, 43494, "Loader"},
    // SNA: a 48K file's PC is popped from its stack.
    {"test_48k.sna", kModel48K, 0x0038, 0xFF46, 7, -1, -1, 123, 43136, "PRINT \"Hello Spectron"},
    {"zasm_template_48k.sna", kModel48K, 0x5B00, 0x8100, 7, -1, -1, 0, 0},
    {"aytest_0.2_128k.sna", kModel128K, 0xA566, 0x5FFE, 7, 1, 0, 493, 51200, "choose device"},
    {"zesarux_p128_128k.sna", kModel128K, 0x0038, 0x5BF9, 7, 0, 7, 110, 43666, "1 REM"},
    {"7threality_128k_147487.sna", kModel128K, 0x6D9B, 0x61A1, 0, 1, 5, 1048, 28844},
};

int Load(Emulator& emu, const std::string& name, const std::vector<uint8_t>& bytes) {
  return name.ends_with(".sna") ? LoadSNA(emu, bytes) : LoadZ80(emu, bytes);
}

std::string TestName(const char* file) {
  std::string name = file;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

class MediaSnapshot : public ::testing::TestWithParam<Expected> {};

TEST_P(MediaSnapshot, LoadsToItsMachineAndRuns) {
  const Expected& e = GetParam();
  ORVO_REQUIRE_ROMS();
  const auto path = SnapshotFile(e.file);
  ORVO_REQUIRE_FILE(path);
  // Start from another model, halted, so that the switch and the fresh CPU state are seen.
  SnapshotMachine t(e.model == kModelPlus3 ? kModel48K : kModelPlus3);
  t.m.cpu.Halted = 1;
  ASSERT_EQ(Load(t.emu, e.file, ReadWholeFile(path)), 0);
  EXPECT_TRUE(t.host.messages.empty());
  EXPECT_EQ(t.m.MachineModel, e.model);
  EXPECT_EQ(t.m.FrameLength, Is128KFamily(e.model) ? 70908u : 69888u);
  EXPECT_EQ(t.m.cpu.PC, e.pc);
  EXPECT_EQ(t.m.cpu.SP, e.sp);
  EXPECT_EQ(t.m.ports.BorderColour, e.border);
  EXPECT_EQ(t.m.cpu.Halted, 0);
  if (e.rom >= 0) {
    EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer128.data() + e.rom * 16384);
    EXPECT_EQ(t.m.PageTable[6], t.m.RamBlock.data() + e.bank * 16384);
  } else {
    EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer48.data());
  }
  const uint8_t* screen = t.m.ScreenPointer;
  EXPECT_EQ(std::count_if(screen, screen + 6144, [](uint8_t b) { return b != 0; }), e.inked);
  EXPECT_EQ(std::accumulate(screen + 6144, screen + 6912, 0), e.attributeSum);

  const std::vector<uint8_t> loaded(screen, screen + 6912);
  t.emu.NoThrottle = true;
  t.m.settings.Sound = 0;
  for (int frame = 0; frame < 50; ++frame) RunFrame(t.emu);
  EXPECT_TRUE(t.host.messages.empty());
  if (e.textAfterRun != nullptr) {
    EXPECT_NE(ScreenText(t.m).find(e.textAfterRun), std::string::npos) << ScreenText(t.m);
  }
  if (e.inTapeLoader) {
    EXPECT_TRUE(t.m.cpu.PC >= 0x0556 && t.m.cpu.PC < 0x0605) << t.m.cpu.PC;
  }
  if (e.moves) {
    EXPECT_FALSE(std::equal(loaded.begin(), loaded.end(), t.m.ScreenPointer));
  }
}

INSTANTIATE_TEST_SUITE_P(Media, MediaSnapshot, ::testing::ValuesIn(kFiles),
                         [](const auto& instance) { return TestName(instance.param.file); });

TEST(MediaSnapshotDetails, LongSnaLockedPagingAndTheAy48KOption) {
  ORVO_REQUIRE_ROMS();
  const auto sna = SnapshotFile("7threality_128k_147487.sna");
  const auto locked = SnapshotFile("bbg128_v2_128k.z80");
  const auto ay = SnapshotFile("test_v3_48k.z80");
  for (const auto& p : {sna, locked, ay}) ORVO_REQUIRE_FILE(p);
  SnapshotMachine t;
  // Paged bank 5 in the long form: the third 16K is bank 5 again and wins; banks 0, 1, 3, 4, 6
  // and 7 follow the header.
  const std::vector<uint8_t> file = ReadWholeFile(sna);
  ASSERT_EQ(LoadSNA(t.emu, file), 0);
  for (const auto& [offset, bank] : {std::pair{27 + 2 * 16384, 5}, {49183, 0}, {49183 + 81920, 7}})
    EXPECT_TRUE(std::equal(file.begin() + offset, file.begin() + offset + 16384,
                           t.m.RamBlock.begin() + bank * 16384))
        << bank;
  EXPECT_EQ(t.m.ScreenPointer, t.m.RamBlock.data() + 7 * 16384);  // 0x7FFD bit 3
  EXPECT_EQ(t.emu.files.FileTypeLabel, "SNA 128k file");
  // The 0x7FFD value with the lock bit takes effect, then locks.
  ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(locked)), 0);
  EXPECT_EQ(t.m.PagingLock, 1);
  // The AY bit of a 48K file turns "AY48K" on; nothing turns it off.
  EXPECT_EQ(t.m.settings.Ay48k, 0);
  ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(ay)), 0);
  ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(locked)), 0);
  EXPECT_EQ(t.m.settings.Ay48k, 1);
  EXPECT_EQ(t.emu.PendingSettings.Ay48k, 1);
}

TEST(InvalidSnapshot, IsRefusedAndChangesNothing) {
  ORVO_REQUIRE_ROMS();
  const std::pair<const char*, MessageId> files[] = {
      {"invalid_extlen.z80", kMsgZ80Version},    {"truncated_header.z80", kMsgSnapshotLength},
      {"truncated_v1.z80", kMsgSnapshotLength},  {"truncated_v2.z80", kMsgSnapshotLength},
      {"truncated_48k.sna", kMsgSnapshotLength}, {"truncated_128k.sna", kMsgSnapshotLength}};
  for (const auto& [name, message] : files) {
    SCOPED_TRACE(name);
    const auto path = SnapshotFile(std::string("invalid/") + name);
    ORVO_REQUIRE_FILE(path);
    SnapshotMachine t(kModel128K);
    t.m.cpu.PC = 0x1234;
    t.m.RamBlock[0x8000] = 0x5A;
    const std::vector<uint8_t> before = t.m.RamBlock;
    ASSERT_EQ(Load(t.emu, name, ReadWholeFile(path)), 1);
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].message, message);
    EXPECT_EQ(t.host.messages[0].caption, CaptionId::Options);
    EXPECT_EQ(t.m.MachineModel, kModel128K);
    EXPECT_EQ(t.m.cpu.PC, 0x1234);
    EXPECT_EQ(t.m.RamBlock, before);
  }
}

}  // namespace
}  // namespace orvo::test
