// The memory map of each model, the 128K-family paging registers, the contention tables and the
// T-states the memory cycles charge.
#include "machine/memory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "machine_fixture.h"
#include "video/palette.h"
#include "video/ula.h"

namespace orvo {
namespace {

using test::TestMachine;

// A machine after a hard reset, with ROM r reading 0xA0 + r everywhere.
struct Paged : TestMachine {
  explicit Paged(uint8_t model) : TestMachine(model) {
    ResetMachine(emu, true);
    MarkRoms();
  }
  uint8_t Rom() const { return m.Peek(0x0000); }
  // Which RAM bank the 16 KB slot holding `address` shows (-1: none), checking that both of its
  // 8 KB pages read and write the same bank.
  int BankAt(uint16_t address) const {
    const int page = (address >> 14) * 2;
    for (int bank = 0; bank < 8; ++bank) {
      const uint8_t* base = m.RamBlock.data() + bank * 16384;
      if (m.PageTable[page] == base && m.PageTable[page + 1] == base + 0x2000 &&
          m.WritePages[page] == base && m.WritePages[page + 1] == base + 0x2000)
        return bank;
    }
    return -1;
  }
  std::vector<int> Banks() const {
    return {BankAt(0), BankAt(0x4000), BankAt(0x8000), BankAt(0xC000)};
  }
};

TEST(Paging, SmallModelsHaveProtectedRomAndLinearRam) {
  Paged t(kModel48K);
  t.m.WriteByte(0x0000, 0x12);
  t.m.WriteByte(0x3FFF, 0x12);
  EXPECT_EQ(t.m.Peek(0x3FFF), 0xA0);
  for (uint32_t a = 0x4000; a < 0x10000; a += 0x1000) {
    t.m.WriteByte(static_cast<uint16_t>(a), static_cast<uint8_t>(a >> 12));
    EXPECT_EQ(t.m.RamBlock[a], a >> 12) << std::hex << a;
  }

  // The 16K: all four upper pages share one page of 0xFF that writes do not reach.
  Paged s(kModel16K);
  for (uint16_t a : {0x8000, 0xA123, 0xFFFF}) {
    s.m.WriteByte(a, 0x00);
    EXPECT_EQ(s.m.ReadByte(a), 0xFF) << a;
  }
  s.m.WriteByte(0x7FFF, 0x34);
  EXPECT_EQ(s.m.ReadByte(0x7FFF), 0x34);
  EXPECT_EQ(s.m.RamBlock[0x8000], 0);
}

TEST(Paging, Model128KSequenceAndLock) {
  Paged t(kModel128K);
  EXPECT_EQ(t.Banks(), (std::vector<int>{-1, 5, 2, 0}));
  Write7FFD128(t.m, 0x17);
  EXPECT_EQ(t.BankAt(0xC000), 7);
  EXPECT_EQ(t.Rom(), 0xA1);
  EXPECT_EQ(t.m.ScreenBank, 5);

  // The lock bit's own write takes effect before it locks.
  Write7FFD128(t.m, 0x28);
  EXPECT_TRUE(t.m.PagingLock);
  EXPECT_EQ(t.m.ScreenPointer, t.Bank(7));
  EXPECT_EQ(t.BankAt(0xC000), 0);
  EXPECT_EQ(t.Rom(), 0xA0);
  Write7FFD128(t.m, 0x13);
  EXPECT_EQ(t.BankAt(0xC000), 0);

  // Only a reset unlocks; a soft one keeps the banks' contents.
  t.Bank(3)[100] = 0x33;
  ResetMachine(t.emu, false);
  EXPECT_EQ(t.Banks(), (std::vector<int>{-1, 5, 2, 0}));
  Write7FFD128(t.m, 0x13);
  EXPECT_EQ(t.BankAt(0xC000), 3);
  EXPECT_EQ(t.Bank(3)[100], 0x33);
  EXPECT_EQ(t.Rom(), 0xA1);

  // Rebuilding the map from a loaded value applies its lock too, after the value's own paging.
  t.m.Last7FFD = 0x2F;
  ResetMemoryMap(t.m);
  EXPECT_TRUE(t.m.PagingLock);
  EXPECT_EQ(t.BankAt(0xC000), 7);
  EXPECT_EQ(t.m.ScreenBank, 5);  // the locked write did not reach the screen bit
  EXPECT_EQ(t.Rom(), 0xA0);
}

TEST(Paging, ScreenBankSwitchMidFrameKeepsWhatWasDrawn) {
  Paged t(kModel128K);
  ApplyPalette(t.m);
  // Bank 5 all ink, bank 7 all paper, black ink on white paper in both.
  std::fill(t.Bank(5), t.Bank(5) + 6144, 0xFF);
  std::fill(t.Bank(7), t.Bank(7) + 6144, 0x00);
  std::fill(t.Bank(5) + 6144, t.Bank(5) + 6912, 0x38);
  std::fill(t.Bank(7) + 6144, t.Bank(7) + 6912, 0x38);
  t.m.FrameTState = 14361 + 96 * 228;  // halfway down the display
  Write7FFD128(t.m, 0x08);
  t.m.FrameTState = t.m.FrameLength;
  RenderDisplayUpTo(t.m, t.m.FrameTState);
  const uint32_t* pixels = ScreenPixels(t.m);
  EXPECT_EQ(pixels[48 * 352 + 48], t.m.video.ColourTable[0]);          // display row 0
  EXPECT_EQ(pixels[(48 + 191) * 352 + 48], t.m.video.ColourTable[7]);  // display row 191
}

TEST(Paging, Plus2ASpecialModes) {
  const struct {
    uint8_t value;
    std::vector<int> banks;
    bool topContended;
  } modes[] = {{0x01, {0, 1, 2, 3}, false},
               {0x03, {4, 5, 6, 7}, true},
               {0x05, {4, 5, 6, 3}, false},
               {0x07, {4, 7, 6, 3}, false}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(int(mode.value));
    Paged t(kModelPlus2A);
    Write1FFD(t.m, mode.value);
    EXPECT_TRUE(t.m.SpecialMode);
    EXPECT_EQ(t.Banks(), mode.banks);
    EXPECT_EQ(t.m.topSlotContended, mode.topContended);
    t.m.WriteByte(0x0000, 0x99);  // RAM at 0x0000 is writable
    EXPECT_EQ(t.Bank(mode.banks[0])[0], 0x99);
  }
}

TEST(Paging, Plus2ARomSelectionAndLeavingSpecialMode) {
  Paged t(kModelPlus2A);
  for (const auto& [p1ffd, p7ffd, rom] : {std::tuple<uint8_t, uint8_t, int>{0x04, 0x10, 0xA3},
                                          {0x04, 0x00, 0xA2},
                                          {0x00, 0x10, 0xA1},
                                          {0x00, 0x00, 0xA0}}) {
    Write1FFD(t.m, p1ffd);
    Write7FFDPlus3(t.m, p7ffd);
    EXPECT_EQ(t.Rom(), rom);
  }

  // In a special mode 0x7FFD moves only the screen; on leaving, the bank and ROM come from the
  // value written meanwhile.
  Write1FFD(t.m, 0x03);
  Write7FFDPlus3(t.m, 0x1E);  // bank 6, screen 7, ROM low bit 1
  EXPECT_EQ(t.BankAt(0xC000), 7);
  EXPECT_EQ(t.m.ScreenBank, 7);
  Write1FFD(t.m, 0x00);
  EXPECT_EQ(t.Banks(), (std::vector<int>{-1, 5, 2, 6}));
  EXPECT_TRUE(t.m.topSlotContended);
  EXPECT_EQ(t.Rom(), 0xA1);
  t.m.WriteByte(0x0000, 0x55);
  EXPECT_EQ(t.Rom(), 0xA1);
}

TEST(Paging, Plus3LockCoversBothPortsAndResetRestartsInRom0) {
  Paged t(kModelPlus3);
  Write7FFDPlus3(t.m, 0x23);
  EXPECT_TRUE(t.m.PagingLock);
  Write1FFD(t.m, 0x01);
  EXPECT_FALSE(t.m.SpecialMode);
  Write7FFDPlus3(t.m, 0x04);
  EXPECT_EQ(t.BankAt(0xC000), 3);
  // Bit 5 of 0x1FFD locks nothing.
  ResetMachine(t.emu, false);
  Write1FFD(t.m, 0x20);
  EXPECT_FALSE(t.m.PagingLock);

  // The +3's 48 BASIC runs in ROM 3; a reset must come back to the menu ROM.
  Write1FFD(t.m, 0x04);
  Write7FFDPlus3(t.m, 0x10);
  ASSERT_EQ(t.Rom(), 0xA3);
  ResetMachine(t.emu, false);
  EXPECT_EQ(t.Rom(), 0xA0);
  Write7FFDPlus3(t.m, 0x00);  // what the ROM does next must not bring ROM 2 in
  EXPECT_EQ(t.Rom(), 0xA0);
  // And from an all-RAM mode.
  Write1FFD(t.m, 0x07);
  ResetMachine(t.emu, false);
  EXPECT_TRUE(t.m.romWriteProtect);
  EXPECT_EQ(t.Rom(), 0xA0);
  EXPECT_EQ(t.Banks(), (std::vector<int>{-1, 5, 2, 0}));
}

TEST(Paging, CustomRomIsWritableUntilReset) {
  TestMachine t(kModelCustom);
  t.MarkRoms();
  t.m.WriteByte(0x0100, 0x3C);
  EXPECT_EQ(t.m.Peek(0x0100), 0x3C);
  ResetMachine(t.emu, false);
  t.m.WriteByte(0x0100, 0x00);
  EXPECT_EQ(t.m.Peek(0x0100), 0x3C);
  t.m.WriteByte(0xC000, 0x21);  // still the 48K layout
  EXPECT_EQ(t.m.RamBlock[0xC000], 0x21);
}

// The delays themselves are measured whole by the timing programs on tape (slow); here, where
// each model's table and line starts begin, and that a model switch rebuilds them: the first
// delayed T-state, the ends of the first and last lines' 128 (+2A/+3: 129), and no I/O contention
// on the +2A/+3.
TEST(Contention, TablesAndLineStartsFollowTheModelAcrossSwitches) {
  const struct {
    uint8_t model;
    bool late;
    uint32_t line, first, base;  // T-states per line; first delayed T-state; line 0's start
    uint8_t delay;               // at the first delayed T-state
    uint32_t width;              // delayed T-states per line
  } cases[] = {
      {kModel16K, true, 224, 14336, 8945, 6, 128},
      {kModel48K, false, 224, 14335, 8944, 6, 128},
      {kModel48K, true, 224, 14336, 8945, 6, 128},
      {kModelCustom, true, 224, 14335, 8944, 6, 128},
      {kModel128K, false, 228, 14361, 8874, 6, 128},
      {kModelPlus2, true, 228, 14362, 8875, 6, 128},
      {kModelPlus2A, true, 228, 14361, 8877, 1, 129},
      {kModel128K, false, 228, 14361, 8874, 6, 128},
  };  // the Custom model and the +2A ignore Late Timing
  TestMachine t(kModel48K);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "model " << int(c.model) << " late " << c.late);
    t.m.MachineModel = c.model;
    t.m.settings.LateTiming = c.late;
    SetUpMachine(t.emu);
    EXPECT_EQ(t.m.FrameLength, c.line == 224 ? 69888u : 70908u);
    EXPECT_EQ(t.m.ContentionBase, c.base);
    EXPECT_EQ(t.m.LineStartTable[0], c.base + c.line);
    EXPECT_EQ(t.m.LineStartTable[311] - t.m.LineStartTable[310], c.line);
    const auto& mem = t.m.MemoryContentionTable;
    const uint32_t last = c.first + 191 * c.line;
    EXPECT_EQ(mem[c.first - 1], 0);
    EXPECT_EQ(mem[c.first], c.delay);
    EXPECT_EQ(t.m.IoContentionTable[c.first], c.width == 129 ? 0 : c.delay);
    EXPECT_NE(mem[c.first + c.width - 3] * mem[last + c.width - 3], 0) << "near each line's end";
    EXPECT_EQ(mem[c.first + c.width] | mem[last + c.width] | mem[last + c.line], 0);
  }
}

TEST(MemoryCycles, WaitsOnlyInContendedMemoryAtEachAccessStart) {
  TestMachine t(kModel48K);
  auto cost = [&](uint32_t start, auto access) {
    t.m.FrameTState = start;
    access();
    return t.m.FrameTState - start;
  };
  // Each access looks the table up at its own start: 14340 (1), 14344 (5), then 14347 (2). The
  // instruction timings themselves are measured whole by the timing programs on tape (slow).
  const auto reads = [&] {
    for (uint16_t a : {0x4000, 0x8000, 0x4000}) t.m.ReadByte(a);
  };
  EXPECT_EQ(cost(14340, reads), 1u + 3 + 3 + 2 + 3);
  // Internal cycles wait one T-state at a time: 6 at 14335, then 0 at 14342.
  EXPECT_EQ(cost(14335, [&] { t.m.InternalCycles(0x4000, 2); }), 8u);
  EXPECT_EQ(cost(14335, [&] { t.m.InternalCycles(0x8000, 5); }), 5u);
  // Accesses that begin past the tables (the last instruction of a frame) are never delayed.
  for (uint32_t start : {kContentionTableSize, 200000u})
    EXPECT_EQ(cost(start, [&] { t.m.ReadByte(0x4000); }), 3u);

  t.m.settings.Contention = 0;
  EXPECT_EQ(cost(14340, reads), 9u);
  EXPECT_EQ(cost(14335, [&] { t.m.InternalCycles(0x4000, 2); }), 2u);
}

TEST(MemoryCycles, TopSlotContendedWithOddBanksOn128KAndBanks4To7OnPlus3) {
  TestMachine t(kModel128K);
  ResetMachine(t.emu, true);
  for (const auto& [value, wait] : {std::pair<uint8_t, uint32_t>{0x01, 6}, {0x02, 0}}) {
    Write7FFD128(t.m, value);
    t.m.FrameTState = 14361;
    t.m.ReadByte(0xC000);
    EXPECT_EQ(t.m.FrameTState, 14361u + wait + 3) << int(value);
  }

  TestMachine p(kModelPlus3);
  ResetMachine(p.emu, true);
  Write7FFDPlus3(p.m, 0x04);
  EXPECT_TRUE(p.m.topSlotContended);
  // Internal cycles never wait on the +2A/+3 (its memory waits are measured whole on tape).
  p.m.FrameTState = 14361;
  p.m.InternalCycles(0x4000, 2);
  EXPECT_EQ(p.m.FrameTState, 14363u);
}

}  // namespace
}  // namespace orvo
