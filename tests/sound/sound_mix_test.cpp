// The mixer and the per-instruction sampling: beeper levels per model, AY gating, SpecDrum,
// output modes, effects, volume and the staging layout.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "machine/machine_state.h"
#include "sound/sound.h"
#include "sound/sound_output.h"

namespace orvo {
namespace {

std::unique_ptr<MachineState> Machine(uint8_t model = kModel48K) {
  auto m = std::make_unique<MachineState>();
  m->MachineModel = model;
  m->spec = ModelTable[model];
  m->sound.ay.Reset();
  return m;
}

// Channel A at full volume with its tone and noise off: a constant level of 3999.
void LoudChannelA(MachineState& m) {
  AySelect(m, kAyMixer);
  AyWriteData(m, 0x3F);
  AySelect(m, kAyVolumeA);
  AyWriteData(m, 0x0F);
}

TEST(SoundVolumeTable, IsTheMeasuredLevelsScaled) {
  auto m = Machine();
  const uint16_t expected[16] = {0,   52,   77,   108,  163,  249,  342,  545,
                                 655, 1045, 1436, 1795, 2272, 2811, 3374, 3999};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m->sound.AyVolumeTable[i], expected[i]) << i;
}

TEST(SoundBeeper, PortFEBitsPerModel) {
  struct Case {
    uint8_t model, value;
    uint32_t level;
  };
  const Case cases[] = {
      {kModel16K, 0x08, 0},        {kModel48K, 0x08, 0},       {kModelPlus3, 0x08, 0},
      {kModel48K, 0x10, 8192},     {kModelPlus2A, 0x10, 8192}, {kModel16K, 0x18, 16384},
      {kModel48K, 0x18, 16384},    {kModel128K, 0x18, 16384},  {kModelPlus2, 0x18, 16384},
      {kModelCustom, 0x1F, 16384}, {kModelPlus2A, 0x18, 8192}, {kModelPlus3, 0xFF, 8192},
      {kModel128K, 0xE7, 0},
  };
  for (const Case& c : cases) {
    auto m = Machine(c.model);
    m->ports.BeeperLevel = 12345;
    BeeperPortWrite(*m, c.value);
    EXPECT_EQ(m->ports.BeeperLevel, c.level)
        << "model " << int(c.model) << " value " << int(c.value);
  }
}

TEST(SoundSpecDrum, DacLevelIsCentredOn0x80) {
  auto m = Machine();
  SpecDrumWrite(*m, 0x80);
  EXPECT_EQ(m->sound.SpecDrumLevel, 0);
  SpecDrumWrite(*m, 0x00);
  EXPECT_EQ(m->sound.SpecDrumLevel, -16384);
  SpecDrumWrite(*m, 0xFF);
  EXPECT_EQ(m->sound.SpecDrumLevel, 16256);
}

TEST(SoundAyGate, The48KHasNoAyUntilAY48KIsOn) {
  for (uint8_t model : {kModel16K, kModel48K}) {
    auto m = Machine(model);
    LoudChannelA(*m);
    m->sound.ay.ToneOutput[0] = 1;
    UpdateChannelLevels(*m);
    EXPECT_EQ(m->sound.ay.ChannelLevel[0], 0) << "model " << int(model);
    m->sound.ay.AyAccumulator = 17;
    AyTick(*m);
    EXPECT_EQ(m->sound.ay.AyAccumulator, 1u);
    m->sound.ay.ToneCounter[1] = 5;
    m->sound.ay.AyAccumulator = 17;
    AyTick(*m);  // the generators do not advance
    EXPECT_EQ(m->sound.ay.ToneCounter[1], 5);
    // Nor do ticks that fall due while the chip is absent.
    m->InstructionTStates = 100;
    m->sound.SampleAccumulator = m->sound.SampleStep;
    SoundInstructionStep(*m);
    m->sound.SampleAccumulator = m->sound.SampleStep;
    SoundInstructionStep(*m);
    EXPECT_EQ(m->sound.ay.ToneCounter[1], 5);

    // One write to the Fuller Box's register port switches the chip on.
    AyFullerSelect(*m, kAyVolumeB);
    EXPECT_EQ(m->settings.Ay48k, 1);
    UpdateChannelLevels(*m);
    EXPECT_EQ(m->sound.ay.ChannelLevel[0], 3999);
  }
  for (uint8_t model : {kModelCustom, kModel128K, kModelPlus3}) {
    auto m = Machine(model);
    LoudChannelA(*m);
    UpdateChannelLevels(*m);
    EXPECT_EQ(m->sound.ay.ChannelLevel[0], 3999) << "model " << int(model);
  }
}

// Sets the three channel levels and the beeper, then mixes one sample.
uint16_t Mix(MachineState& m, uint16_t a, uint16_t b, uint16_t c, uint32_t beeper) {
  m.sound.ay.ChannelLevel[0] = a;
  m.sound.ay.ChannelLevel[1] = b;
  m.sound.ay.ChannelLevel[2] = c;
  m.ports.BeeperLevel = beeper;
  return MixSample(m);
}

TEST(SoundMix, OutputModesWeightTheChannels) {
  auto m = Machine(kModel128K);
  m->settings.Output = 0;  // Mono: L = R = b + A + B + C
  EXPECT_EQ(Mix(*m, 100, 20, 3, 8192), 2 * (8192 + 123));
  m->settings.Output = 1;  // ABC: L = A + B + b, R = B + C + b
  EXPECT_EQ(Mix(*m, 100, 20, 3, 8192), (100 + 20 + 8192) + (20 + 3 + 8192));
  m->settings.Output = 2;  // ACB: L = A + C + b, R = B + C + b
  EXPECT_EQ(Mix(*m, 100, 20, 3, 8192), (100 + 3 + 8192) + (20 + 3 + 8192));
}

TEST(SoundMix, LoudSumsSaturateInsteadOfWrapping) {
  auto m = Machine(kModel128K);
  m->settings.Output = 0;
  // 2 x (16384 + 3 x 3999) = 56762 fits; a SpecDrum at full swing pushes it past the top.
  EXPECT_EQ(Mix(*m, 3999, 3999, 3999, 16384), 56762);
  m->settings.SpecDrum = 1;
  m->sound.SpecDrumLevel = 16256;
  EXPECT_EQ(Mix(*m, 3999, 3999, 3999, 16384), 65535);
  // A DAC below its centre pulls the mix down, clipping at silence rather than wrapping up.
  m->sound.SpecDrumLevel = -16384;
  EXPECT_EQ(Mix(*m, 0, 0, 0, 0), 0);
  EXPECT_EQ(Mix(*m, 0, 0, 0, 16384), 0);  // 16384 - 3 x 16384 per side
  m->settings.Output = 1;
  m->sound.SpecDrumLevel = -4096;
  EXPECT_EQ(Mix(*m, 1000, 1000, 1000, 16384), 2 * (2000 - 8192 + 16384));
}

TEST(SoundMix, TapeEarHighSetsTheBeeperTo4096) {
  auto m = Machine();
  m->settings.Output = 0;
  m->TapePlaying = 1;
  m->tape.EarBit = 0x40;
  m->ports.BeeperLevel = 0;
  EXPECT_EQ(MixSample(*m), 2 * 4096);
  m->tape.EarBit = 0;
  EXPECT_EQ(MixSample(*m), 2 * 4096);  // stays until the next port 0xFE write
  BeeperPortWrite(*m, 0x00);
  EXPECT_EQ(MixSample(*m), 0);
  m->TapePlaying = 0;
  m->tape.EarBit = 0x40;
  EXPECT_EQ(MixSample(*m), 0);
}

void SpeechHalf(MachineState& m) {
  m.sound.SpeechLevel = 0x12345678;
}

TEST(SoundMix, SpeechReplacesTheAyChannels) {
  auto m = Machine();
  m->settings.Output = 0;
  m->settings.USpeech = 1;
  m->sound.CurrahSpeechStep = &SpeechHalf;
  // Only the low 16 bits count, as a signed level: 0x5678 = 22136, three channels, both sides.
  EXPECT_EQ(Mix(*m, 3999, 3999, 3999, 0), 65535);
  m->sound.SpeechLevel = 1000;
  m->sound.CurrahSpeechStep = nullptr;
  EXPECT_EQ(Mix(*m, 3999, 3999, 3999, 0), 6000);
}

TEST(SoundMix, EchoAndReverbThroughTheDelayLines) {
  auto m = Machine(kModel128K);
  m->settings.Output = 1;
  m->settings.Effect = 1;
  // With both positions at 0 the echo reads what it has just written.
  const uint32_t l = 1000 + 200 + 8192, r = 200 + 30 + 8192;
  EXPECT_EQ(Mix(*m, 1000, 200, 30, 8192), (r >> 2) + (l >> 1) + (l >> 2) + (r >> 1));
  EXPECT_EQ(m->sound.EchoLeft.writePosition, 1);
  EXPECT_EQ(m->sound.EchoRight.readPosition, 1);

  auto v = Machine(kModel128K);
  v->settings.Output = 1;
  v->settings.Effect = 2;
  // Reverb: the lines start empty, so the first sample is half of each side...
  EXPECT_EQ(Mix(*v, 1000, 200, 30, 8192), (l >> 1) + (r >> 1));
  EXPECT_EQ(v->sound.EchoLeft.samples[0], l >> 1);
  // ... and the line feeds back 6144 samples later.
  for (int i = 1; i < EchoLine::kLength; ++i) Mix(*v, 0, 0, 0, 0);
  EXPECT_EQ(v->sound.EchoLeft.readPosition, 0);
  EXPECT_EQ(Mix(*v, 0, 0, 0, 0), ((l >> 1) >> 1) + ((r >> 1) >> 1));
}

// Generates one sample and returns the bytes it appended.
std::vector<uint8_t> OneSample(MachineState& m) {
  m.sound.StagingPosition = 0;
  m.sound.FrameBytes = 1000;
  m.sound.SampleAccumulator = m.sound.SampleStep + 1;
  GenerateSample(m);
  return {m.sound.SoundStaging.begin(), m.sound.SoundStaging.begin() + m.sound.StagingPosition};
}

TEST(SoundGenerate, VolumeGainSteps) {
  auto m = Machine();
  m->settings.Output = 0;
  m->ports.BeeperLevel = 8192;  // mono sample 16384
  const std::pair<int, uint16_t> cases[] = {{0, 0},      {30, 0},     {40, 16384},
                                            {70, 16384}, {80, 32768}, {100, 32768}};
  for (auto [volume, expected] : cases) {
    m->settings.SoundVolume = volume;
    const auto bytes = OneSample(*m);
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), expected) << "volume " << volume;
  }
  // Doubling a loud sample clips at full scale.
  m->ports.BeeperLevel = 16384;
  m->settings.SoundVolume = 100;
  const auto bytes = OneSample(*m);
  EXPECT_EQ(bytes[0] | (bytes[1] << 8), 65535);
}

TEST(SoundGenerate, StagingLayoutPerFormat) {
  auto m = Machine();
  m->ports.BeeperLevel = 8192;
  m->settings.SoundVolume = 40;
  m->settings.Output = 1;  // stereo: L + R = 16384 = 0x4000, written to both channels
  m->settings.SoundBits = 16;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x40}));
  m->settings.SoundBits = 8;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x40, 0x40}));
  m->settings.Output = 0;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x40}));
  m->settings.SoundBits = 16;
  EXPECT_EQ(OneSample(*m), (std::vector<uint8_t>{0x00, 0x40}));
}

TEST(SoundStep, AccumulatesOnlyWithSoundOnAndFullSpeedOff) {
  auto m = Machine();
  m->InstructionTStates = 11;
  m->settings.Sound = 0;
  SoundInstructionStep(*m);
  EXPECT_EQ(m->sound.SampleAccumulator, 0u);
  m->settings.Sound = 1;
  m->FullSpeed = 1;
  SoundInstructionStep(*m);
  EXPECT_EQ(m->sound.ay.AyAccumulator, 0u);
  m->FullSpeed = 0;
  SoundInstructionStep(*m);
  EXPECT_EQ(m->sound.SampleAccumulator, 11u);
  EXPECT_EQ(m->sound.ay.AyAccumulator, 11u);
}

TEST(SoundStep, AtMostOneSamplePerInstructionAndAyTicksEvery16) {
  auto m = Machine(kModel128K);
  m->sound.SampleStep = 10;
  m->sound.FrameBytes = 100000;
  m->InstructionTStates = 50;  // five samples' worth, but only one is taken
  SoundInstructionStep(*m);
  EXPECT_EQ(m->sound.StagingPosition, 4u);
  EXPECT_EQ(m->sound.SampleAccumulator, 40u);
  // The sample was taken before this instruction's ticks; they are due now: 50 T-states make
  // ticks while above 16, leaving 2.
  EXPECT_EQ(m->sound.ay.ToneCounter[0], 0);
  m->sound.ay.CatchUp();
  EXPECT_EQ(m->sound.ay.AyAccumulator, 2u);
  EXPECT_EQ(m->sound.ay.ToneCounter[0], 3);
  // Exactly 16 is not yet a tick.
  m->sound.ay.AyAccumulator = 0;
  m->InstructionTStates = 16;
  SoundInstructionStep(*m);
  m->sound.ay.CatchUp();
  EXPECT_EQ(m->sound.ay.AyAccumulator, 16u);
  EXPECT_EQ(m->sound.ay.ToneCounter[0], 3);
}

// The sampling as first written down: every instruction's AY ticks run right after it.
struct ReferenceSampler {
  static void Step(MachineState& m) {
    SoundState& s = m.sound;
    const uint32_t t = m.InstructionTStates;
    s.SampleAccumulator += t;
    s.ay.AyAccumulator += t;
    if (s.SampleAccumulator > s.SampleStep) GenerateSample(m);
    while (s.ay.AyAccumulator > kAyPeriod) AyTick(m);
  }
};

TEST(SoundStep, CatchingUpGivesTheSamplesOfTickingEveryInstruction) {
  // Two machines run the same instructions and register writes; one ticks the AY after every
  // instruction, the other only when a sample or a write needs it.
  for (uint8_t model : {kModel128K, kModel48K}) {
    auto eager = Machine(model), lazy = Machine(model);
    for (auto* m : {eager.get(), lazy.get()}) {
      m->sound.SampleStep = 23;
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
      if (rnd(40) == 0) {
        // A write as a tune would make it: short periods, noise, envelopes, mixer changes.
        const uint8_t reg = static_cast<uint8_t>(rnd(14));
        uint8_t value = static_cast<uint8_t>(rnd(256));
        if (reg == kAyEnvelopeCoarse) value &= 1;
        if (reg == kAyToneCoarseA || reg == kAyToneCoarseB || reg == kAyToneCoarseC) value &= 0;
        for (auto* m : {eager.get(), lazy.get()}) {
          AySelect(*m, reg);
          AyWriteData(*m, value);
        }
      }
      const uint32_t t = lengths[rnd(sizeof lengths)];
      eager->InstructionTStates = lazy->InstructionTStates = t;
      ReferenceSampler::Step(*eager);
      SoundInstructionStep(*lazy);
    }
    ASSERT_EQ(eager->sound.StagingPosition, lazy->sound.StagingPosition);
    ASSERT_GT(eager->sound.StagingPosition, 40000u);
    const auto& a = eager->sound.SoundStaging;
    const auto& b = lazy->sound.SoundStaging;
    size_t differ = 0;
    for (size_t i = 0; i < eager->sound.StagingPosition; ++i) differ += a[i] != b[i];
    EXPECT_EQ(differ, 0u) << "model " << int(model);
    if (model == kModel128K) {
      // The AY really played: many distinct levels.
      std::set<int> levels(a.begin(), a.begin() + eager->sound.StagingPosition);
      EXPECT_GT(levels.size(), 20u);
    }
  }
}

TEST(SoundFrame, FrameEndHalvesSlot16) {
  auto m = Machine();
  AySelect(*m, 20);
  AyWriteData(*m, 0x55);
  SoundFrameEnd(*m);
  EXPECT_EQ(AyReadData(*m), 0x2A);
  SoundFrameEnd(*m);
  EXPECT_EQ(AyReadData(*m), 0x15);
}

}  // namespace
}  // namespace orvo
