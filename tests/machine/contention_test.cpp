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

TEST(Contention, ContentionBaseAndLineStarts) {
  struct Case {
    uint8_t model;
    bool late;
    uint32_t base;
  };
  for (const Case& c :
       {Case{kModel48K, false, 8944}, Case{kModel48K, true, 8945}, Case{kModel128K, false, 8874},
        Case{kModelPlus2, true, 8875}, Case{kModelPlus3, false, 8877},
        Case{kModelPlus2A, true, 8877}, Case{kModelCustom, true, 8944}}) {
    TestMachine t(c.model, c.late);
    EXPECT_EQ(t.m.ContentionBase, c.base) << int(c.model);
    const uint32_t line = t.m.spec.tstatesPerLine;
    EXPECT_EQ(t.m.LineStartTable[0], c.base + line);
    EXPECT_EQ(t.m.LineStartTable[311], c.base + 312 * line);
  }
  // Display row 0's left border on the 48K begins 16 T-states before the first display fetch.
  TestMachine t48(kModel48K);
  EXPECT_EQ(t48.m.LineStartTable[23], 14336u - 16);
}

TEST(Contention, LineStartsFollowTheModelAcrossSwitches) {
  TestMachine t(kModel128K);
  EXPECT_EQ(t.m.LineStartTable[1] - t.m.LineStartTable[0], 228u);
  t.m.MachineModel = kModelCustom;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.LineStartTable[1] - t.m.LineStartTable[0], 224u);
  EXPECT_EQ(t.m.LineStartTable[0], 8944u + 224);
  EXPECT_EQ(t.m.FrameLength, 69888u);
  t.m.MachineModel = kModel128K;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.LineStartTable[1] - t.m.LineStartTable[0], 228u);
  EXPECT_EQ(t.m.LineStartTable[0], 8874u + 228);
  EXPECT_EQ(t.m.FrameLength, 70908u);
  EXPECT_EQ(t.m.MemoryContentionTable[14361], 6);
  EXPECT_EQ(t.m.MemoryContentionTable[14335], 0);
}

TEST(MemoryCycles, ContendedReadsWaitOnlyInContendedMemory) {
  TestMachine t(kModel48K);
  t.m.FrameTState = 14335;
  t.m.ReadByte(0x4000);
  EXPECT_EQ(t.m.FrameTState, 14335u + 6 + 3);
  t.m.FrameTState = 14335;
  t.m.ReadByte(0x8000);
  EXPECT_EQ(t.m.FrameTState, 14335u + 3);
  t.m.FrameTState = 14335;
  t.m.ReadByte(0xC000);  // 0xC000 is never contended on the 48K
  EXPECT_EQ(t.m.FrameTState, 14335u + 3);
  t.m.FrameTState = 14335;
  t.m.FetchOpcode(0x7FFF);
  EXPECT_EQ(t.m.FrameTState, 14335u + 6 + 4);
  t.m.FrameTState = 14335;
  t.m.WriteByte(0x5000, 1);
  EXPECT_EQ(t.m.FrameTState, 14335u + 6 + 3);
  // Outside the display fetch a contended address costs nothing extra.
  t.m.FrameTState = 100;
  t.m.ReadByte(0x4000);
  EXPECT_EQ(t.m.FrameTState, 103u);
}

TEST(MemoryCycles, EachAccessSeesTheTableAtItsOwnStart) {
  TestMachine t(kModel48K);
  t.m.FrameTState = 14336;  // delay 5
  t.m.ReadByte(0x4000);     // ends at 14344, where the delay is 5 again
  t.m.ReadByte(0x4001);
  EXPECT_EQ(t.m.FrameTState, 14336u + 5 + 3 + 5 + 3);
  t.m.FrameTState = 14340;  // delay 1
  t.m.ReadByte(0x4000);     // ends at 14344
  t.m.ReadByte(0x8000);     // not contended
  t.m.ReadByte(0x4000);     // begins at 14347: delay 2
  EXPECT_EQ(t.m.FrameTState, 14340u + 1 + 3 + 3 + 2 + 3);
  // Internal cycles wait on the I/O table one T-state at a time.
  t.m.FrameTState = 14335;
  t.m.InternalCycles(0x4000, 2);  // wait 6, 1 T-state, then at 14342 delay 0, 1 T-state
  EXPECT_EQ(t.m.FrameTState, 14343u);
  t.m.FrameTState = 14335;
  t.m.InternalCycles(0x8000, 5);
  EXPECT_EQ(t.m.FrameTState, 14340u);
}

TEST(MemoryCycles, NoContentionSettingRemovesTheWaits) {
  TestMachine t(kModel48K);
  t.m.settings.Contention = 0;
  t.m.FrameTState = 14335;
  t.m.ReadByte(0x4000);
  t.m.FetchOpcode(0x4000);
  t.m.InternalCycles(0x4000, 2);
  EXPECT_EQ(t.m.FrameTState, 14335u + 3 + 4 + 2);
}

TEST(MemoryCycles, TopSlotContendedOnlyWithAnOddBankOn128K) {
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
}

TEST(MemoryCycles, Plus3ContendsMemoryButNotInternalCycles) {
  TestMachine t(kModelPlus3);
  ResetMachine(t.emu, true);
  t.m.FrameTState = 14361;
  t.m.InternalCycles(0x4000, 2);
  EXPECT_EQ(t.m.FrameTState, 14363u);
  t.m.FrameTState = 14363;  // delay 7
  t.m.FetchOpcode(0x4000);
  EXPECT_EQ(t.m.FrameTState, 14363u + 7 + 4);
  // Banks 4-7 are the contended ones on the +2A/+3.
  Write7FFDPlus3(t.m, 0x04);
  EXPECT_TRUE(t.m.topSlotContended);
  Write7FFDPlus3(t.m, 0x03);
  EXPECT_FALSE(t.m.topSlotContended);
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

TEST(MemoryCycles, AccessesPastTheTablesCostNoDelay) {
  TestMachine t(kModel128K);
  for (uint32_t start : {70908u, kContentionTableSize - 1, kContentionTableSize, 200000u}) {
    t.m.FrameTState = start;
    t.m.ReadByte(0x4000);
    t.m.InternalCycles(0x4000, 1);
    EXPECT_EQ(t.m.FrameTState, start + 4);
  }
}

TEST(MemoryCycles, FetchesAreCounted) {
  TestMachine t(kModel48K);
  t.m.FetchCount = 0;
  for (int i = 0; i < 5; ++i) t.m.FetchOpcode(static_cast<uint16_t>(i));
  t.m.ReadByte(0);
  EXPECT_EQ(t.m.FetchCount, 5u);
}

}  // namespace
}  // namespace orvo
