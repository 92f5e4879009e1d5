// Contention tables and the T-states the memory cycles charge.
#include <gtest/gtest.h>

#include "machine/memory.h"
#include "machine_fixture.h"

namespace orvo {
namespace {

using test::TestMachine;

struct Timing {
  uint8_t model;
  bool late;
  uint32_t first;   // first delayed T-state
  uint32_t stride;  // T-states from one display line to the next
  uint8_t pattern[8];
  bool ioContended;
};

// What the ULA's display fetch does to the CPU, written out per model from the delays a real
// machine shows: 128 delayed T-states on each of 192 lines, repeating an 8-T-state pattern.
const Timing kTimings[] = {
    {kModel16K, false, 14335, 224, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModel48K, false, 14335, 224, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModel48K, true, 14336, 224, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModel16K, true, 14336, 224, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModelCustom, false, 14335, 224, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModelCustom, true, 14335, 224, {6, 5, 4, 3, 2, 1, 0, 0}, true},  // ignores Late Timing
    {kModel128K, false, 14361, 228, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModel128K, true, 14362, 228, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModelPlus2, false, 14361, 228, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModelPlus2, true, 14362, 228, {6, 5, 4, 3, 2, 1, 0, 0}, true},
    {kModelPlus2A, false, 14361, 228, {1, 0, 7, 6, 5, 4, 3, 2}, false},
    {kModelPlus2A, true, 14361, 228, {1, 0, 7, 6, 5, 4, 3, 2}, false},  // ignores Late Timing
    {kModelPlus3, false, 14361, 228, {1, 0, 7, 6, 5, 4, 3, 2}, false},
    {kModelPlus3, true, 14361, 228, {1, 0, 7, 6, 5, 4, 3, 2}, false},
};

uint8_t ExpectedDelay(const Timing& timing, uint32_t t) {
  if (t < timing.first) return 0;
  const uint32_t d = t - timing.first;
  const uint32_t line = d / timing.stride, column = d % timing.stride;
  return line < 192 && column < 128 ? timing.pattern[column % 8] : 0;
}

TEST(Contention, TablesForEveryModelWithAndWithoutLateTiming) {
  for (const Timing& timing : kTimings) {
    TestMachine t(timing.model, timing.late);
    SCOPED_TRACE(testing::Message() << "model " << int(timing.model) << " late " << timing.late);
    ASSERT_EQ(t.m.MemoryContentionTable.size(), kContentionTableSize);
    int mismatches = 0;
    for (uint32_t ts = 0; ts < kContentionTableSize && mismatches < 5; ++ts) {
      const uint8_t want = ExpectedDelay(timing, ts);
      if (t.m.MemoryContentionTable[ts] != want) {
        ADD_FAILURE() << "memory table at " << ts << ": " << int(t.m.MemoryContentionTable[ts])
                      << " want " << int(want);
        ++mismatches;
      }
      const uint8_t wantIo = timing.ioContended ? want : 0;
      if (t.m.IoContentionTable[ts] != wantIo) {
        ADD_FAILURE() << "I/O table at " << ts << ": " << int(t.m.IoContentionTable[ts]) << " want "
                      << int(wantIo);
        ++mismatches;
      }
    }
  }
}

TEST(Contention, BaseAndLineStartsFollowTheModelAcrossSwitches) {
  struct Case {
    uint8_t model;
    bool late;
    uint32_t base;
  };
  TestMachine t(kModel128K);
  for (const Case& c : {Case{kModel128K, false, 8874}, Case{kModelCustom, true, 8944},
                        Case{kModel48K, true, 8945}, Case{kModelPlus3, true, 8877},
                        Case{kModelPlus2, true, 8875}, Case{kModel128K, false, 8874}}) {
    t.m.MachineModel = c.model;
    t.m.settings.LateTiming = c.late;
    SetUpMachine(t.emu);
    const uint32_t line = t.m.spec.tstatesPerLine;
    EXPECT_EQ(t.m.ContentionBase, c.base) << int(c.model);
    EXPECT_EQ(t.m.LineStartTable[0], c.base + line) << int(c.model);
    EXPECT_EQ(t.m.LineStartTable[311] - t.m.LineStartTable[310], line) << int(c.model);
    EXPECT_EQ(t.m.FrameLength, line == 224 ? 69888u : 70908u);
  }
  // Display row 0's left border begins 16 T-states before the first display fetch.
  t.m.MachineModel = kModel48K;
  t.m.settings.LateTiming = 0;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.LineStartTable[23], 14336u - 16);
}

TEST(MemoryCycles, WaitsOnlyInContendedMemoryAtEachAccessStart) {
  TestMachine t(kModel48K);
  auto cost = [&](uint32_t start, auto access) {
    t.m.FrameTState = start;
    access();
    return t.m.FrameTState - start;
  };
  EXPECT_EQ(cost(14335, [&] { t.m.ReadByte(0x4000); }), 6u + 3);
  EXPECT_EQ(cost(14335, [&] { t.m.ReadByte(0x8000); }), 3u);
  EXPECT_EQ(cost(14335, [&] { t.m.ReadByte(0xC000); }), 3u);  // never contended on the 48K
  EXPECT_EQ(cost(14335, [&] { t.m.FetchOpcode(0x7FFF); }), 6u + 4);
  EXPECT_EQ(cost(14335, [&] { t.m.WriteByte(0x5000, 1); }), 6u + 3);
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
  for (uint32_t start : {70908u, kContentionTableSize, 200000u})
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
  Write7FFD128(t.m, 0x01);
  t.m.FrameTState = 14361;
  t.m.ReadByte(0xC000);
  EXPECT_EQ(t.m.FrameTState, 14361u + 6 + 3);
  Write7FFD128(t.m, 0x02);
  t.m.FrameTState = 14361;
  t.m.ReadByte(0xC000);
  EXPECT_EQ(t.m.FrameTState, 14361u + 3);

  TestMachine p(kModelPlus3);
  ResetMachine(p.emu, true);
  Write7FFDPlus3(p.m, 0x04);
  EXPECT_TRUE(p.m.topSlotContended);
  Write7FFDPlus3(p.m, 0x03);
  EXPECT_FALSE(p.m.topSlotContended);
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
  t.m.FloatingLatch = 0;
  t.m.ReadByte(0x8000);  // uncontended: the latch keeps its value
  EXPECT_EQ(t.m.FloatingLatch, 0);
}

}  // namespace
}  // namespace orvo
