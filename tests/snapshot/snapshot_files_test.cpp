// The snapshots in the shared media collection load to their machines, and the broken ones are
// refused without touching the running machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "shell/frame_loop.h"
#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"
#include "snapshot_fixture.h"
#include "video/screen_text.h"

namespace orvo::test {
namespace {

struct Expected {
  const char* file;
  uint8_t model;
  uint16_t pc, sp;
  uint8_t border;
  int rom;   // ROM paged at 0x0000 on the 128K family, -1 elsewhere
  int bank;  // bank at 0xC000 on the 128K family, -1 elsewhere
  // The screen the ULA shows: bitmap bytes with ink in them, and the sum of the attributes.
  int inked;
  int attributeSum;
};

// Values read by hand from each file's header; the screen figures were taken from screens checked
// by eye (Manic Miner's title, Aquaplane's menu, "128 BASIC", the +3 loader, ...).
const Expected kFiles[] = {
    {"manic_miner_v1_48k.z80", kModel48K, 0x9303, 0x9CFC, 0, -1, -1, 1908, 32455},
    {"aquaplane_v2_48k.z80", kModel48K, 0x68CB, 0x612D, 1, -1, -1, 804, 13840},
    {"newbench_v2_48k.z80", kModel48K, 0x15FE, 0xFF4A, 7, -1, -1, 116, 43008},
    {"bbg128_v2_128k.z80", kModel128K, 0x0038, 0xFF3E, 0, 1, 0, 0, 24576},
    {"binary_love_I_v2_128k.z80", kModel128K, 0x65CC, 0x618B, 0, 1, 0, 2584, 0},
    {"shock_part2_v2_128k.z80", kModel128K, 0x5BF0, 0x6222, 0, 1, 0, 280, 3124},
    {"test_v3_48k.z80", kModel48K, 0x0038, 0xFF4A, 7, -1, -1, 123, 43136},
    {"zasm_template_v3_48k.z80", kModel48K, 0x5B00, 0x8100, 0, -1, -1, 0, 0},
    {"zesarux_p16k_v3.z80", kModel16K, 0x0039, 0x7F44, 7, -1, -1, 35, 43136},
    {"zesarux_p48k_v3.z80", kModel48K, 0x0039, 0xFF44, 7, -1, -1, 35, 43136},
    {"zesarux_pplus2a40_v3.z80", kModelPlus2A, 0x0039, 0x5BF7, 7, 0, 7, 103, 43659},
    {"zxsp_48k_issue3_v3.z80", kModel48K, 0x0556, 0xFF4C, 7, -1, -1, 0, 43008},
    {"zxsp_zx128_v3_128k.z80", kModel128K, 0x0556, 0xFF48, 7, 1, 0, 217, 43529},
    {"zxsp_plus2_v3.z80", kModelPlus2, 0x0556, 0xFF48, 7, 1, 0, 337, 43529},
    {"zxsp_plus2a_v3.z80", kModelPlus2A, 0x0556, 0xFF46, 7, 3, 0, 315, 43494},
    {"zxsp_plus3_v3.z80", kModelPlus3, 0x217F, 0x5BD7, 7, 2, 7, 70, 43494},
    // SNA: a 48K file's PC is popped from its stack.
    {"test_48k.sna", kModel48K, 0x0038, 0xFF46, 7, -1, -1, 123, 43136},
    {"zasm_template_48k.sna", kModel48K, 0x5B00, 0x8100, 7, -1, -1, 0, 0},
    {"aytest_0.2_128k.sna", kModel128K, 0xA566, 0x5FFE, 7, 1, 0, 493, 51200},
    {"zesarux_p128_128k.sna", kModel128K, 0x0038, 0x5BF9, 7, 0, 7, 110, 43666},
    {"7threality_128k_147487.sna", kModel128K, 0x6D9B, 0x61A1, 0, 1, 5, 1048, 28844},
};

class MediaSnapshot : public ::testing::TestWithParam<Expected> {};

int Load(Emulator& emu, const std::string& name, const std::vector<uint8_t>& bytes) {
  return name.ends_with(".sna") ? LoadSNA(emu, bytes) : LoadZ80(emu, bytes);
}

TEST_P(MediaSnapshot, LoadsToItsMachine) {
  const Expected& e = GetParam();
  ORVO_REQUIRE_ROMS();
  const auto path = SnapshotFile(e.file);
  ORVO_REQUIRE_FILE(path);
  // Start from a different model so that the switch is seen.
  SnapshotMachine t(e.model == kModelPlus3 ? kModel48K : kModelPlus3);
  t.m.cpu.Halted = 1;
  ASSERT_EQ(Load(t.emu, e.file, ReadWholeFile(path)), 0);
  EXPECT_TRUE(t.host.messages.empty()) << t.host.messages.front().text;
  EXPECT_EQ(t.m.MachineModel, e.model);
  EXPECT_EQ(t.m.spec.tstatesPerFrame, Is128KFamily(e.model) ? 70908u : 69888u);
  EXPECT_EQ(t.m.cpu.PC, e.pc);
  EXPECT_EQ(t.m.cpu.SP, e.sp);
  EXPECT_EQ(t.m.ports.BorderColour, e.border);
  EXPECT_EQ(t.m.cpu.Halted, 0);
  if (e.rom >= 0) {
    EXPECT_EQ(t.m.RomNumber, e.rom);
    EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer128.data() + e.rom * 16384);
    EXPECT_EQ(t.m.BankAtC000, e.bank);
    EXPECT_EQ(t.m.PageTable[6], t.m.RamBlock.data() + e.bank * 16384);
  } else {
    EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer48.data());
  }
  const uint8_t* screen = t.m.ScreenPointer;
  EXPECT_EQ(std::count_if(screen, screen + 6144, [](uint8_t b) { return b != 0; }), e.inked);
  EXPECT_EQ(std::accumulate(screen + 6144, screen + 6912, 0), e.attributeSum);
}

INSTANTIATE_TEST_SUITE_P(Media, MediaSnapshot, ::testing::ValuesIn(kFiles), [](const auto& info) {
  std::string name = info.param.file;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
});

// What a loaded snapshot shows after running for a second: a line of text on the screen, the ROM's
// tape loader waiting for edges, or a picture that moves.
struct AfterRun {
  const char* text;   // a piece of the screen text, or null
  bool inTapeLoader;  // PC inside the ROM's LD-BYTES
  bool moves;         // the screen differs from the loaded one
};

AfterRun ExpectedAfterRun(const std::string& file) {
  static const std::pair<const char*, AfterRun> kRuns[] = {
      {"test_48k.sna", {"10 PRINT \"Hello Spectron\"", false, false}},
      {"test_v3_48k.z80", {"10 PRINT \"Hello Spectron\"", false, false}},
      {"zesarux_p16k_v3.z80", {"1>REM", false, false}},
      {"zesarux_p48k_v3.z80", {"1>REM", false, false}},
      {"zesarux_pplus2a40_v3.z80", {"+3 BASIC", false, false}},
      {"zesarux_p128_128k.sna", {"1 REM", false, false}},
      {"newbench_v2_48k.z80", {"Program: newbench", false, false}},
      {"aytest_0.2_128k.sna", {"Please, choose device", false, false}},
      {"zxsp_zx128_v3_128k.z80", {"Tape Loader", true, false}},
      {"zxsp_plus2_v3.z80", {"Insert tape and press PLAY", true, false}},
      {"zxsp_plus2a_v3.z80", {"Insert tape and press PLAY", true, false}},
      {"zxsp_plus3_v3.z80", {"Loader", false, false}},
      {"zxsp_48k_issue3_v3.z80", {nullptr, true, false}},
      {"manic_miner_v1_48k.z80", {nullptr, false, true}},
      {"aquaplane_v2_48k.z80", {nullptr, false, true}},
  };
  for (const auto& [name, after] : kRuns) {
    if (file == name) return after;
  }
  return {nullptr, false, false};
}

TEST_P(MediaSnapshot, RunsAfterLoading) {
  const Expected& e = GetParam();
  ORVO_REQUIRE_ROMS();
  const auto path = SnapshotFile(e.file);
  ORVO_REQUIRE_FILE(path);
  SnapshotMachine t;
  t.emu.NoThrottle = true;
  t.m.settings.Sound = 0;
  ASSERT_EQ(Load(t.emu, e.file, ReadWholeFile(path)), 0);
  const std::vector<uint8_t> loaded(t.m.ScreenPointer, t.m.ScreenPointer + 6912);
  const uint64_t frames = t.m.FrameCount;
  for (int frame = 0; frame < 50; ++frame) RunFrame(t.emu);
  EXPECT_EQ(t.m.FrameCount, frames + 50);
  EXPECT_TRUE(t.host.messages.empty());
  EXPECT_EQ(t.m.MachineModel, e.model);
  const AfterRun after = ExpectedAfterRun(e.file);
  if (after.text != nullptr) {
    EXPECT_NE(ScreenText(t.m).find(after.text), std::string::npos) << ScreenText(t.m);
  }
  if (after.inTapeLoader) {
    EXPECT_GE(t.m.cpu.PC, 0x0556);
    EXPECT_LT(t.m.cpu.PC, 0x0605);
  }
  if (after.moves) {
    EXPECT_FALSE(std::equal(loaded.begin(), loaded.end(), t.m.ScreenPointer));
  }
}

// SNA files hold RAM plainly: the loaded banks must be the file's bytes.
TEST(SnapshotFiles, Sna128KBanksComeFromTheirPlaces) {
  ORVO_REQUIRE_ROMS();
  const auto path = SnapshotFile("7threality_128k_147487.sna");
  ORVO_REQUIRE_FILE(path);
  const std::vector<uint8_t> file = ReadWholeFile(path);
  SnapshotMachine t(kModel48K);
  ASSERT_EQ(LoadSNA(t.emu, file), 0);
  auto bankIs = [&](int bank, size_t offset) {
    return std::equal(file.begin() + offset, file.begin() + offset + 16384,
                      t.m.RamBlock.begin() + bank * 16384);
  };
  // Paged bank 5: the third 16K is bank 5 again and wins; then banks 0, 1, 3, 4, 6, 7.
  EXPECT_TRUE(bankIs(5, 27 + 2 * 16384));
  EXPECT_TRUE(bankIs(2, 27 + 16384));
  const int rest[] = {0, 1, 3, 4, 6, 7};
  for (int n = 0; n < 6; ++n) EXPECT_TRUE(bankIs(rest[n], 49183 + n * 16384)) << rest[n];
  EXPECT_EQ(t.m.Last7FFD, 0x1D);
  EXPECT_EQ(t.m.ScreenBank, 7);
  EXPECT_EQ(t.m.ScreenPointer, t.m.RamBlock.data() + 7 * 16384);
  EXPECT_EQ(t.m.cpu.IM, 2);
  EXPECT_EQ(t.m.cpu.IFF1, 1);
  EXPECT_EQ(t.m.cpu.IFF2, 1);
  EXPECT_EQ(t.m.cpu.IR.b.h, 0x63);
  EXPECT_EQ(t.m.cpu.BC.w, 0x7FFD);
  EXPECT_EQ(t.emu.files.FileTypeLabel, "SNA 128k file");
}

TEST(SnapshotFiles, Sna48KRamAndRegisters) {
  ORVO_REQUIRE_ROMS();
  const auto path = SnapshotFile("test_48k.sna");
  ORVO_REQUIRE_FILE(path);
  const std::vector<uint8_t> file = ReadWholeFile(path);
  SnapshotMachine t(kModel128K);
  ASSERT_EQ(LoadSNA(t.emu, file), 0);
  EXPECT_TRUE(std::equal(file.begin() + 27, file.end(), t.m.RamBlock.begin() + 0x4000));
  EXPECT_EQ(t.m.cpu.AF.w, 0x005C);
  EXPECT_EQ(t.m.cpu.HL.w, 0x10A8);
  EXPECT_EQ(t.m.cpu.IR.w, 0x3F56);
  EXPECT_EQ(t.m.cpu.IM, 1);
  EXPECT_EQ(t.m.cpu.IFF1, 0);
  EXPECT_EQ(t.m.ports.LastUlaOut, 7);
  EXPECT_EQ(t.emu.files.FileTypeLabel, "SNA 48k file");
}

TEST(SnapshotFiles, Z80HeadersFillRegistersAyAndOptions) {
  ORVO_REQUIRE_ROMS();
  const auto manic = SnapshotFile("manic_miner_v1_48k.z80");
  const auto bbg = SnapshotFile("bbg128_v2_128k.z80");
  const auto p16 = SnapshotFile("zesarux_p16k_v3.z80");
  ORVO_REQUIRE_FILE(manic);
  ORVO_REQUIRE_FILE(bbg);
  ORVO_REQUIRE_FILE(p16);
  {
    SnapshotMachine t;
    ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(manic)), 0);
    EXPECT_EQ(t.m.cpu.AF.b.h, 0xF8);
    EXPECT_EQ(t.m.cpu.AF.b.l, 0x02);
    EXPECT_EQ(t.m.cpu.BC.w, 0x1431);
    EXPECT_EQ(t.m.cpu.HL.w, 0x59F8);
    EXPECT_EQ(t.m.cpu.DE.w, 0x1113);
    EXPECT_EQ(t.m.cpu.IR.b.h, 0x3F);
    EXPECT_EQ(t.emu.files.FileTypeLabel, "Z80 File Version: 1.45");
  }
  {
    // The 0x7FFD value carries the lock bit: ROM 1 and bank 0 stay, later writes are ignored.
    SnapshotMachine t;
    const std::vector<uint8_t> file = ReadWholeFile(bbg);
    ASSERT_EQ(LoadZ80(t.emu, file), 0);
    EXPECT_EQ(t.m.Last7FFD, 0x30);
    EXPECT_EQ(t.m.PagingLock, 1);
    EXPECT_EQ(t.m.sound.ay.AySelectedRegister, 14);
    EXPECT_TRUE(std::equal(file.begin() + 39, file.begin() + 55, t.m.sound.ay.regs));
  }
  {
    // Hardware 0 with the modified-hardware bit is a 16K; its Interface 1 byte pages nothing
    // in on a machine without an Interface 1.
    SnapshotMachine t;
    ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(p16)), 0);
    EXPECT_EQ(t.m.MachineModel, kModel16K);
    EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer48.data());
    EXPECT_EQ(t.m.Peek(0x8000), 0xFF);
  }
}

TEST(SnapshotFiles, AyBitTurnsOnAy48KAndNothingTurnsItOff) {
  ORVO_REQUIRE_ROMS();
  const auto withAy = SnapshotFile("test_v3_48k.z80");
  const auto withoutAy = SnapshotFile("aquaplane_v2_48k.z80");
  ORVO_REQUIRE_FILE(withAy);
  ORVO_REQUIRE_FILE(withoutAy);
  SnapshotMachine t;
  ASSERT_EQ(t.m.settings.Ay48k, 0);
  ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(withoutAy)), 0);
  EXPECT_EQ(t.m.settings.Ay48k, 0);
  ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(withAy)), 0);
  EXPECT_EQ(t.m.settings.Ay48k, 1);
  EXPECT_EQ(t.emu.PendingSettings.Ay48k, 1);
  ASSERT_EQ(LoadZ80(t.emu, ReadWholeFile(withoutAy)), 0);
  EXPECT_EQ(t.m.settings.Ay48k, 1);
}

struct Broken {
  const char* file;
  MessageId message;
};

class InvalidSnapshot : public ::testing::TestWithParam<Broken> {};

// A broken file shows its message and leaves the running machine exactly as it was.
TEST_P(InvalidSnapshot, IsRefusedAndChangesNothing) {
  ORVO_REQUIRE_ROMS();
  const auto path = SnapshotFile(std::string("invalid/") + GetParam().file);
  ORVO_REQUIRE_FILE(path);
  SnapshotMachine t(kModel128K);
  t.m.cpu.PC = 0x1234;
  t.m.RamBlock[0x8000] = 0x5A;
  const std::vector<uint8_t> before = t.m.RamBlock;
  ASSERT_EQ(Load(t.emu, GetParam().file, ReadWholeFile(path)), 1);
  ASSERT_EQ(t.host.messages.size(), 1u);
  EXPECT_EQ(t.host.messages[0].message, GetParam().message);
  EXPECT_EQ(t.host.messages[0].caption, CaptionId::Options);
  EXPECT_EQ(t.m.MachineModel, kModel128K);
  EXPECT_EQ(t.m.cpu.PC, 0x1234);
  EXPECT_EQ(t.m.RamBlock, before);
}

INSTANTIATE_TEST_SUITE_P(
    Media, InvalidSnapshot,
    ::testing::Values(Broken{"invalid_extlen.z80", 18}, Broken{"truncated_header.z80", 12},
                      Broken{"truncated_v1.z80", 12}, Broken{"truncated_v2.z80", 12},
                      Broken{"truncated_48k.sna", 12}, Broken{"truncated_128k.sna", 12}),
    [](const auto& info) {
      std::string name = info.param.file;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace orvo::test
