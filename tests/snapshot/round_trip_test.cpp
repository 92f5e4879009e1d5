// Saving a machine and loading the file gives the same machine, for every model each format can
// hold; and the writers and loaders agree with the formats' fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "machine/memory.h"
#include "snapshot/sna_format.h"
#include "snapshot/z80_format.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

// Where a page-table entry points: RAM offset, or a ROM buffer offset tagged above it.
int64_t PageWhere(const MachineState& m, int page) {
  const uint8_t* p = m.PageTable[page];
  auto inside = [p](const std::vector<uint8_t>& v) {
    return p >= v.data() && p < v.data() + v.size();
  };
  if (inside(m.RamBlock)) return p - m.RamBlock.data();
  if (inside(m.RomBuffer128)) return 0x100000 + (p - m.RomBuffer128.data());
  if (inside(m.RomBuffer48)) return 0x200000 + (p - m.RomBuffer48.data());
  return -1;
}

void ExpectSamePaging(const MachineState& a, const MachineState& b) {
  for (int page = 0; page < 8; ++page) EXPECT_EQ(PageWhere(a, page), PageWhere(b, page)) << page;
  EXPECT_EQ(a.ScreenPointer, a.RamBlock.data() + (b.ScreenPointer - b.RamBlock.data()));
  EXPECT_EQ(a.topSlotContended, b.topSlotContended);
  EXPECT_EQ(a.romWriteProtect, b.romWriteProtect);
}

void ExpectSameAy(const MachineState& a, const MachineState& b) {
  EXPECT_TRUE(std::equal(a.sound.ay.regs, a.sound.ay.regs + 16, b.sound.ay.regs));
  EXPECT_EQ(a.sound.ay.AySelectedRegister, b.sound.ay.AySelectedRegister);
}

// Fills a machine with state worth keeping: RAM with runs, 0xED bytes and noise; every register;
// border; AY; and a paging state chosen by the test.
void FillMachine(MachineState& m, uint32_t seed) {
  std::mt19937 rng(seed);
  const size_t from = Is128KFamily(m.MachineModel) ? 0 : 0x4000;
  const size_t to = m.MachineModel == kModel16K ? 0x8000 : (from == 0 ? kRamBlockSize : 0x10000);
  for (size_t a = from; a < to;) {
    const uint32_t pick = rng() % 6;
    const size_t len = std::min<size_t>(to - a, 1 + rng() % (pick == 0 ? 400 : 8));
    const uint8_t v = pick < 2 ? 0xED : (pick == 2 ? 0 : static_cast<uint8_t>(rng()));
    std::fill_n(m.RamBlock.begin() + a, len, v);
    a += len;
  }
  CpuState& c = m.cpu;
  c.AF.w = 0x12D5;
  c.BC.w = 0x2345;
  c.DE.w = 0x3456;
  c.HL.w = 0x4567;
  c.AF_.w = 0x5678;
  c.BC_.w = 0x6789;
  c.DE_.w = 0x789A;
  c.HL_.w = 0x89AB;
  c.IX.w = 0x9ABC;
  c.IY.w = 0xABCD;
  c.SP = 0x7F00;
  c.PC = 0x6D9B;
  c.IR.b.h = 0x3F;
  c.IR.b.l = 0x85;  // bit 7 counted into the byte; the program sees R7's
  c.R7 = 0x00;
  c.IFF1 = c.IFF2 = 1;
  c.IM = 2;
  m.ports.BorderColour = 3;
  for (int r = 0; r < 16; ++r) m.sound.ay.regs[r] = static_cast<uint8_t>(rng());
  m.sound.ay.AySelectedRegister = 11;
}

struct Case {
  uint8_t model;
  int version;  // 1-3: Z80 version; 0: SNA
  bool with1FFD;
  uint8_t p7FFD;  // written to 0x7FFD on the 128K family
  uint8_t p1FFD;  // written to 0x1FFD first on the +2A and +3
  const char* name;
};

void SetPaging(MachineState& m, const Case& c) {
  if (IsPlus2AFamily(c.model)) {
    Write1FFD(m, c.p1FFD);
    Write7FFDPlus3(m, c.p7FFD);
  } else if (Is128KFamily(c.model)) {
    Write7FFD128(m, c.p7FFD);
  }
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, SavedAndLoadedMachinesMatch) {
  const Case& c = GetParam();
  ORVO_REQUIRE_ROMS();
  SnapshotMachine a(c.model);
  FillMachine(a.m, 77 + c.model * 4 + c.version);
  SetPaging(a.m, c);
  const std::vector<uint8_t> file =
      c.version == 0 ? BuildSNA(a.m) : BuildZ80(a.m, c.version, c.with1FFD);

  // Load into a machine of another model with other registers.
  SnapshotMachine b(c.model == kModel48K ? kModelPlus3 : kModel48K);
  b.m.cpu.PC = 0x1111;
  const int rc = c.version == 0 ? LoadSNA(b.emu, file) : LoadZ80(b.emu, file);
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(b.host.messages.empty());

  if (c.version == 0) {
    // PC travels on the 48K stack: the two bytes under SP hold it in the loaded machine.
    if (!Is128KFamily(c.model)) {
      EXPECT_EQ(b.m.Peek(0x7EFE), 0x9B);
      EXPECT_EQ(b.m.Peek(0x7EFF), 0x6D);
      a.m.RamBlock[0x7EFE] = 0x9B;
      a.m.RamBlock[0x7EFF] = 0x6D;
    }
  } else if (c.version >= 2) {
    ExpectSameAy(a.m, b.m);
    EXPECT_EQ(b.m.cpu.IFF2, a.m.cpu.IFF2);
  }
  ExpectSameMachine(a.m, b.m);
  ExpectSamePaging(a.m, b.m);
  if (IsPlus2AFamily(c.model) && c.with1FFD) {
    EXPECT_EQ(b.m.Last1FFD, a.m.Last1FFD);
    EXPECT_EQ(b.m.SpecialMode, a.m.SpecialMode);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RoundTrip,
    ::testing::Values(
        Case{kModel48K, 1, false, 0, 0, "z80v1_48k"}, Case{kModel16K, 2, false, 0, 0, "z80v2_16k"},
        Case{kModel48K, 2, false, 0, 0, "z80v2_48k"},
        Case{kModel128K, 2, false, 0x1B, 0, "z80v2_128k"},
        Case{kModel128K, 2, false, 0x3C, 0, "z80v2_128k_locked"},
        Case{kModelPlus2, 2, false, 0x16, 0, "z80v2_plus2"},
        Case{kModel16K, 3, false, 0, 0, "z80v3_16k"}, Case{kModel48K, 3, false, 0, 0, "z80v3_48k"},
        Case{kModel128K, 3, false, 0x1F, 0, "z80v3_128k"},
        Case{kModelPlus2, 3, false, 0x0A, 0, "z80v3_plus2"},
        Case{kModelPlus2A, 3, false, 0x13, 0x00, "z80v3_plus2a"},
        Case{kModelPlus3, 3, false, 0x0D, 0x00, "z80v3_plus3"},
        Case{kModelPlus2A, 3, true, 0x13, 0x04, "z80v3_1ffd_plus2a_rom3"},
        Case{kModelPlus3, 3, true, 0x08, 0x07, "z80v3_1ffd_plus3_all_ram"},
        Case{kModelPlus3, 3, true, 0x35, 0x05, "z80v3_1ffd_plus3_locked"},
        Case{kModel48K, 0, false, 0, 0, "sna_48k"}, Case{kModel128K, 0, false, 0x10, 0, "sna_128k"},
        Case{kModel128K, 0, false, 0x1D, 0, "sna_128k_bank5"},
        Case{kModel128K, 0, false, 0x02, 0, "sna_128k_bank2"},
        Case{kModel128K, 0, false, 0x27, 0, "sna_128k_locked"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SnaWriter, The48KFileLeavesTheMachineAsItWas) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine t(kModel48K);
  FillMachine(t.m, 5);
  t.m.RamBlock[0x7EFE] = 0x11;
  t.m.RamBlock[0x7EFF] = 0x22;
  t.m.FrameTState = 1234;
  const std::vector<uint8_t> ram = t.m.RamBlock;
  const std::vector<uint8_t> file = BuildSNA(t.m);
  EXPECT_EQ(file.size(), kSna48Size);
  EXPECT_EQ(t.m.RamBlock, ram);
  EXPECT_EQ(t.m.cpu.SP, 0x7F00);
  EXPECT_EQ(t.m.cpu.PC, 0x6D9B);
  EXPECT_EQ(t.m.FrameTState, 1234u);
  // The file: SP lowered by two over the pushed PC; IFF in bit 2; R with its visible bit 7.
  EXPECT_EQ(file[23] | file[24] << 8, 0x7EFE);
  EXPECT_EQ(file[27 + 0x3EFE], 0x9B);
  EXPECT_EQ(file[27 + 0x3EFF], 0x6D);
  EXPECT_EQ(file[19], 0x04);
  EXPECT_EQ(file[20], 0x05);
  EXPECT_EQ(file[25], 2);
  EXPECT_EQ(file[26], 3);
}

TEST(SnaWriter, The128KFamilyWritesThe128KFormWithoutChangingTheMachine) {
  ORVO_REQUIRE_ROMS();
  for (uint8_t model : {kModel128K, kModelPlus2, kModelPlus2A, kModelPlus3}) {
    SnapshotMachine t(model);
    FillMachine(t.m, 6);
    if (IsPlus2AFamily(model))
      Write7FFDPlus3(t.m, 0x14);
    else
      Write7FFD128(t.m, 0x14);
    const std::vector<uint8_t> ram = t.m.RamBlock;
    const std::vector<uint8_t> file = BuildSNA(t.m);
    ASSERT_EQ(file.size(), kSna128Size) << int(model);
    EXPECT_EQ(t.m.RamBlock, ram);
    EXPECT_EQ(t.m.cpu.SP, 0x7F00);
    EXPECT_EQ(file[49179] | file[49180] << 8, 0x6D9B);
    EXPECT_EQ(file[49181], 0x14);
    EXPECT_EQ(file[49182], 0);
    // Bank 5, bank 2, the paged bank 4, then 0, 1, 3, 6, 7.
    EXPECT_TRUE(std::equal(ram.begin() + 4 * 16384, ram.begin() + 5 * 16384, file.begin() + 32795));
    EXPECT_TRUE(std::equal(ram.begin() + 3 * 16384, ram.begin() + 4 * 16384,
                           file.begin() + 49183 + 2 * 16384));
  }
}

TEST(Z80Writer, HeaderFieldsByVersionAndModel) {
  ORVO_REQUIRE_ROMS();
  struct Row {
    uint8_t model;
    int version;
    uint8_t hardware;
    uint8_t flags;
  };
  const Row rows[] = {
      {kModel48K, 2, 0, 3},      {kModel16K, 2, 0, 0x83},  {kModel128K, 2, 3, 3},
      {kModelPlus2, 2, 3, 0x83}, {kModelPlus2A, 2, 13, 3}, {kModelPlus3, 2, 7, 3},
      {kModel48K, 3, 0, 3},      {kModel16K, 3, 0, 0x83},  {kModel128K, 3, 4, 3},
      {kModelPlus2, 3, 12, 3},   {kModelPlus2A, 3, 13, 3}, {kModelPlus3, 3, 7, 3},
  };
  for (const Row& r : rows) {
    SnapshotMachine t(r.model);
    FillMachine(t.m, 1);
    t.m.FrameTState = 0x012345;
    const std::vector<uint8_t> f = BuildZ80(t.m, r.version, false);
    SCOPED_TRACE(testing::Message() << "model " << int(r.model) << " v" << r.version);
    EXPECT_EQ(f[6] | f[7] << 8, 0);
    EXPECT_EQ(f[30] | f[31] << 8, r.version == 2 ? 23 : 54);
    EXPECT_EQ(f[32] | f[33] << 8, 0x6D9B);
    EXPECT_EQ(f[34], r.hardware);
    EXPECT_EQ(f[37], r.flags);
    EXPECT_EQ(f[38], 11);
    EXPECT_EQ(f[11], 0x85);
    EXPECT_EQ(f[12], 3 * 2 + 32);  // border 3, compressed, R7 clear
    EXPECT_EQ(f[27], 0xFF);
    EXPECT_EQ(f[29], 2);
    if (r.version == 3) {
      EXPECT_EQ(f[55], 0x45);
      EXPECT_EQ(f[56], 0x23);
      EXPECT_EQ(f[57], 0x01);
    }
    // Blocks: a 16K holds one (page 8), the 48K three (4, 5, 8), the 128K family eight (3-10).
    std::vector<int> pages;
    for (size_t pos = r.version == 2 ? 55 : 86; pos + 3 <= f.size();) {
      pages.push_back(f[pos + 2]);
      pos += 3 + (f[pos] | f[pos + 1] << 8);
    }
    std::vector<int> expected{3, 4, 5, 6, 7, 8, 9, 10};
    if (r.model == kModel16K) expected = {8};
    if (r.model == kModel48K) expected = {4, 5, 8};
    EXPECT_EQ(pages, expected);
  }
}

TEST(Z80Writer, Version1IsOneCompressedImageWithItsEndMarker) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine t(kModel48K);
  FillMachine(t.m, 2);
  t.m.cpu.R7 = 0x80;
  const std::vector<uint8_t> f = BuildZ80(t.m, 1, false);
  EXPECT_EQ(f[6] | f[7] << 8, 0x6D9B);
  EXPECT_EQ(f[12], 3 * 2 + 32 + 1);
  EXPECT_TRUE(std::equal(f.end() - 4, f.end(), std::vector<uint8_t>{0, 0xED, 0xED, 0}.begin()));
  std::vector<uint8_t> ram(49152);
  const Z80DecodeResult r =
      DecompressZ80Block(std::span<const uint8_t>(f).subspan(30), std::span<uint8_t>(ram));
  EXPECT_EQ(r.produced, 49152u);
  EXPECT_EQ(r.consumed, f.size() - 34);
  EXPECT_TRUE(std::equal(ram.begin(), ram.end(), t.m.RamBlock.begin() + 0x4000));
}

TEST(Z80Writer, CustomModelSavesItsMemoryAsA48K) {
  ORVO_REQUIRE_ROMS();
  RecordingHost host;
  Emulator emu(host);
  emu.folders.CurrentRomDir = RomDir().string();
  emu.m.settings.CustomRomPath = (RomDir() / "48k.rom").string();
  emu.m.MachineModel = kModelCustom;
  SetUpMachine(emu);
  FillMachine(emu.m, 3);
  SnapshotMachine b(kModel128K);
  ASSERT_EQ(LoadZ80(b.emu, BuildZ80(emu.m, 3, false)), 0);
  EXPECT_EQ(b.m.MachineModel, kModel48K);
  EXPECT_TRUE(std::equal(emu.m.RamBlock.begin() + 0x4000, emu.m.RamBlock.end(),
                         b.m.RamBlock.begin() + 0x4000));
}

}  // namespace
}  // namespace orvo::test
