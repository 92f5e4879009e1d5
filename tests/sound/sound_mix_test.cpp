// The mixer and the per-instruction sampling: AY gating, output modes, saturation, the tape's
// level, volume, the staging layout, and catching up with the AY. (The beeper levels per model
// are set by the port decoder, and checked with it.)
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "machine/machine_state.h"
#include "sound/sound.h"

namespace orvo {
namespace {

std::unique_ptr<MachineState> Machine(uint8_t model = kModel48K) {
  auto m = std::make_unique<MachineState>();
  m->MachineModel = model;
  m->spec = ModelTable[model];
  m->sound.ay.Reset();
  return m;
}

TEST(SoundMix, The16KAnd48KHaveNoAyUntilItIsSwitchedOn) {
  for (uint8_t model : {kModel16K, kModel48K, kModelCustom, kModel128K}) {
    auto m = Machine(model);
    AySelect(*m, kAyMixer);
    AyWriteData(*m, 0x3F);  // tone and noise off: constantly at its volume
    AySelect(*m, kAyVolumeA);
    AyWriteData(*m, 0x0F);
    UpdateChannelLevels(*m);
    const bool absent = model == kModel16K || model == kModel48K;
    EXPECT_EQ(m->sound.ay.ChannelLevel[0], absent ? 0 : 3999) << int(model);
    if (!absent) continue;
    m->settings.Ay48k = 1;  // as a Fuller Box port access leaves it
    UpdateChannelLevels(*m);
    EXPECT_EQ(m->sound.ay.ChannelLevel[0], 3999);
  }
}

uint16_t Mix(MachineState& m, int32_t a, int32_t b, int32_t c, uint32_t beeper) {
  m.sound.ay.ChannelLevel[0] = static_cast<uint16_t>(a);
  m.sound.ay.ChannelLevel[1] = static_cast<uint16_t>(b);
  m.sound.ay.ChannelLevel[2] = static_cast<uint16_t>(c);
  m.ports.BeeperLevel = beeper;
  return MixSample(m);
}

TEST(SoundMix, OutputModesSaturationTapeAndSpecDrum) {
  auto m = Machine(kModel128K);
  m->settings.Output = 0;  // Mono: L = R = b + A + B + C
  EXPECT_EQ(Mix(*m, 100, 20, 3, 8192), 2 * (8192 + 123));
  EXPECT_EQ(Mix(*m, 3999, 3999, 3999, 16384), 56762);
  // Stereo pans the channels as the mode reads: ABC has A left, B centre, C right; ACB has C
  // in the centre and B right. The beeper is in the centre. Each side is twice its level.
  const struct {
    int output;
    uint16_t left, right;
  } pans[] = {
      {1, 2 * (8192 + 100 + 10), 2 * (8192 + 3 + 10)},
      {2, 2 * (8192 + 100 + 1), 2 * (8192 + 20 + 1)},
      {0, 2 * (8192 + 123), 2 * (8192 + 123)},
  };
  for (const auto& p : pans) {
    m->settings.Output = p.output;
    Mix(*m, 100, 20, 3, 8192);
    const StereoSample both = MixStereo(*m);
    EXPECT_EQ(both.left, p.left) << p.output;
    EXPECT_EQ(both.right, p.right) << p.output;
  }

  // The SpecDrum is signed about its centre; sums clip at the ends instead of wrapping.
  m->settings.Output = 0;
  m->settings.SpecDrum = 1;
  m->sound.SpecDrumLevel = 16256;
  EXPECT_EQ(Mix(*m, 3999, 3999, 3999, 16384), 65535);
  m->sound.SpecDrumLevel = -16384;
  EXPECT_EQ(Mix(*m, 0, 0, 0, 16384), 0);
  m->sound.SpecDrumLevel = -4096;
  EXPECT_EQ(Mix(*m, 1000, 1000, 1000, 16384), 2 * (3000 - 3 * 4096 + 16384));

  // A high tape EAR level sounds until the next port 0xFE write.
  auto t = Machine();
  t->settings.Output = 0;
  t->TapePlaying = 1;
  t->tape.EarBit = 0x40;
  EXPECT_EQ(MixSample(*t), 2 * 4096);
  t->tape.EarBit = 0;
  EXPECT_EQ(MixSample(*t), 2 * 4096);
  t->ports.BeeperLevel = 0;  // as a port 0xFE write with the EAR bit low leaves it
  EXPECT_EQ(MixSample(*t), 0);
}

// Generates one sample; returns the bytes it appended.
std::vector<uint8_t> OneSample(MachineState& m) {
  m.sound.StagingPosition = 0;
  m.sound.FrameBytes = 1000;
  m.sound.SampleAccumulator = m.sound.SampleStep + 1;
  GenerateSample(m);
  return {m.sound.SoundStaging.begin(), m.sound.SoundStaging.begin() + m.sound.StagingPosition};
}

TEST(SoundGenerate, VolumeAndLayout) {
  auto m = Machine();
  m->settings.Output = 0;
  // The mix (0..65535, silence 0) goes out as signed 16-bit samples from 0 to 32767.
  m->ports.BeeperLevel = 8192;  // mix 16384: 0x2000
  const std::pair<int, std::vector<uint8_t>> volumes[] = {
      {30, {0x00, 0x00}}, {40, {0x00, 0x20}}, {70, {0x00, 0x20}}, {80, {0x00, 0x40}}};
  for (const auto& [volume, bytes] : volumes) {
    m->settings.SoundVolume = volume;
    EXPECT_EQ(OneSample(*m), bytes) << "volume " << volume;
  }
  m->ports.BeeperLevel = 16384;  // doubled past full scale: clipped
  m->settings.SoundVolume = 100;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0xFF, 0x7F}));

  m->ports.BeeperLevel = 8192;
  m->settings.SoundVolume = 40;
  m->settings.Output = 1;  // stereo: the same value in both channels
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x00, 0x20, 0x00, 0x20}));
  m->settings.SoundBits = 8;  // unsigned, silence 0x80: 0x80 + 16384 / 512
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0xA0, 0xA0}));
  m->settings.Output = 0;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0xA0}));
  m->ports.BeeperLevel = 0;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x80}));
  m->settings.SoundBits = 16;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x00, 0x00}));
}

TEST(SoundStep, SamplesFallDueAtFractionalTStates) {
  auto m = Machine();
  m->settings.Sound = 1;
  m->settings.Output = 0;
  m->sound.FrameBytes = kSoundStagingSize - 8;
  // 1.5 T-states a sample (a low emulation speed): an instruction of 12 makes 8 samples.
  m->sound.SampleStep = 3u << (kSampleStepShift - 1);
  m->InstructionTStates = 12;
  SoundInstructionStep(*m);
  EXPECT_EQ(m->sound.StagingPosition, 8u * 2);
  // (Whole runs check the count of samples at the usual rates: the sound machine tests.)
}

TEST(SoundStep, CatchingUpGivesTheSamplesOfTickingAfterEveryInstruction) {
  // Two machines run the same instructions and register writes; one ticks the AY after every
  // instruction, the other when a sample or a write needs it.
  auto eager = Machine(kModel128K), lazy = Machine(kModel128K);
  for (auto* m : {eager.get(), lazy.get()}) {
    m->sound.SampleStep = 23 << kSampleStepShift;
    m->sound.FrameBytes = kSoundStagingSize - 8;
    m->settings.Output = 2;
  }
  uint32_t seed = 12345;
  auto rnd = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const uint8_t lengths[] = {4, 4, 4, 7, 8, 10, 11, 12, 13, 15, 17, 19, 21, 23};
  for (int i = 0; i < 60000; ++i) {
    if (rnd(40) == 0) {  // a tune's writes: short periods, noise, envelopes, mixer changes
      const uint8_t reg = static_cast<uint8_t>(rnd(14));
      uint8_t value = static_cast<uint8_t>(rnd(256));
      if (reg == kAyToneCoarseA || reg == kAyToneCoarseB || reg == kAyToneCoarseC) value = 0;
      if (reg == kAyEnvelopeCoarse) value &= 1;
      for (auto* m : {eager.get(), lazy.get()}) {
        AySelect(*m, reg);
        AyWriteData(*m, value);
      }
    }
    const uint32_t t = lengths[rnd(sizeof lengths)];
    eager->InstructionTStates = lazy->InstructionTStates = t;
    SoundState& s = eager->sound;
    s.SampleAccumulator += t << kSampleStepShift;
    s.ay.AyAccumulator += t;
    if (s.SampleAccumulator >= s.SampleStep) GenerateSample(*eager);
    while (s.ay.AyAccumulator > kAyPeriod) AyTick(*eager);
    SoundInstructionStep(*lazy);
  }
  // Nothing is sampled with `Sound` off or at full speed.
  lazy->settings.Sound = 0;
  SoundInstructionStep(*lazy);
  lazy->settings.Sound = 1;
  lazy->FullSpeed = 1;
  SoundInstructionStep(*lazy);
  const auto& a = eager->sound.SoundStaging;
  const auto& b = lazy->sound.SoundStaging;
  ASSERT_EQ(eager->sound.StagingPosition, lazy->sound.StagingPosition);
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + eager->sound.StagingPosition, b.begin()));
  // The AY really played.
  EXPECT_GT(std::set<int>(a.begin(), a.begin() + eager->sound.StagingPosition).size(), 20u);
}

}  // namespace
}  // namespace orvo
