#include "shell/rewind.h"

#include <gtest/gtest.h>

#include <memory>

#include "shell/emulator.h"
#include "support/recording_host.h"

namespace orvo {
namespace {

class RewindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu.settings.Rewind = 1;
    emu.settings.RewindDelay = 7;
  }
  // A state told apart by PC, one register and a screen byte.
  void Tick(uint16_t pc) {
    emu.m.cpu.PC = pc;
    emu.m.cpu.HL.w = static_cast<uint16_t>(pc * 3);
    emu.m.PageTable[2][0] = static_cast<uint8_t>(pc);
    StoreRewindRecord(emu.m, *history);
  }
  test::RecordingHost host;
  Emulator emu{host};
  std::unique_ptr<RewindHistory> history = std::make_unique<RewindHistory>();
};

TEST_F(RewindTest, EachPressGoesBackOneMoreRecordOfTheTwentyNewest) {
  for (uint16_t pc = 1; pc <= 25; ++pc) Tick(pc);
  EXPECT_EQ(history->RewindCount, 19);
  emu.m.cpu.PC = 0x9999;
  const uint64_t before = host.clock.now_ns;
  ASSERT_TRUE(RewindOneStep(emu, *history));
  // The first press goes to the record before the newest.
  EXPECT_EQ(emu.m.cpu.PC, 24);
  EXPECT_EQ(emu.m.cpu.HL.w, 72);
  EXPECT_EQ(emu.m.PageTable[2][0], 24);
  EXPECT_EQ(host.clock.now_ns - before, 7'000'000u);  // "Rewind Delay"
  int presses = 1;
  while (RewindOneStep(emu, *history)) ++presses;
  EXPECT_EQ(presses, 19);
  EXPECT_EQ(emu.m.cpu.PC, 6);  // the oldest kept
}

TEST_F(RewindTest, NothingHappensWithRewindOffOrAnEmptyHistory) {
  emu.m.cpu.PC = 0x1234;
  EXPECT_FALSE(RewindOneStep(emu, *history));
  Tick(1);
  Tick(2);
  emu.settings.Rewind = 0;
  emu.m.cpu.PC = 0x1234;
  EXPECT_FALSE(RewindOneStep(emu, *history));
  EXPECT_EQ(emu.m.cpu.PC, 0x1234);
  emu.settings.Rewind = 1;
  ClearRewindHistory(*history);
  EXPECT_FALSE(RewindOneStep(emu, *history));
  EXPECT_EQ(host.clock.sleeps, 0);
}

}  // namespace
}  // namespace orvo
