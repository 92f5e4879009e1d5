// The frame loop: frames and their excess T-states, pacing, frame skip, pause, FLASH without
// tearing, and the rewind history it records.
#include "shell/frame_loop.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/rewind.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

// Counts presented pictures and keeps the colours of the first and last display lines of each;
// its clock moves only by sleeps and by 50 microseconds per reading, like a fast real one.
class FrameHost final : public Host, public Clock {
 public:
  void ShowMessage(CaptionId, MessageId, std::string_view) override { ++messages; }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  Clock& GetClock() override { return *this; }
  uint64_t NowNanoseconds() override {
    ++readings;
    return now_ns += 50000;
  }
  void SleepMilliseconds(uint32_t ms) override {
    ++sleeps;
    now_ns += (ms == 0 ? 100000u : ms * 1000000u);
  }
  // Sleeps overshoot a little, as a real one does.
  void SleepMicroseconds(uint32_t us) override {
    ++sleeps;
    now_ns += (us == 0 ? 100000u : us * 1000u + 80000u);
  }
  int readings = 0, sleeps = 0;
  void PresentFrame(const uint32_t* pixels) override {
    ++presented;
    constexpr int kWidth = 352, kLeft = 48, kTop = 48;
    topAndBottom.emplace_back(pixels[kTop * kWidth + kLeft + 8],
                              pixels[(kTop + 191) * kWidth + kLeft + 8]);
  }
  uint64_t now_ns = 1000000000u;
  int messages = 0, presented = 0;
  std::vector<std::pair<uint32_t, uint32_t>> topAndBottom;
};

class FrameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
    emu = std::make_unique<Emulator>(host);
    emu->folders.CurrentRomDir = (test::RomDir() / "").string();
    emu->m.MachineModel = kModel48K;
    emu->m.settings.Sound = 0;
    SetUpMachine(*emu);
    ResetMachine(*emu, true);
    ASSERT_EQ(host.messages, 0);
  }

  void Poke(uint16_t a, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) emu->m.PageTable[a >> 13][a & 0x1FFF] = b, ++a;
  }
  // Puts `code` at 0x8000 (uncontended) and starts the CPU there with interrupts off.
  void RunFromRam(std::initializer_list<uint8_t> code) {
    Poke(0x8000, code);
    emu->m.cpu.PC = 0x8000;
    emu->m.cpu.IFF1 = emu->m.cpu.IFF2 = 0;
    emu->m.FrameTState = 0;
  }

  FrameHost host;
  std::unique_ptr<Emulator> emu;
};

TEST_F(FrameLoopTest, InstructionCrossingTheFrameEndCarriesItsExcess) {
  RunFromRam({0xC3, 0x00, 0x80});  // JP 0x8000: 10 T-states, ends at 69890
  emu->NoThrottle = true;
  RunFrame(*emu);
  EXPECT_EQ(emu->m.FrameTState, 2u);
  EXPECT_EQ(emu->m.InterruptArmed, 1);
  RunFrame(*emu);  // 2 + 10k crosses 69888 at 69892
  EXPECT_EQ(emu->m.FrameTState, 4u);
  EXPECT_EQ(emu->m.FrameCount, 2u);
}

TEST_F(FrameLoopTest, ThrottleHoldsFiftyFramesToOneSecondWithoutMakingUpLatenessOrAtFullSpeed) {
  RunFromRam({0x18, 0xFE});  // JR $
  const uint64_t start = host.now_ns;
  RunFrame(*emu);  // the first throttled frame only takes the time
  for (int i = 0; i < 50; ++i) RunFrame(*emu);
  const double seconds = static_cast<double>(host.now_ns - start) / 1e9;
  EXPECT_NEAR(seconds, 1.0, 0.005);

  // A frame that took 45 ms is not made up by the next ones: each still waits its full 20 ms.
  host.now_ns += 45000000;
  RunFrame(*emu);
  const uint64_t before = host.now_ns;
  RunFrame(*emu);
  EXPECT_GE(host.now_ns - before, 19000000u);

  // The wait sleeps until just before the frame's time and then reads the clock a few times:
  // it does not keep a core busy polling.
  host.readings = host.sleeps = 0;
  for (int i = 0; i < 50; ++i) RunFrame(*emu);
  EXPECT_LE(host.readings + host.sleeps, 50 * 10);

  // At full speed nothing waits: ten frames take only the clock readings.
  emu->m.FullSpeed = 1;
  const uint64_t fast = host.now_ns;
  for (int i = 0; i < 10; ++i) RunFrame(*emu);
  EXPECT_LT(host.now_ns - fast, 1000000u);
}

TEST_F(FrameLoopTest, FrameskipPresentsEveryThirdFrameButCountsAllAndPausedRunsNothing) {
  RunFromRam({0x18, 0xFE});
  emu->NoThrottle = true;
  emu->m.settings.Frameskip = 3;
  emu->m.FrameSkipCountdown = 1;
  for (int i = 0; i < 9; ++i) RunFrame(*emu);
  EXPECT_EQ(host.presented, 3);
  EXPECT_EQ(emu->m.FramesThisSecond, 9u);

  RunFromRam({0x18, 0xFE});
  emu->NoThrottle = false;
  emu->m.FrameCount = 0;
  emu->m.Paused = 1;
  const uint64_t start = host.now_ns;
  RunFrame(*emu);
  EXPECT_EQ(emu->m.FrameTState, 0u);
  EXPECT_EQ(emu->m.cpu.PC, 0x8000);
  EXPECT_EQ(host.now_ns - start, 1000000u);  // exactly one 1 ms sleep
  emu->m.Paused = 0;
  emu->m.FocusPaused = 1;
  RunFrame(*emu);
  EXPECT_EQ(emu->m.FrameCount, 0u);
}

TEST_F(FrameLoopTest, FlashSwapsEverySixteenFramesAndNeverTearsAFrame) {
  // A screen of FLASH cells, and a program that writes the screen in the middle of the display
  // every frame (after an IM 2 HALT and a delay), so part of each frame is drawn early.
  RunFromRam({0xED, 0x5E, 0x3E, 0x80, 0xED, 0x47, 0xFB,  // IM 2; LD A,0x80; LD I,A; EI
              0x76, 0x01, 0x14, 0x05,                    // loop: HALT; LD BC,1300
              0x0B, 0x78, 0xB1, 0x20, 0xFB,              // DEC BC; LD A,B; OR C; JR NZ,-5
              0x32, 0x00, 0x40, 0x18, 0xF2});            // LD (0x4000),A; JR loop
  Poke(0x80FF, {0x00, 0x90});                            // the interrupt vector: 0x9000
  Poke(0x9000, {0xFB, 0xC9});                            // EI; RET
  for (uint16_t a = 0x4000; a < 0x5800; ++a) Poke(a, {0x00});
  for (uint16_t a = 0x5800; a < 0x5B00; ++a) Poke(a, {0x87});  // FLASH, paper black, ink white
  emu->NoThrottle = true;
  for (int i = 0; i < 80; ++i) RunFrame(*emu);

  const auto& frames = host.topAndBottom;
  ASSERT_EQ(frames.size(), 80u);
  std::vector<size_t> flips;
  for (size_t f = 0; f < frames.size(); ++f) {
    EXPECT_EQ(frames[f].first, frames[f].second) << "frame " << f << " is torn";
    if (f > 0 && frames[f].first != frames[f - 1].first) flips.push_back(f);
  }
  ASSERT_GE(flips.size(), 4u);
  for (size_t k = 1; k < flips.size(); ++k) EXPECT_EQ(flips[k] - flips[k - 1], 16u);
}

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

// Nothing happens with an empty history or with Rewind off; each press then goes back one more
// record of the twenty newest, after the "Rewind Delay".
TEST_F(RewindTest, EachPressGoesBackOneMoreRecordOfTheTwentyNewest) {
  EXPECT_FALSE(RewindOneStep(emu, *history));
  for (uint16_t pc = 1; pc <= 25; ++pc) Tick(pc);
  EXPECT_EQ(history->RewindCount, 19);
  emu.m.cpu.PC = 0x9999;
  emu.settings.Rewind = 0;
  EXPECT_FALSE(RewindOneStep(emu, *history));
  EXPECT_EQ(emu.m.cpu.PC, 0x9999);
  EXPECT_EQ(host.clock.sleeps, 0);
  emu.settings.Rewind = 1;
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
  Tick(30);
  Tick(31);
  ClearRewindHistory(*history);
  EXPECT_FALSE(RewindOneStep(emu, *history));
}

}  // namespace
}  // namespace orvo
