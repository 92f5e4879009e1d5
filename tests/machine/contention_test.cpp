// Contention tables and the T-states the memory cycles charge.
#include <gtest/gtest.h>

#include "machine/memory.h"
#include "machine_fixture.h"

namespace orvo {
namespace {

using test::TestMachine;

// What the ULA's display fetch does to the CPU, from the delays a real machine shows: 128 delayed
// T-states on each of 192 lines, repeating an 8-T-state pattern (6,5,4,3,2,1,0,0), or on the
// +2A/+3, whose I/O is never contended, 1,0,7,...,2 and one more 1 after the last group.
uint8_t ExpectedDelay(bool gateArray, uint32_t stride, uint32_t first, uint32_t t) {
  static const uint8_t kUla[8] = {6, 5, 4, 3, 2, 1, 0, 0}, kGateArray[8] = {1, 0, 7, 6, 5, 4, 3, 2};
  if (t < first) return 0;
  const uint32_t line = (t - first) / stride, column = (t - first) % stride;
  if (line >= 192 || column >= (gateArray ? 129u : 128u)) return 0;
  return gateArray ? kGateArray[column % 8] : kUla[column % 8];
}

TEST(Contention, TablesAndLineStartsFollowTheModelAcrossSwitches) {
  const struct {
    uint8_t model;
    bool late;
    uint32_t line, first, base;  // T-states per line; first delayed T-state; line 0's start
    bool gateArray;              // the +2A/+3 pattern, and no I/O contention
  } cases[] = {
      {kModel16K, true, 224, 14336, 8945, false},   {kModel48K, false, 224, 14335, 8944, false},
      {kModel48K, true, 224, 14336, 8945, false},   {kModelCustom, true, 224, 14335, 8944, false},
      {kModel128K, false, 228, 14361, 8874, false}, {kModelPlus2, true, 228, 14362, 8875, false},
      {kModelPlus2A, true, 228, 14361, 8877, true}, {kModel128K, false, 228, 14361, 8874, false},
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
    ASSERT_EQ(t.m.MemoryContentionTable.size(), kContentionTableSize);
    int mismatches = 0;
    for (uint32_t ts = 0; ts < kContentionTableSize && mismatches < 5; ++ts) {
      const uint8_t want = ExpectedDelay(c.gateArray, c.line, c.first, ts);
      mismatches += t.m.MemoryContentionTable[ts] != want ||
                    t.m.IoContentionTable[ts] != (c.gateArray ? 0 : want);
      EXPECT_EQ(t.m.MemoryContentionTable[ts], want) << ts;
    }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(MemoryCycles, WaitsOnlyInContendedMemoryAtEachAccessStart) {
  TestMachine t(kModel48K);
  auto cost = [&](uint32_t start, auto access) {
    t.m.FrameTState = start;
    access();
    return t.m.FrameTState - start;
  };
  EXPECT_EQ(cost(14335, [&] { t.m.ReadByte(0x4000); }), 6u + 3);
  EXPECT_EQ(cost(14335, [&] { t.m.ReadByte(0xC000); }), 3u);  // never contended on the 48K
  EXPECT_EQ(cost(14335, [&] { t.m.FetchOpcode(0x7FFF); }), 6u + 4);
  EXPECT_EQ(cost(100, [&] { t.m.ReadByte(0x4000); }), 3u);  // outside the display fetch
  // Each access looks the table up at its own start: 14340 (1), 14344 (5), then 14347 (2).
  EXPECT_EQ(cost(14340,
                 [&] {
                   t.m.ReadByte(0x4000);
                   t.m.ReadByte(0x8000);
                   t.m.ReadByte(0x4000);
                 }),
            1u + 3 + 3 + 2 + 3);
  // Internal cycles wait one T-state at a time: 6 at 14335, then 0 at 14342.
  EXPECT_EQ(cost(14335, [&] { t.m.InternalCycles(0x4000, 2); }), 8u);
  EXPECT_EQ(cost(14335, [&] { t.m.InternalCycles(0x8000, 5); }), 5u);
  // Accesses that begin past the tables (the last instruction of a frame) are never delayed.
  for (uint32_t start : {kContentionTableSize, 200000u})
    EXPECT_EQ(cost(start, [&] { t.m.ReadByte(0x4000); }), 3u);

  t.m.settings.Contention = 0;
  EXPECT_EQ(cost(14335,
                 [&] {
                   t.m.ReadByte(0x4000);
                   t.m.FetchOpcode(0x4000);
                   t.m.InternalCycles(0x4000, 2);
                 }),
            3u + 4 + 2);
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
  // Memory waits; internal cycles never do on the +2A/+3.
  p.m.FrameTState = 14361;
  p.m.InternalCycles(0x4000, 2);
  EXPECT_EQ(p.m.FrameTState, 14363u);
  p.m.FetchOpcode(0x4000);  // 14363: delay 7
  EXPECT_EQ(p.m.FrameTState, 14363u + 7 + 4);
}

TEST(MemoryCycles, ContendedAccessesLatchTheFloatingBusByte) {
  TestMachine t(kModelPlus3);
  ResetMachine(t.emu, true);
  t.m.WriteByte(0x6000, 0x42);
  t.m.FloatingLatch = 0;
  EXPECT_EQ(t.m.ReadByte(0x6000), 0x42);
  EXPECT_EQ(t.m.FloatingLatch, 0x43);
  t.m.WriteByte(0x6000, 0x10);  // a write latches what was there before it
  EXPECT_EQ(t.m.FloatingLatch, 0x43);
  t.m.ReadByte(0x8000);  // uncontended: the latch keeps its value
  EXPECT_EQ(t.m.FloatingLatch, 0x43);
}

}  // namespace
}  // namespace orvo
