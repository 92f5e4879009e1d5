// Saving a machine and loading the file gives the same machine, for every model each format can
// hold; the writers put the fields where the formats want them and leave the machine alone.
#include <gtest/gtest.h>

#include "cpu/z80.h"
#include "machine/memory.h"
#include "shell/snapshot_save.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

struct Case {
  uint8_t model;
  int version;  // 1-3: Z80 version; 0: SNA
  bool with1FFD;
  uint8_t p7FFD, p1FFD;  // paging on the 128K family (0x1FFD first, on the +2A and +3)
  const char* name;
  uint16_t pc = 0x6D9B;  // version 1 tells itself from the later ones by a PC other than 0
};

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, SavedAndLoadedMachinesMatch) {
  const Case& c = GetParam();
  ORVO_REQUIRE_ROMS();
  SnapshotMachine a(c.model);
  FillMachine(a.m, 77 + c.model * 4 + c.version);
  a.m.cpu.PC = c.pc;
  if (IsPlus2AFamily(c.model)) {
    Write1FFD(a.m, c.p1FFD);
    Write7FFDPlus3(a.m, c.p7FFD);
  } else {
    Write7FFD128(a.m, c.p7FFD);  // ignored on the 48K group
  }
  const std::vector<uint8_t> file = c.version == 0
                                        ? WriteSNA(CaptureSnapshot(a.m))
                                        : WriteZ80(CaptureSnapshot(a.m), c.version, c.with1FFD);
  SnapshotMachine b(c.model == kModel48K ? kModelPlus3 : kModel48K);
  ASSERT_EQ(c.version == 0 ? LoadSNA(b.emu, file) : LoadZ80(b.emu, file), 0);
  EXPECT_TRUE(b.host.messages.empty());
  if (c.version == 0 && !Is128KFamily(c.model)) {
    // The 48K form carries PC in the two bytes under SP.
    EXPECT_EQ(b.m.Peek(0x7EFE) | b.m.Peek(0x7EFF) << 8, c.pc);
    a.m.RamBlock[0x7EFE] = 0x9B;
    a.m.RamBlock[0x7EFF] = 0x6D;
  }
  if (c.version >= 2) {
    EXPECT_TRUE(std::equal(a.m.sound.ay.regs, a.m.sound.ay.regs + 16, b.m.sound.ay.regs));
    EXPECT_EQ(b.m.sound.ay.AySelectedRegister, 11);
    EXPECT_EQ(b.m.cpu.IFF2, 1);
  }
  ExpectSameMachine(a.m, b.m);
  // Version 1 holds only a 48K; the +2A and +3 always get the 0x1FFD byte of version 3.
  const bool v1 = c.version == 1 && !Is128KFamily(c.model) && c.pc != 0;
  const bool v2 = c.version == 2 && !IsPlus2AFamily(c.model);
  const bool v3 = c.version != 0 && !v1 && !v2;
  if (c.version != 0) {
    EXPECT_EQ(file[6] == 0 && file[7] == 0 && file[30] != 23, v3);
  }
  if (v3) {
    EXPECT_EQ(b.m.FrameTState, a.m.FrameTState);
  }
  if (IsPlus2AFamily(c.model) && c.version != 0) {
    EXPECT_EQ(file[30], 55);
    EXPECT_EQ(b.m.Last1FFD, a.m.Last1FFD);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RoundTrip,
    ::testing::Values(Case{kModel48K, 1, false, 0, 0, "z80v1_48k"},
                      Case{kModel48K, 1, false, 0, 0, "z80v1_48k_at_0_as_v3", 0},
                      Case{kModel128K, 1, false, 0x13, 0, "z80v1_128k_as_v3"},
                      Case{kModel16K, 2, false, 0, 0, "z80v2_16k"},
                      Case{kModel128K, 2, false, 0x3C, 0, "z80v2_128k_locked"},
                      Case{kModelPlus2A, 2, false, 0x13, 0x04, "z80v2_plus2a_as_v3"},
                      Case{kModel16K, 3, false, 0, 0, "z80v3_16k"},
                      Case{kModel48K, 3, false, 0, 0, "z80v3_48k"},
                      Case{kModelPlus2, 3, false, 0x0A, 0, "z80v3_plus2"},
                      Case{kModelPlus3, 3, false, 0x0D, 0x01, "z80v3_plus3_1ffd_anyway"},
                      Case{kModelPlus2A, 3, true, 0x13, 0x04, "z80v3_1ffd_plus2a_rom3"},
                      Case{kModelPlus3, 3, true, 0x08, 0x07, "z80v3_1ffd_plus3_all_ram"},
                      Case{kModelPlus3, 3, true, 0x35, 0x05, "z80v3_1ffd_plus3_locked"},
                      Case{kModel48K, 0, false, 0, 0, "sna_48k"},
                      Case{kModel128K, 0, false, 0x1D, 0, "sna_128k_bank5"},
                      Case{kModel128K, 0, false, 0x22, 0, "sna_128k_bank2_locked"}),
    [](const auto& instance) { return std::string(instance.param.name); });

// The 48K SNA carries PC on the stack: writing one must not leave it pushed in RAM. An SNA file
// has no room for port 0x1FFD: saving one from a +2A or +3 says so, and still saves.
TEST(SnaWriter, LeavesTheMachineAsItWasAndSaysThe1FFDPortIsNotKept) {
  ORVO_REQUIRE_ROMS();
  const std::string path = (std::filesystem::path(::testing::TempDir()) / "orvo_1ffd.sna").string();
  for (uint8_t model : {kModel48K, kModel128K, kModelPlus2A, kModelPlus3}) {
    SnapshotMachine t(model);
    FillMachine(t.m, 5);
    const std::vector<uint8_t> ram = t.m.RamBlock;
    ASSERT_EQ(SaveSnapshot(t.emu, path), kSaved);
    EXPECT_EQ(std::filesystem::file_size(path), model == kModel48K ? kSna48Size : kSna128Size);
    EXPECT_EQ(t.m.RamBlock, ram);
    EXPECT_EQ(t.m.cpu.SP, 0x7F00);
    EXPECT_EQ(t.m.cpu.PC, 0x6D9B);
    EXPECT_EQ(t.m.FrameTState, 12350u);
    ASSERT_EQ(t.host.messages.size(), IsPlus2AFamily(model) ? 1u : 0u);
    if (IsPlus2AFamily(model)) {
      EXPECT_EQ(t.host.messages[0].message, kMsgSna1FFDNotKept);
    }
  }
  std::filesystem::remove(path);
}

TEST(Z80Writer, TheCustomModelSavesItsMemoryAsA48K) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine a;
  a.emu.settings.CustomRomPath = (RomDir() / "48k.rom").string();
  a.m.MachineModel = kModelCustom;
  SetUpMachine(a.emu);
  FillMachine(a.m, 3);
  SnapshotMachine b(kModel128K);
  ASSERT_EQ(LoadZ80(b.emu, WriteZ80(CaptureSnapshot(a.m), 3, false)), 0);
  EXPECT_EQ(b.m.MachineModel, kModel48K);
  EXPECT_TRUE(std::equal(a.m.RamBlock.begin() + 0x4000, a.m.RamBlock.begin() + 0x10000,
                         b.m.RamBlock.begin() + 0x4000));
}

// A record says the CPU was halted: applied, it gives a CPU waiting in its HALT. The files have no
// halted flag: a CPU stopped on a HALT is saved pointing at it, so the loaded program halts again
// and waits for its interrupt instead of running on at once.
TEST(SnapshotWriters, AHaltedCpuHaltsAgainAfterLoading) {
  ORVO_REQUIRE_ROMS();
  for (int version : {-1, 0, 1, 2, 3}) {  // -1: the record itself, 0: SNA, else Z80
    for (uint8_t model : {kModel48K, kModel128K}) {
      if (version == 1 && model != kModel48K) continue;
      SCOPED_TRACE(testing::Message() << "version " << version << " model " << int(model));
      SnapshotMachine a(model);
      FillMachine(a.m, 9);
      a.m.cpu.IFF1 = a.m.cpu.IFF2 = 0;
      a.m.PageTable[0x9000 >> 13][0x9000 & 0x1FFF] = 0x76;  // HALT with interrupts off
      a.m.cpu.PC = 0x9000;
      ExecuteZ80(a.m);
      ASSERT_TRUE(a.m.cpu.Halted);
      const SnapshotRecord record = CaptureSnapshot(a.m);
      SnapshotMachine b(model);
      if (version < 0) {
        LoadSnapshotRecord(b.emu, record);
        EXPECT_EQ(b.m.cpu.PC, 0x9001);
        EXPECT_TRUE(b.m.cpu.Halted);
      } else {
        const auto file = version == 0 ? WriteSNA(record) : WriteZ80(record, version, false);
        EXPECT_EQ(a.m.cpu.PC, 0x9001);  // the running machine is left as it was
        ASSERT_EQ(version == 0 ? LoadSNA(b.emu, file) : LoadZ80(b.emu, file), 0);
        EXPECT_EQ(b.m.cpu.PC, 0x9000);
      }
      ExecuteZ80(b.m);
      EXPECT_TRUE(b.m.cpu.Halted);
      EXPECT_EQ(b.m.cpu.PC, 0x9001);
    }
  }
}

}  // namespace
}  // namespace orvo::test
