// The AY-3-8912 on its own: register file, envelope shapes, tone and noise generators.
#include "sound/ay_chip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvo {
namespace {

AyChip FreshChip() {
  AyChip ay;
  ay.Reset();
  return ay;
}

void Write(AyChip& ay, uint8_t reg, uint8_t value) {
  ay.Select(reg);
  ay.WriteData(value);
}

TEST(AyRegisters, WriteMasksKeepOnlyTheRegistersBits) {
  AyChip ay = FreshChip();
  const uint8_t expected[16] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                                0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};
  for (uint8_t r = 0; r < 16; ++r) Write(ay, r, 0xFF);
  for (uint8_t r = 0; r < 16; ++r) EXPECT_EQ(ay.regs[r], expected[r]) << "register " << int(r);
  // Register 8 = 0x1F: envelope-controlled.
  EXPECT_EQ(ay.regs[kAyVolumeA] & 0x10, 0x10);
}

TEST(AyRegisters, Slot16HoldsWritesAboveFifteenAndHalvesEachFrame) {
  AyChip ay = FreshChip();
  EXPECT_EQ(ay.regs[kAySlot16], 255);
  ay.Select(20);
  EXPECT_EQ(ay.AySelectedRegister, 16);
  ay.WriteData(0x55);
  EXPECT_EQ(ay.ReadData(), 0x55);
  ay.HalveSlot16();
  EXPECT_EQ(ay.ReadData(), 0x2A);
  ay.HalveSlot16();
  EXPECT_EQ(ay.ReadData(), 0x15);
  // Writes to slot 16 are not masked and do not touch the real registers.
  for (uint8_t r = 0; r < 16; ++r) EXPECT_EQ(ay.regs[r], r >= 14 ? 255 : 0);
}

TEST(AyRegisters, SelectKeepsTheLowNibbleOnlyUpToFifteen) {
  AyChip ay = FreshChip();
  ay.Select(15);
  EXPECT_EQ(ay.AySelectedRegister, 15);
  ay.Select(16);
  EXPECT_EQ(ay.AySelectedRegister, 16);
  ay.Select(0xFF);
  EXPECT_EQ(ay.AySelectedRegister, 16);
}

TEST(AyRegisters, FullerSelectStoresTheByteUntilTheNextAccessFoldsIt) {
  AyChip ay = FreshChip();
  ay.SelectFuller(0xC7);
  EXPECT_EQ(ay.AySelectedRegister, 0xC7);
  ay.WriteData(0x12);
  EXPECT_EQ(ay.AySelectedRegister, 16);
  EXPECT_EQ(ay.regs[kAySlot16], 0x12);
  ay.SelectFuller(0x99);
  EXPECT_EQ(ay.ReadData(), 0x12);
  EXPECT_EQ(ay.AySelectedRegister, 16);
  ay.SelectFuller(7);  // a real register number works as it is
  ay.WriteData(0x38);
  EXPECT_EQ(ay.regs[kAyMixer], 0x38);
}

TEST(AyRegisters, PortBReadsBackOnlyWhenSetToOutput) {
  AyChip ay = FreshChip();
  Write(ay, kAyPortB, 0x42);
  Write(ay, kAyMixer, 0x3F);  // bit 7 clear: port B is an input
  ay.Select(kAyPortB);
  EXPECT_EQ(ay.ReadData(), 255);
  Write(ay, kAyMixer, 0xBF);
  ay.Select(kAyPortB);
  EXPECT_EQ(ay.ReadData(), 0x42);
  Write(ay, kAyPortA, 0x17);  // port A reads back either way
  Write(ay, kAyMixer, 0x00);
  ay.Select(kAyPortA);
  EXPECT_EQ(ay.ReadData(), 0x17);
}

TEST(AyRegisters, ResetRestoresInitialValuesButNotToneCounters) {
  AyChip ay = FreshChip();
  for (uint8_t r = 0; r < 16; ++r) Write(ay, r, 0x5A);
  ay.Select(3);
  ay.ToneCounter[0] = 77;
  ay.ToneOutput[1] = 1;
  ay.NoiseLow = 1234;
  ay.NoiseHigh = 0;
  ay.EnvelopeLevel = 9;
  ay.Reset();
  for (uint8_t r = 0; r < 14; ++r) EXPECT_EQ(ay.regs[r], 0);
  EXPECT_EQ(ay.regs[14], 255);
  EXPECT_EQ(ay.regs[15], 255);
  EXPECT_EQ(ay.regs[16], 255);
  EXPECT_EQ(ay.AySelectedRegister, 0);
  EXPECT_EQ(ay.ToneOutput[1], 0);
  EXPECT_EQ(ay.NoiseLow, 0u);
  EXPECT_EQ(ay.NoiseHigh, 1u);
  EXPECT_EQ(ay.EnvelopeLevel, 0);
  EXPECT_EQ(ay.ToneCounter[0], 77);
}

// ---- envelope ----

// Envelope levels after each envelope step, starting from a shape write, with period 1 (one step
// every two ticks).
std::vector<int> EnvelopeSteps(uint8_t shape, int steps) {
  AyChip ay = FreshChip();
  Write(ay, kAyVolumeA, 0x10);
  Write(ay, kAyEnvelopeFine, 1);
  Write(ay, kAyEnvelopeShape, shape);
  std::vector<int> levels{ay.EnvelopeLevel};
  for (int i = 0; i < steps; ++i) {
    ay.Clock();
    ay.Clock();
    levels.push_back(ay.EnvelopeLevel);
  }
  return levels;
}

std::vector<int> Ramp(int from, int to) {
  std::vector<int> v;
  for (int x = from;; x += from < to ? 1 : -1) {
    v.push_back(x);
    if (x == to) break;
  }
  return v;
}

std::vector<int> Concat(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

TEST(AyEnvelope, DecayShapesFallOnceThenHoldAtZero) {
  const auto expected = Concat({Ramp(15, 0), {0, 0, 0, 0}});
  for (uint8_t shape : {0, 1, 2, 3, 9}) {
    EXPECT_EQ(EnvelopeSteps(shape, 19), expected) << "shape " << int(shape);
  }
}

TEST(AyEnvelope, AttackShapesRiseOnceThenDropToZero) {
  const auto expected = Concat({Ramp(0, 15), {0, 0, 0, 0}});
  for (uint8_t shape : {4, 5, 6, 7, 15}) {
    EXPECT_EQ(EnvelopeSteps(shape, 19), expected) << "shape " << int(shape);
  }
}

TEST(AyEnvelope, RepeatingShapes) {
  EXPECT_EQ(EnvelopeSteps(8, 47), Concat({Ramp(15, 0), Ramp(15, 0), Ramp(15, 0)}));
  EXPECT_EQ(EnvelopeSteps(12, 47), Concat({Ramp(0, 15), Ramp(0, 15), Ramp(0, 15)}));
  // The triangles dwell one extra step at each end.
  EXPECT_EQ(EnvelopeSteps(10, 63), Concat({Ramp(15, 0), Ramp(0, 15), Ramp(15, 0), Ramp(0, 15)}));
  EXPECT_EQ(EnvelopeSteps(14, 63), Concat({Ramp(0, 15), Ramp(15, 0), Ramp(0, 15), Ramp(15, 0)}));
}

TEST(AyEnvelope, HoldHighShapes) {
  EXPECT_EQ(EnvelopeSteps(11, 19), Concat({Ramp(15, 0), {15, 15, 15, 15}}));
  EXPECT_EQ(EnvelopeSteps(13, 19), Concat({Ramp(0, 15), {15, 15, 15, 15}}));
}

TEST(AyEnvelope, ShapeWriteRestartsTheEnvelope) {
  AyChip ay = FreshChip();
  Write(ay, kAyVolumeB, 0x10);
  Write(ay, kAyEnvelopeFine, 1);
  Write(ay, kAyEnvelopeShape, 8);
  for (int i = 0; i < 9; ++i) ay.Clock();
  EXPECT_NE(ay.EnvelopeLevel, 15);
  Write(ay, kAyEnvelopeShape, 8);
  EXPECT_EQ(ay.EnvelopeLevel, 15);
  EXPECT_EQ(ay.EnvelopeState, kEnvelopeFalling);
  EXPECT_EQ(ay.EnvelopeCounter, 0);
  Write(ay, kAyEnvelopeShape, 13);
  EXPECT_EQ(ay.EnvelopeLevel, 0);
  EXPECT_EQ(ay.EnvelopeState, kEnvelopeRising);
}

// Ticks between the first two envelope steps for a given period.
int TicksPerEnvelopeStep(uint16_t period) {
  AyChip ay = FreshChip();
  Write(ay, kAyVolumeC, 0x10);
  Write(ay, kAyEnvelopeFine, static_cast<uint8_t>(period));
  Write(ay, kAyEnvelopeCoarse, static_cast<uint8_t>(period >> 8));
  Write(ay, kAyEnvelopeShape, 12);  // rising saw: every step changes the level
  int ticks = 0, firstStep = -1;
  uint8_t level = ay.EnvelopeLevel;
  while (ticks < 1000000) {
    ay.Clock();
    ++ticks;
    if (ay.EnvelopeLevel != level) {
      level = ay.EnvelopeLevel;
      if (firstStep >= 0) return ticks - firstStep;
      firstStep = ticks;
    }
  }
  return -1;
}

TEST(AyEnvelope, PeriodSetsTheStepRateAndZeroActsAsOne) {
  EXPECT_EQ(TicksPerEnvelopeStep(1), 2);
  EXPECT_EQ(TicksPerEnvelopeStep(0), 2);
  EXPECT_EQ(TicksPerEnvelopeStep(3), 6);
  EXPECT_EQ(TicksPerEnvelopeStep(0x0102), 2 * 0x102);
}

TEST(AyEnvelope, StandsStillWhileNoChannelUsesIt) {
  AyChip ay = FreshChip();
  Write(ay, kAyVolumeA, 0x0F);
  Write(ay, kAyEnvelopeFine, 1);
  Write(ay, kAyEnvelopeShape, 12);
  for (int i = 0; i < 100; ++i) ay.Clock();
  EXPECT_EQ(ay.EnvelopeLevel, 0);
  Write(ay, kAyVolumeA, 0x10);
  ay.Clock();
  ay.Clock();
  EXPECT_EQ(ay.EnvelopeLevel, 1);
}

// ---- tone and noise ----

// Tick numbers at which channel `c`'s tone output flips, over `ticks` ticks.
std::vector<int> ToneFlips(uint16_t period, int c, int ticks) {
  AyChip ay = FreshChip();
  Write(ay, static_cast<uint8_t>(2 * c), static_cast<uint8_t>(period));
  Write(ay, static_cast<uint8_t>(2 * c + 1), static_cast<uint8_t>(period >> 8));
  std::vector<int> flips;
  uint8_t out = ay.ToneOutput[c];
  for (int t = 1; t <= ticks; ++t) {
    ay.Clock();
    if (ay.ToneOutput[c] != out) {
      out = ay.ToneOutput[c];
      flips.push_back(t);
    }
  }
  return flips;
}

TEST(AyTone, OutputFlipsEveryPeriodTicks) {
  EXPECT_EQ(ToneFlips(5, 0, 20), (std::vector<int>{5, 10, 15, 20}));
  EXPECT_EQ(ToneFlips(7, 1, 21), (std::vector<int>{7, 14, 21}));
  EXPECT_EQ(ToneFlips(0x0100, 2, 600), (std::vector<int>{256, 512}));
}

TEST(AyTone, PeriodsZeroToFourFreezeTheOutput) {
  for (uint16_t p = 0; p <= 4; ++p) EXPECT_TRUE(ToneFlips(p, 0, 70000).empty()) << "period " << p;
  // Frozen high stays high.
  AyChip ay = FreshChip();
  ay.ToneOutput[0] = 1;
  Write(ay, kAyToneFineA, 3);
  for (int i = 0; i < 100; ++i) ay.Clock();
  EXPECT_EQ(ay.ToneOutput[0], 1);
}

TEST(AyTone, LoweringThePeriodBelowTheCounterFlipsAtTheNextTick) {
  AyChip ay = FreshChip();
  Write(ay, kAyToneFineA, 100);
  for (int i = 0; i < 50; ++i) ay.Clock();
  Write(ay, kAyToneFineA, 10);
  ay.Clock();
  EXPECT_EQ(ay.ToneOutput[0], 1);
  EXPECT_EQ(ay.ToneCounter[0], 0);
}

// Ticks at which the noise register shifts.
std::vector<int> NoiseShifts(uint8_t period, uint8_t mixer, int ticks) {
  AyChip ay = FreshChip();
  Write(ay, kAyNoisePeriod, period);
  Write(ay, kAyMixer, mixer);
  std::vector<int> shifts;
  for (int t = 1; t <= ticks; ++t) {
    const uint32_t lo = ay.NoiseLow, hi = ay.NoiseHigh;
    ay.Clock();
    if (ay.NoiseLow != lo || ay.NoiseHigh != hi) shifts.push_back(t);
  }
  return shifts;
}

TEST(AyNoise, PeriodZeroActsAsOne) {
  // After reset the latched period is 0, so the first tick shifts at once and latches.
  EXPECT_EQ(NoiseShifts(0, 0x00, 5), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(NoiseShifts(1, 0x00, 5), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(NoiseShifts(3, 0x00, 10), (std::vector<int>{1, 4, 7, 10}));
  // Only the low five bits of register 6 count.
  EXPECT_EQ(NoiseShifts(0x1F, 0x00, 64), (std::vector<int>{1, 32, 63}));
}

TEST(AyNoise, RunsOnlyWhileSomeChannelListens) {
  EXPECT_TRUE(NoiseShifts(1, 0x38, 50).empty());
  EXPECT_EQ(NoiseShifts(1, 0x30, 3).size(), 3u);  // channel A's noise on
}

TEST(AyNoise, ShiftRegisterGivesAnIrregularMixOfBothLevels) {
  AyChip ay = FreshChip();
  Write(ay, kAyMixer, 0x37);
  int ones = 0, changes = 0;
  uint8_t last = ay.NoiseOutput;
  for (int i = 0; i < 20000; ++i) {
    ay.Clock();
    ones += ay.NoiseOutput;
    changes += ay.NoiseOutput != last;
    last = ay.NoiseOutput;
  }
  // Not stuck, and roughly balanced once the register has filled.
  EXPECT_GT(ones, 6000);
  EXPECT_LT(ones, 14000);
  EXPECT_GT(changes, 3000);
}

// ---- running many ticks at once ----

void ExpectSameState(const AyChip& a, const AyChip& b, const std::string& where) {
  EXPECT_EQ(a.NoiseOutput, b.NoiseOutput) << where;
  EXPECT_EQ(a.EnvelopeLevel, b.EnvelopeLevel) << where;
  EXPECT_EQ(a.NoiseCounter, b.NoiseCounter) << where;
  EXPECT_EQ(a.NoisePeriod, b.NoisePeriod) << where;
  EXPECT_EQ(a.EnvelopeState, b.EnvelopeState) << where;
  EXPECT_EQ(a.EnvelopeDivider, b.EnvelopeDivider) << where;
  EXPECT_EQ(a.EnvelopeCounter, b.EnvelopeCounter) << where;
  EXPECT_EQ(a.NoiseLow, b.NoiseLow) << where;
  EXPECT_EQ(a.NoiseHigh, b.NoiseHigh) << where;
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(a.ToneOutput[c], b.ToneOutput[c]) << where << " channel " << c;
    EXPECT_EQ(a.ToneCounter[c], b.ToneCounter[c]) << where << " channel " << c;
  }
}

TEST(AyAdvance, ManyTicksAtOnceMatchTickingOneByOne) {
  uint32_t seed = 99;
  auto rnd = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int trial = 0; trial < 3000; ++trial) {
    AyChip one = FreshChip();
    // Short periods so that flips, steps and counter edge cases all happen within a batch.
    for (uint8_t r = 0; r < 14; ++r) {
      uint8_t v = static_cast<uint8_t>(rnd(256));
      if (r == 1 || r == 3 || r == 5) v = rnd(8) == 0 ? static_cast<uint8_t>(rnd(256)) : 0;
      if (r < 6 && r % 2 == 0 && rnd(3) == 0) v = static_cast<uint8_t>(rnd(12));
      if (r == kAyEnvelopeCoarse) v = rnd(6) == 0 ? 1 : 0;
      if (r == kAyEnvelopeFine && rnd(3) == 0) v = static_cast<uint8_t>(rnd(4));
      Write(one, r, v);
    }
    // Counters anywhere, including past the period and about to wrap.
    for (int c = 0; c < 3; ++c) {
      const uint32_t pick = rnd(4);
      one.ToneCounter[c] = pick == 0 ? 0xFFFF : static_cast<uint16_t>(rnd(pick == 1 ? 400 : 30));
      one.ToneOutput[c] = static_cast<uint8_t>(rnd(2));
    }
    one.EnvelopeCounter = rnd(5) == 0 ? 0xFFFF : static_cast<uint16_t>(rnd(300));
    one.EnvelopeDivider = static_cast<uint8_t>(rnd(2));
    one.NoisePeriod = static_cast<uint8_t>(rnd(32));
    one.NoiseCounter = rnd(6) == 0 ? 0xFF : static_cast<uint8_t>(rnd(one.NoisePeriod + 1));
    AyChip batch = one;
    for (int step = 0; step < 6; ++step) {
      const uint32_t ticks = rnd(5) == 0 ? rnd(400) : rnd(12);
      for (uint32_t i = 0; i < ticks; ++i) one.Clock();
      batch.Advance(ticks);
      ExpectSameState(one, batch,
                      "trial " + std::to_string(trial) + " step " + std::to_string(step));
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(AyAdvance, RegisterWritesRunTheTicksDueFirst) {
  AyChip lazy = FreshChip();
  AyChip eager = FreshChip();
  Write(lazy, kAyToneFineA, 10);
  Write(eager, kAyToneFineA, 10);
  // 30 ticks' worth fed in: the spec'd ticking has run them, the lazy chip owes them.
  lazy.AyAccumulator = 30 * 16 + 5;
  for (int i = 0; i < 30; ++i) eager.Clock();
  Write(lazy, kAyToneFineA, 7);  // the owed ticks run at period 10 before the change
  Write(eager, kAyToneFineA, 7);
  EXPECT_EQ(lazy.AyAccumulator, 5u);
  ExpectSameState(eager, lazy, "after the write");
  // A closed gate drops them instead.
  AyChip gated = FreshChip();
  gated.GateClosed = 1;
  gated.AyAccumulator = 100;
  Write(gated, kAyToneFineA, 5);
  EXPECT_EQ(gated.ToneCounter[0], 0);
  EXPECT_LE(gated.AyAccumulator, 16u);
}

// ---- channel levels ----

TEST(AyLevels, MixerAndVolumeDecideEachChannel) {
  uint16_t table[16];
  for (int i = 0; i < 16; ++i) table[i] = static_cast<uint16_t>(100 + i);
  AyChip ay = FreshChip();
  Write(ay, kAyVolumeA, 0x0C);
  Write(ay, kAyVolumeB, 0x1F);  // envelope
  Write(ay, kAyVolumeC, 0x03);
  ay.EnvelopeLevel = 6;

  struct Case {
    uint8_t mixer, tone, noise;
    bool sounds;
  };
  const Case cases[] = {
      {0x00, 1, 1, true},  {0x00, 0, 1, false},
      {0x00, 1, 0, false}, {0x01, 0, 1, true},  // tone off: follows noise only
      {0x08, 1, 0, true},                       // noise off: follows tone only
      {0x09, 0, 0, true},                       // both off: constantly at its volume
  };
  for (const Case& k : cases) {
    // Apply the same pattern to channel A (bits 0, 3) and C (bits 2, 5).
    Write(ay, kAyMixer, static_cast<uint8_t>(k.mixer | (k.mixer << 2)));
    ay.ToneOutput[0] = ay.ToneOutput[2] = k.tone;
    ay.NoiseOutput = k.noise;
    ay.UpdateChannelLevels(table);
    EXPECT_EQ(ay.ChannelLevel[0], k.sounds ? 112 : 0) << "mixer " << int(k.mixer);
    EXPECT_EQ(ay.ChannelLevel[2], k.sounds ? 103 : 0) << "mixer " << int(k.mixer);
  }
  Write(ay, kAyMixer, 0x3F);
  ay.UpdateChannelLevels(table);
  EXPECT_EQ(ay.ChannelLevel[1], 106);  // the envelope's level indexes the table
}

}  // namespace
}  // namespace orvo
