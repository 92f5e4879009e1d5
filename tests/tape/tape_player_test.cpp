// The pulse player: the square wave each block makes, flow control, starting and stopping, the
// automatic start/stop detector and tape wobble.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_paths.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

std::vector<uint8_t> Header19() {
  return RomBlock(0x00,
                  {3, 'T', 'E', 'S', 'T', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0x40, 0, 0x40, 0, 0});
}

// The pulses a standard-timing block should make: pilot, syncs, two pulses per bit.
std::vector<uint64_t> StandardPulses(const std::vector<uint8_t>& data, uint32_t pilots) {
  std::vector<uint64_t> out(pilots, 2168);
  out.push_back(667);
  out.push_back(735);
  for (uint8_t byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      const uint64_t len = (byte >> bit) & 1 ? 1710 : 855;
      out.push_back(len);
      out.push_back(len);
    }
  }
  return out;
}

TEST(TapePlayer, StandardHeaderBlockThenItsPause) {
  TapeRig rig;
  TapeBytes f;
  f.TapBlock(Header19());
  ASSERT_EQ(rig.Insert(f.bytes, false), kTapeParseOk);
  rig.PlayRecording();
  const auto expected = StandardPulses(Header19(), 8063);
  EXPECT_EQ(rig.Intervals(), expected);
  // After the last edge the 1000 ms pause runs out, then the tape ends.
  EXPECT_EQ(rig.now - rig.edges.back(), 1000u * 3500u);
  EXPECT_TRUE(TapeAtEnd(*rig.m));
  EXPECT_EQ(rig.m->tape.EarBit, 0) << "a stopped tape leaves the EAR input low";
}

TEST(TapePlayer, PureToneToggles3Times1000Apart) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Tone(1000, 3);
  rig.Insert(f.bytes);
  rig.PlayRecording();
  EXPECT_EQ(rig.edges, (std::vector<uint64_t>{1000, 2000, 3000}));
  EXPECT_EQ(rig.levels, (std::vector<uint8_t>{0x40, 0, 0x40}));
}

TEST(TapePlayer, PulseSequenceAndEmptyBlocks) {
  TapeRig rig;
  TapeBytes f;
  // Blocks with nothing in them make no edge and take no time.
  f.TzxHeader().Tone(500, 0).U8(0x13).U8(0).Pulses({300, 200, 100}).PureData(10, 20, 8, 0, {});
  rig.Insert(f.bytes);
  rig.PlayRecording();
  EXPECT_EQ(rig.Intervals(), (std::vector<uint64_t>{300, 200, 100}));
  EXPECT_TRUE(TapeAtEnd(*rig.m));
}

TEST(TapePlayer, PureDataWithThreeUsedBitsPlaysBits765Only) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().PureData(100, 200, 3, 0, {0b10111111});
  rig.Insert(f.bytes);
  rig.PlayRecording();
  EXPECT_EQ(rig.Intervals(), (std::vector<uint64_t>{200, 200, 100, 100, 200, 200}));
}

TEST(TapePlayer, TurboBlockUsesItsOwnTimingsAndLevelDropsInItsPause) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader();
  f.U8(0x11).U16(1000).U16(300).U16(400).U16(50).U16(90).U16(3).U8(2).U16(2).U24(1).U8(0x40);
  rig.Insert(f.bytes);
  rig.PlayRecording();
  // 3 pilot pulses, syncs, then bits 7 and 6 of 0x40 (2 used bits); 2 ms pause.
  EXPECT_EQ(rig.Intervals(),
            (std::vector<uint64_t>{1000, 1000, 1000, 300, 400, 50, 50, 90, 90, 3500}));
  EXPECT_EQ(rig.levels.back(), 0) << "1 ms into the pause the level falls";
  EXPECT_EQ(rig.now, 1000u * 3 + 300 + 400 + 100 + 180 + 2 * 3500);
}

TEST(TapePlayer, DirectRecordingSetsTheLevelPerSample) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().U8(0x15).U16(100).U16(0).U8(4).U24(2).U8(0b10110000).U8(0b01100000);
  rig.Insert(f.bytes);
  EXPECT_EQ(rig.m->tape.EarBit, 0x40) << "entering takes the level of the first sample";
  StartTape(*rig.m);
  // Starting sets the level low; the samples then follow: 1 0 1 1 0 0 0 0 | 0 1 1 0.
  std::vector<uint8_t> samples;
  while (rig.m->TapePlaying) {
    rig.Step();
    samples.push_back(rig.m->tape.EarBit ? 1 : 0);
  }
  samples.pop_back();  // the level after the end
  EXPECT_EQ(samples, (std::vector<uint8_t>{0, 1, 1, 0, 0, 0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(rig.now, 12u * 100);
}

TEST(TapePlayer, SignalLevelBlockAndStop48) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Level(true).Stop48().Tone(100, 1);
  rig.Insert(f.bytes);
  rig.m->MachineModel = kModel48K;
  StartTape(*rig.m);
  EXPECT_TRUE(rig.m->TapePlaying) << "the level change is held for a moment";
  EXPECT_EQ(rig.Step(), 3500u);
  EXPECT_FALSE(rig.m->TapePlaying) << "the 0x2A block stops a 48K's tape";
  EXPECT_EQ(rig.m->tape.image->current->id, 0x2A);
  StartTape(*rig.m);  // playing on steps past it
  EXPECT_TRUE(rig.m->TapePlaying);
  EXPECT_EQ(rig.m->tape.image->current->id, 0x12);

  TapeRig rig128;
  rig128.Insert(f.bytes);
  rig128.m->MachineModel = kModel128K;
  StartTape(*rig128.m);
  EXPECT_EQ(rig128.m->tape.EarBit, 0x40) << "0x2B set the level high";
  EXPECT_EQ(rig128.m->tape.image->current->id, 0x12) << "and a 128K plays on past 0x2A";
  rig128.PlayRecording();
  EXPECT_TRUE(TapeAtEnd(*rig128.m));
  ASSERT_EQ(rig128.edges.size(), 1u);
  EXPECT_EQ(rig128.levels[0], 0);
}

TEST(TapePlayer, PauseOfZeroStopsTheTape) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Tone(100, 1).Pause(0).Tone(100, 1);
  rig.Insert(f.bytes);
  rig.PlayRecording();
  EXPECT_FALSE(rig.m->TapePlaying);
  EXPECT_EQ(rig.m->tape.image->current->id, 0x20);
  EXPECT_EQ(rig.edges.size(), 1u);
  rig.PlayRecording();
  EXPECT_TRUE(TapeAtEnd(*rig.m));
  EXPECT_EQ(rig.edges.size(), 2u);
}

// Tones of distinct lengths mark which block played.
std::vector<uint64_t> PlayedTones(TapeRig& rig) {
  rig.PlayRecording();
  return rig.Intervals();
}

TEST(TapePlayer, LoopOfThreePlaysItsBodyThreeTimes) {
  const auto file = DataDir() / "loop3.tzx";
  ORVO_REQUIRE_FILE(file);
  TapeRig rig;
  ASSERT_EQ(rig.Insert(ReadWholeFile(file)), kTapeParseOk);
  EXPECT_EQ(PlayedTones(rig), (std::vector<uint64_t>{100, 200, 200, 200, 300}));
}

TEST(TapePlayer, JumpCallSequenceAndReturnPlayInOrder) {
  const auto file = DataDir() / "jump_call_return.tzx";
  ORVO_REQUIRE_FILE(file);
  TapeRig rig;
  ASSERT_EQ(rig.Insert(ReadWholeFile(file)), kTapeParseOk);
  // Layout: 0 tone 100, 1 jump +4, 2 tone 200, 3 tone 300, 4 return, 5 call {-3, -2},
  // 6 tone 400. Play: 100, (jump to 5) call 2: 200 300 return, call 3: 300 return, then 400.
  EXPECT_EQ(PlayedTones(rig), (std::vector<uint64_t>{100, 200, 300, 300, 400}));
}

TEST(TapePlayer, LoopsAndJumpsThatGoNowhereEndInsteadOfHanging) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Jump(1).Jump(-1);  // two jumps at each other
  rig.Insert(f.bytes);
  StartTape(*rig.m);
  RunTape(*rig.m, 10);
  EXPECT_FALSE(rig.m->TapePlaying);

  TapeRig self;
  TapeBytes g;
  g.TzxHeader().Jump(0).Tone(100, 1);  // a jump to itself goes on to the next block
  self.Insert(g.bytes);
  self.PlayRecording();
  EXPECT_EQ(self.edges, (std::vector<uint64_t>{100}));

  TapeRig past;
  TapeBytes h;
  h.TzxHeader().Jump(50).Tone(100, 1);  // beyond the last block: the end of the tape
  past.Insert(h.bytes);
  past.PlayRecording();
  EXPECT_TRUE(past.edges.empty());
  EXPECT_TRUE(TapeAtEnd(*past.m));

  TapeRig zero;
  TapeBytes z;
  z.TzxHeader().LoopStart(0).Tone(100, 1).LoopEnd();  // no repetitions: once through
  zero.Insert(z.bytes);
  zero.PlayRecording();
  EXPECT_EQ(zero.edges.size(), 1u);
}

// The generalized data versions of a standard header play exactly the standard block's pulses.
TEST(TapePlayer, GeneralizedDataMatchesTheStandardBlock) {
  const auto standardFile = SharedFile("testdata/media/tzx/gdb-edge-cases/test_standard.tzx");
  ORVO_REQUIRE_FILE(standardFile);
  TapeRig standard;
  ASSERT_EQ(standard.Insert(ReadWholeFile(standardFile)), kTapeParseOk);
  standard.PlayRecording();
  ASSERT_GT(standard.edges.size(), 8000u);
  for (const char* name :
       {"test_pilot_zero.tzx", "test_pilot_zero_clean.tzx", "test_gdb_sym_v2.tzx"}) {
    const auto file = SharedFile(std::string("testdata/media/tzx/gdb-edge-cases/") + name);
    ORVO_REQUIRE_FILE(file);
    TapeRig gdb;
    ASSERT_EQ(gdb.Insert(ReadWholeFile(file)), kTapeParseOk) << name;
    gdb.PlayRecording();
    // The same edges; a generalized block's pause then takes the level low after 1 ms.
    const auto expected = standard.Intervals();
    auto got = gdb.Intervals();
    ASSERT_GE(got.size(), expected.size()) << name;
    if (got.size() == expected.size() + 1) {
      EXPECT_EQ(got.back(), 3500u) << name;
      got.pop_back();
    }
    EXPECT_EQ(got, expected) << name;
    EXPECT_EQ(gdb.now, standard.now) << name;
  }
}

TEST(TapePlayer, GeneralizedDataSymbolsAndLevelRules) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader();
  // Pilot alphabet: sym 0 = (500) edge, sym 1 = (300, 0) force high; runs: 0 x2, 1 x1.
  // Data alphabet (4 symbols, 2 bits each): 0 = (100) edge, 1 = (200, 200) edge,
  // 2 = (50) no edge, 3 = (70) force low. Data: symbols 1 2 3 0 -> 0b01101100.
  TapeBytes body;
  body.U16(0).U32(2).U8(2).U8(2).U32(4).U8(2).U8(4);
  body.U8(0).U16(500).U16(0).U8(3).U16(300).U16(0);
  body.U8(0).U16(2).U8(1).U16(1);
  body.U8(0).U16(100).U16(0).U8(0).U16(200).U16(200).U8(1).U16(50).U16(0).U8(2).U16(70).U16(0);
  body.U8(0b01101100);
  f.U8(0x19).U32(static_cast<uint32_t>(body.bytes.size())).Raw(body.bytes);
  ASSERT_EQ(rig.Insert(f.bytes), kTapeParseOk);
  StartTape(*rig.m);
  std::vector<std::pair<uint32_t, uint8_t>> pulses;  // (length, level during it)
  while (rig.m->TapePlaying) {
    pulses.emplace_back(rig.m->tape.Pulse, rig.m->tape.EarBit);
    rig.Step();
  }
  // The first pulse runs at the starting level; sym 0 again: edge; sym 1 forces high; data
  // sym 1: edge, edge; sym 2: no edge; sym 3: low; sym 0: edge. The last pulse ends with an edge,
  // held for 1 ms before the tape stops at its end.
  const std::vector<std::pair<uint32_t, uint8_t>> expected = {{500, 0}, {500, 0x40}, {300, 0x40},
                                                              {200, 0}, {200, 0x40}, {50, 0x40},
                                                              {70, 0},  {100, 0x40}, {3500, 0}};
  EXPECT_EQ(pulses, expected);
  EXPECT_EQ(rig.m->tape.EarBit, 0) << "the tape stops low";
}

TEST(TapePlayer, StartIsRefusedWithTrapsOnOrNothingToPlay) {
  TapeRig rig;
  StartTape(*rig.m);
  EXPECT_FALSE(rig.m->TapePlaying) << "empty deck";
  TapeBytes f;
  f.TzxHeader().Tone(100, 1);
  rig.Insert(f.bytes);
  rig.m->settings.TapeTraps = 1;
  StartTape(*rig.m);
  EXPECT_FALSE(rig.m->TapePlaying);
  rig.m->settings.TapeTraps = 0;
  ToggleTape(*rig.m);
  EXPECT_TRUE(rig.m->TapePlaying);
  ToggleTape(*rig.m);
  EXPECT_FALSE(rig.m->TapePlaying);
  // The position survives a stop.
  StartTape(*rig.m);
  EXPECT_EQ(rig.Step(), 100u);
  EXPECT_EQ(rig.Step(), 3500u);
  EXPECT_TRUE(TapeAtEnd(*rig.m));
}

TEST(TapePlayer, FastloadRunsUnthrottledAndRestoresTheSettings) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Tone(100, 2);
  rig.Insert(f.bytes);
  rig.m->settings.Fastload = 1;
  rig.m->settings.Frameskip = 3;
  StartTape(*rig.m);
  EXPECT_EQ(rig.m->FullSpeed, 1u);
  EXPECT_EQ(rig.m->settings.Frameskip, 11);
  rig.PlayRecording();
  EXPECT_FALSE(rig.m->TapePlaying);
  EXPECT_EQ(rig.m->FullSpeed, 0u);
  EXPECT_EQ(rig.m->settings.Frameskip, 3);
}

// ---- automatic start and stop ----

void Poll(MachineState& m, uint32_t at, uint8_t b) {
  m.FrameTState = at;
  m.cpu.BC.b.h = b;
  TapeAutoStartStop(m);
}

TEST(TapeAutoStartStop, TenQuickCountingPollsStartAndThreeSlowOnesStop) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Tone(1000000, 100);
  rig.Insert(f.bytes);
  MachineState& m = *rig.m;
  m.settings.Autoload = 1;
  ResetTapeAutoStart(m);
  uint32_t t = 1000;
  uint8_t b = 0x10;
  Poll(m, t, b);  // the first read comes long after the last one
  for (int k = 0; k < 9; ++k) Poll(m, t += 400, ++b);
  EXPECT_FALSE(m.TapePlaying) << "nine matching reads are not enough";
  Poll(m, t += 400, ++b);
  EXPECT_TRUE(m.TapePlaying);
  // While playing, reads that keep counting hold it; reads far apart stop it on the third.
  Poll(m, t += 300, ++b);
  Poll(m, t += 300, b);
  Poll(m, t += 2000, b);
  Poll(m, t += 2000, b);
  EXPECT_TRUE(m.TapePlaying);
  Poll(m, t += 2000, b);
  EXPECT_FALSE(m.TapePlaying);
}

TEST(TapeAutoStartStop, NothingHappensWithoutAutoloadAndTimeIsMeasuredAcrossFrames) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader().Tone(1000000, 100);
  rig.Insert(f.bytes);
  MachineState& m = *rig.m;
  uint8_t b = 0;
  for (int k = 0; k < 20; ++k) Poll(m, 100 + 100 * k, ++b);
  EXPECT_FALSE(m.TapePlaying);
  EXPECT_EQ(m.tape.AutoCount, 0u);

  m.settings.Autoload = 1;
  ResetTapeAutoStart(m);
  for (int k = 0; k < 10; ++k) Poll(m, 68900 + 100 * k, ++b);  // 68900 .. 69800
  AgeTapeReadTime(m, 69888);
  Poll(m, 200, ++b);  // 288 T-states after the last read, in the next frame
  EXPECT_TRUE(m.TapePlaying);

  for (int k = 0; k < 20; ++k) AgeTapeReadTime(m, 69888);
  EXPECT_GE(m.tape.LastReadTime, -100000 - 69888) << "the age stops at -100000";
}

TEST(TapeWobble, NeverMakesAPulseZero) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader();
  for (int k = 0; k < 50; ++k) f.Pulses({1, 2, 10, 49, 50, 51, 74, 75, 3500});
  f.Tone(60, 20000);
  rig.Insert(f.bytes);
  rig.m->settings.TapeWobble = 1;
  StartTape(*rig.m);
  uint64_t steps = 0, changed = 0;
  while (rig.m->TapePlaying) {
    const uint32_t before = rig.m->tape.Pulse;
    rig.Step();
    if (!rig.m->TapePlaying) break;
    ++steps;
    EXPECT_GT(rig.m->tape.Pulse, 0u);
    if (rig.m->tape.Pulse != before) ++changed;
    ASSERT_LT(rig.m->tape.Pulse, 4000u) << "no pulse wraps round to a huge length";
  }
  EXPECT_GT(steps, 20000u);
  EXPECT_GT(changed, steps / 2) << "wobble changes most pulses";
}

}  // namespace
}  // namespace orvo::test
