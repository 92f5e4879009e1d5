// The AY-3-8912 on its own: register file, envelope shapes, tone and noise generators. (Running
// many ticks at once against ticking one by one: the sound step's catching-up test.)
#include "sound/ay_chip.h"

#include <gtest/gtest.h>

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

TEST(AyRegisters, MasksSlot16AndReadBack) {
  AyChip ay = FreshChip();
  for (uint8_t r = 0; r < 16; ++r) Write(ay, r, 0xFF);
  const uint8_t masks[16] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                             0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};
  for (uint8_t r = 0; r < 16; ++r) EXPECT_EQ(ay.regs[r], masks[r]) << "register " << int(r);

  // Register 20 selects slot 16, whose value halves every frame.
  Write(ay, 20, 0x55);
  EXPECT_EQ(ay.ReadData(), 0x55);
  ay.HalveSlot16();
  ay.HalveSlot16();
  EXPECT_EQ(ay.ReadData(), 0x15);

  // The Fuller Box stores the whole byte; the next access folds it to 16.
  ay.SelectFuller(0xC7);
  EXPECT_EQ(ay.AySelectedRegister, 0xC7);
  EXPECT_EQ(ay.ReadData(), 0x15);
  EXPECT_EQ(ay.AySelectedRegister, 16);

  // Port B reads back only while register 7 sets it to output.
  Write(ay, kAyPortB, 0x42);
  Write(ay, kAyMixer, 0x3F);
  ay.Select(kAyPortB);
  EXPECT_EQ(ay.ReadData(), 255);
  Write(ay, kAyMixer, 0xBF);
  ay.Select(kAyPortB);
  EXPECT_EQ(ay.ReadData(), 0x42);

  // Sound initialisation: registers and generators to rest, tone counters kept.
  ay.ToneCounter[0] = 77;
  ay.Reset();
  EXPECT_EQ(ay.regs[kAyMixer], 0);
  EXPECT_EQ(ay.NoiseHigh, 1u);
  EXPECT_EQ(ay.ToneCounter[0], 77);
}

// Envelope levels after each step (period 1: a step every two ticks) from a shape write.
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

// Concatenated ramps: {15, 0} is 15, 14, ..., 0. Pairs of equal values hold that level.
std::vector<int> Ramps(std::initializer_list<std::pair<int, int>> parts) {
  std::vector<int> v;
  for (auto [from, to] : parts) {
    for (int x = from;; x += from < to ? 1 : -1) {
      v.push_back(x);
      if (x == to) break;
    }
  }
  return v;
}

TEST(AyEnvelope, EveryShape) {
  const auto decay = Ramps({{15, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  const auto attack = Ramps({{0, 15}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  for (uint8_t shape : {0, 1, 2, 3, 9}) EXPECT_EQ(EnvelopeSteps(shape, 19), decay) << int(shape);
  for (uint8_t shape : {4, 5, 6, 7, 15}) EXPECT_EQ(EnvelopeSteps(shape, 19), attack) << int(shape);
  EXPECT_EQ(EnvelopeSteps(8, 31), Ramps({{15, 0}, {15, 0}}));
  EXPECT_EQ(EnvelopeSteps(12, 31), Ramps({{0, 15}, {0, 15}}));
  // The triangles dwell one extra step at each end.
  EXPECT_EQ(EnvelopeSteps(10, 63), Ramps({{15, 0}, {0, 15}, {15, 0}, {0, 15}}));
  EXPECT_EQ(EnvelopeSteps(14, 63), Ramps({{0, 15}, {15, 0}, {0, 15}, {15, 0}}));
  EXPECT_EQ(EnvelopeSteps(11, 19), Ramps({{15, 0}, {15, 15}, {15, 15}, {15, 15}, {15, 15}}));
  EXPECT_EQ(EnvelopeSteps(13, 19), Ramps({{0, 15}, {15, 15}, {15, 15}, {15, 15}, {15, 15}}));
}

// Ticks at which `watch` changes over `ticks` ticks of a chip set up by `setup`.
template <typename Setup, typename Watch>
std::vector<int> ChangeTicks(Setup setup, Watch watch, int ticks) {
  AyChip ay = FreshChip();
  setup(ay);
  std::vector<int> at;
  auto last = watch(ay);
  for (int t = 1; t <= ticks; ++t) {
    ay.Clock();
    if (watch(ay) != last) at.push_back(t);
    last = watch(ay);
  }
  return at;
}

TEST(AyGenerators, PeriodsAndTheirZeroCases) {
  auto tone = [](uint16_t period) {
    return ChangeTicks(
        [&](AyChip& ay) {
          Write(ay, kAyToneFineB, uint8_t(period)), Write(ay, kAyToneCoarseB, uint8_t(period >> 8));
        },
        [](const AyChip& ay) { return ay.ToneOutput[1]; }, 70000);
  };
  EXPECT_EQ(tone(7).size(), 10000u);
  EXPECT_EQ(tone(7)[0], 7);
  EXPECT_EQ(tone(0x123).size(), 70000u / 0x123);
  // Period 0 counts as 1; the short periods flip as the chip does (the output is heard as their
  // average, see ChannelLevels).
  EXPECT_EQ(tone(0), tone(1));
  EXPECT_EQ(tone(1).size(), 70000u);
  EXPECT_EQ(tone(4).size(), 70000u / 4);

  auto envelope = [](uint8_t period) {
    return ChangeTicks(
        [&](AyChip& ay) {
          Write(ay, kAyVolumeC, 0x10), Write(ay, kAyEnvelopeFine, period),
              Write(ay, kAyEnvelopeShape, 12);
        },
        [](const AyChip& ay) { return ay.EnvelopeLevel; }, 12);
  };
  EXPECT_EQ(envelope(0), (std::vector<int>{1, 3, 5, 7, 9, 11}));
  EXPECT_EQ(envelope(1), envelope(0));
  EXPECT_EQ(envelope(3), (std::vector<int>{5, 11}));

  auto noise = [](uint8_t period, uint8_t mixer) {
    return ChangeTicks(
        [&](AyChip& ay) { Write(ay, kAyNoisePeriod, period), Write(ay, kAyMixer, mixer); },
        [](const AyChip& ay) { return ay.NoiseLow; }, 64);
  };
  // The noise steps at half the tone rate: every 2n ticks for a period of n.
  EXPECT_EQ(noise(0, 0x00).size(), 32u);
  EXPECT_EQ(noise(1, 0x00), noise(0, 0x00));
  EXPECT_EQ(noise(2, 0x00).size(), 16u);
  EXPECT_EQ(noise(0x3F, 0x30), (std::vector<int>{1, 63}));  // 5 bits; channel A listens
  EXPECT_TRUE(noise(1, 0x38).empty());                      // nobody listens: it stands
}

TEST(AyGenerators, ChannelLevelsFromMixerAndVolume) {
  uint16_t table[16];
  for (int i = 0; i < 16; ++i) table[i] = static_cast<uint16_t>(100 + i);
  AyChip ay = FreshChip();
  Write(ay, kAyToneFineA, 200);
  Write(ay, kAyVolumeA, 0x0C);
  Write(ay, kAyVolumeB, 0x1F);  // the envelope's level instead
  ay.EnvelopeLevel = 6;
  // (mixer bits for A, tone output, noise output) -> sounds
  const struct {
    uint8_t mixer, tone, noise;
    bool sounds;
  } cases[] = {{0x00, 1, 1, true}, {0x00, 0, 1, false}, {0x00, 1, 0, false},
               {0x01, 0, 1, true}, {0x08, 1, 0, true},  {0x09, 0, 0, true}};
  for (const auto& k : cases) {
    Write(ay, kAyMixer, static_cast<uint8_t>(k.mixer | 0x02));  // B: tone off, noise on
    ay.ToneOutput[0] = k.tone;
    ay.NoiseOutput = k.noise;
    ay.UpdateChannelLevels(table);
    EXPECT_EQ(ay.ChannelLevel[0], k.sounds ? 112 : 0)
        << int(k.mixer) << int(k.tone) << int(k.noise);
    EXPECT_EQ(ay.ChannelLevel[1], k.noise ? 106 : 0);
  }
  // A tone too fast for any output rate is heard as its average: half the level, whatever the
  // phase; with its tone off, the channel is a plain level.
  Write(ay, kAyMixer, 0x3E);
  for (uint8_t period : {0, 1, 4}) {
    Write(ay, kAyToneFineA, period);
    for (uint8_t phase : {0, 1}) {
      ay.ToneOutput[0] = phase;
      ay.UpdateChannelLevels(table);
      EXPECT_EQ(ay.ChannelLevel[0], 112 / 2) << int(period) << " " << int(phase);
    }
  }
  Write(ay, kAyMixer, 0x3F);
  ay.UpdateChannelLevels(table);
  EXPECT_EQ(ay.ChannelLevel[0], 112);
}

}  // namespace
}  // namespace orvo
