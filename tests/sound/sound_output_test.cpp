// The sound output against a fake device: set-up and its failures, format corrections, frame
// sizes, the ring's segments, pacing, pausing and closing.
#include "sound/sound_output.h"

#include <gtest/gtest.h>

#include <memory>

#include "shell/emulator.h"
#include "sound/fake_audio_device.h"
#include "sound/sound.h"

namespace orvo {
namespace {

struct Rig {
  explicit Rig(uint8_t model = kModel48K) : device(&host.inner.clock) {
    host.device = &device;
    emu = std::make_unique<Emulator>(host);
    emu->m.MachineModel = model;
    emu->m.spec = ModelTable[model];
  }
  MachineState& m() { return emu->m; }
  const std::vector<test::ShownMessage>& messages() { return host.inner.messages; }

  test::AudioHost host;
  test::FakeAudioDevice device;
  std::unique_ptr<Emulator> emu;
};

TEST(SoundFormat, SampleStepAndFrameSizes) {
  struct Case {
    uint8_t model;
    int freq;
    float speed;
    uint32_t step, samples;
  };
  const Case cases[] = {
      {kModel48K, 44100, 100, 79, 884},    {kModel128K, 44100, 100, 80, 886},
      {kModel48K, 22050, 100, 158, 442},   {kModel48K, 11025, 100, 316, 221},
      {kModel48K, 44100, 200, 158, 884},  // twice the T-states per sample, same audio per segment
      {kModelPlus3, 22050, 100, 160, 443},
  };
  for (const Case& c : cases) {
    Rig rig(c.model);
    rig.m().settings.Freq = c.freq;
    rig.m().settings.EmulationSpeed = c.speed;
    ASSERT_EQ(InitSound(*rig.emu), 0);
    EXPECT_EQ(rig.m().sound.SampleStep, c.step) << c.freq << " " << c.speed;
    EXPECT_EQ(rig.m().sound.FrameBytes, c.samples * 4) << c.freq << " " << c.speed;
    EXPECT_EQ(rig.device.ring.size(), 8 * c.samples * 4);
  }
}

TEST(SoundFormat, FrameBytesFollowChannelsAndBits) {
  const struct {
    int output, bits;
    uint32_t bytes;
    uint16_t channels, align;
  } cases[] = {{0, 8, 884, 1, 1}, {0, 16, 1768, 1, 2}, {1, 8, 1768, 2, 2}, {2, 16, 3536, 2, 4}};
  for (const auto& c : cases) {
    Rig rig;
    rig.m().settings.Output = c.output;
    rig.m().settings.SoundBits = c.bits;
    ASSERT_EQ(InitSound(*rig.emu), 0);
    EXPECT_EQ(rig.m().sound.FrameBytes, c.bytes);
    EXPECT_EQ(rig.device.format.channels, c.channels);
    EXPECT_EQ(rig.device.format.bitsPerSample, c.bits);
    EXPECT_EQ(rig.device.format.blockAlign, c.align);
    EXPECT_EQ(rig.device.format.averageBytesPerSecond, 44100u * c.align);
    EXPECT_EQ(rig.device.primaryFormat.samplesPerSecond, 44100u);
  }
}

TEST(SoundFormat, ExtremeSpeedsKeepAtLeastOneTStatePerSample) {
  Rig rig;
  rig.device.maxRate = 192000;
  rig.m().settings.Freq = 192000;
  rig.m().settings.EmulationSpeed = 2;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  EXPECT_EQ(rig.m().sound.SampleStep, 1u);
  EXPECT_GT(rig.m().sound.FrameBytes, 0u);
  EXPECT_LE(rig.m().sound.FrameBytes, kSoundStagingSize);
}

TEST(SoundInit, CorrectsRateAndDepthToTheDevice) {
  Rig low;
  low.m().settings.Freq = 8000;
  ASSERT_EQ(InitSound(*low.emu), 0);
  EXPECT_EQ(low.m().settings.Freq, 11025);

  Rig capped;
  capped.device.maxRate = 22050;
  ASSERT_EQ(InitSound(*capped.emu), 0);
  EXPECT_EQ(capped.m().settings.Freq, 22050);
  EXPECT_EQ(capped.m().sound.SampleStep, 158u);

  Rig eight;
  eight.device.has16Bit = false;
  ASSERT_EQ(InitSound(*eight.emu), 0);
  EXPECT_EQ(eight.m().settings.SoundBits, 8);
  EXPECT_TRUE(eight.messages().empty());
}

TEST(SoundInit, ResetsTheChipAndBuildsTheVolumeTable) {
  Rig rig;
  MachineState& m = rig.m();
  AySelect(m, 3);
  AyWriteData(m, 0x0F);
  m.sound.ay.ToneCounter[2] = 99;
  m.sound.AyVolumeTable[15] = 0;
  m.sound.EchoLeft.writePosition = 40;
  m.sound.EchoLeft.readPosition = 30;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  EXPECT_EQ(m.sound.ay.regs[3], 0);
  EXPECT_EQ(m.sound.ay.ToneCounter[2], 99);
  EXPECT_EQ(m.sound.AyVolumeTable[15], 3999);
  EXPECT_EQ(m.sound.EchoLeft.writePosition, 0);
  EXPECT_EQ(m.sound.EchoLeft.readPosition, 30);
  EXPECT_EQ(rig.device.calls,
            (std::vector<std::string>{"open", "priority", "primary", "ring", "clear", "play"}));
}

TEST(SoundInit, EachFailureShowsItsMessageAndLeavesNoDevice) {
  const struct {
    bool test::FakeAudioDevice::*flag;
    MessageId message;
  } cases[] = {
      {&test::FakeAudioDevice::failOpen, 101},    {&test::FakeAudioDevice::failPriority, 102},
      {&test::FakeAudioDevice::failPrimary, 103}, {&test::FakeAudioDevice::failRing, 104},
      {&test::FakeAudioDevice::failPlay, 105},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.device.*c.flag = true;
    rig.m().ports.BeeperLevel = 8192;
    StartSound(*rig.emu);
    ASSERT_EQ(rig.messages().size(), 2u) << int(c.message);
    EXPECT_EQ(rig.messages()[0].message, c.message);
    EXPECT_EQ(rig.messages()[0].caption, CaptionId::PokeMemory);
    EXPECT_EQ(rig.messages()[1].message, 100);
    EXPECT_EQ(rig.messages()[1].caption, CaptionId::Error);
    EXPECT_EQ(rig.m().sound.Device, nullptr);
    EXPECT_FALSE(rig.m().sound.SecondaryBuffer);
    EXPECT_FALSE(SoundPacesEmulation(rig.m()));
    if (c.message != 101) {
      EXPECT_EQ(rig.device.calls.back(), "close");
      EXPECT_EQ(rig.m().ports.BeeperLevel, 0u);
    }
  }
}

TEST(SoundInit, NoDeviceAtAllRunsOnUnpaced) {
  Rig rig;
  rig.host.device = nullptr;
  EXPECT_EQ(InitSound(*rig.emu), 1);
  ASSERT_EQ(rig.messages().size(), 1u);
  EXPECT_EQ(rig.messages()[0].message, 101);
  // Frames are generated and thrown away, and the frame loop keeps time itself.
  MachineState& m = rig.m();
  m.InstructionTStates = 100;
  for (int i = 0; i < 5000; ++i) SoundInstructionStep(m);
  EXPECT_LT(m.sound.StagingPosition, m.sound.FrameBytes);
  EXPECT_FALSE(SoundPacesEmulation(m));
}

TEST(SoundInit, SoundOffOpensTheDeviceWithoutARing) {
  Rig rig;
  rig.m().settings.Sound = 0;
  EXPECT_EQ(InitSound(*rig.emu), 0);
  EXPECT_EQ(rig.device.calls, (std::vector<std::string>{"open", "priority", "primary"}));
  EXPECT_FALSE(rig.m().sound.SecondaryBuffer);
  EXPECT_FALSE(SoundPacesEmulation(rig.m()));
}

// Fills SoundStaging with a frame whose bytes all equal `value` and submits it.
void SubmitFrame(MachineState& m, uint8_t value) {
  std::fill_n(m.sound.SoundStaging.begin(), m.sound.FrameBytes, value);
  m.sound.StagingPosition = m.sound.FrameBytes;
  SubmitSoundFrame(m);
}

TEST(SoundRing, FramesGoToSuccessiveSegmentsStartingAtThree) {
  Rig rig;
  rig.m().settings.Output = 0;
  rig.m().settings.SoundBits = 8;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  MachineState& m = rig.m();
  const uint32_t fb = m.sound.FrameBytes;
  EXPECT_EQ(m.sound.SoundSegment, 2);
  for (uint8_t i = 0; i < 9; ++i) SubmitFrame(m, static_cast<uint8_t>(0x10 + i));
  const std::vector<uint32_t> expected = {3 * fb, 4 * fb, 5 * fb, 6 * fb, 7 * fb,
                                          0,      fb,     2 * fb, 3 * fb};
  EXPECT_EQ(rig.device.writeOffsets, expected);
  EXPECT_EQ(rig.device.ring[3 * fb], 0x18);  // the ninth frame overwrote the first
  EXPECT_EQ(rig.device.ring[0], 0x15);
  EXPECT_EQ(m.sound.StagingPosition, 0u);
  EXPECT_EQ(m.sound.SpecDrumLevel, 4096);
}

TEST(SoundRing, GeneratingAFullFrameSubmitsIt) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  MachineState& m = rig.m();
  m.ports.BeeperLevel = 8192;
  m.InstructionTStates = 80;  // one sample per instruction at SampleStep 79
  for (int i = 0; i < 884; ++i) SoundInstructionStep(m);
  ASSERT_EQ(rig.device.writeOffsets.size(), 1u);
  EXPECT_EQ(rig.device.writeOffsets[0], 3 * m.sound.FrameBytes);
  // 2 x 8192 in both channels, little-endian.
  EXPECT_EQ(rig.device.ring[3 * m.sound.FrameBytes + 1], 0x40);
  EXPECT_EQ(rig.device.ring[4 * m.sound.FrameBytes - 1], 0x40);
  EXPECT_EQ(m.sound.ay.ChannelLevel[0], 0);
}

TEST(SoundRing, LostRingIsRestoredAndWrittenAgain) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  rig.device.lostWrites = 2;
  SubmitFrame(rig.m(), 0x77);
  EXPECT_EQ(rig.device.writeOffsets.size(), 3u);
  EXPECT_EQ(rig.device.ring[3 * rig.m().sound.FrameBytes], 0x77);
  // A ring that stays lost is given up on rather than tried for ever.
  rig.device.lostWrites = 1000;
  SubmitFrame(rig.m(), 0x66);
  EXPECT_LT(rig.device.writeOffsets.size(), 20u);
  EXPECT_EQ(rig.m().sound.StagingPosition, 0u);
}

TEST(SoundPacing, WaitsForTheDeviceToReachThePreviousSegment) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  MachineState& m = rig.m();
  test::FakeClock& clock = rig.host.inner.clock;
  // The device plays one segment per 20 ms.
  rig.device.bytesPerMs = m.sound.FrameBytes / 20;
  const uint64_t t0 = clock.now_ns;
  SubmitFrame(m, 1);  // segment 3: wait until the device is in segment 2, 40 ms in
  EXPECT_NEAR(static_cast<double>(clock.now_ns - t0) / 1e6, 40.0, 1.5);
  const uint64_t t1 = clock.now_ns;
  SubmitFrame(m, 2);  // segment 4: one more segment's time
  EXPECT_NEAR(static_cast<double>(clock.now_ns - t1) / 1e6, 20.0, 1.5);
  for (int i = 0; i < 20; ++i) SubmitFrame(m, 3);
  // Over many frames the emulation runs at the device's pace: 20 ms a frame.
  EXPECT_NEAR(static_cast<double>(clock.now_ns - t1) / 1e6, 21 * 20.0, 3.0);
}

TEST(SoundPacing, AStoppedDeviceHoldsEachFrameForOneSecondAtMost) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  rig.device.bytesPerMs = 0;  // the position never moves
  const uint64_t t0 = rig.host.inner.clock.now_ns;
  SubmitFrame(rig.m(), 1);
  const double waited = static_cast<double>(rig.host.inner.clock.now_ns - t0) / 1e6;
  EXPECT_GE(waited, 1000.0);
  EXPECT_LE(waited, 1002.0);
}

TEST(SoundPacing, RunsThePacingHookWhileWaiting) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  static int calls;
  calls = 0;
  rig.m().sound.PacingHook = [](MachineState&) { ++calls; };
  rig.device.bytesPerMs = rig.m().sound.FrameBytes / 20;
  SubmitFrame(rig.m(), 1);
  EXPECT_GT(calls, 30);
}

TEST(SoundControl, PauseStopsAndRestartsFromTheBeginning) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  MachineState& m = rig.m();
  SubmitFrame(m, 5);
  m.sound.SampleAccumulator = 50;
  m.sound.StagingPosition = 12;
  PauseSound(m, 1);
  EXPECT_FALSE(rig.device.playing);
  EXPECT_EQ(m.sound.SoundSegment, 2);
  EXPECT_EQ(m.sound.SampleAccumulator, 0u);
  EXPECT_EQ(m.sound.StagingPosition, 0u);
  EXPECT_EQ(rig.device.ring[3 * m.sound.FrameBytes], 0);  // cleared
  rig.device.calls.clear();
  PauseSound(m, 0);
  EXPECT_TRUE(rig.device.playing);
  EXPECT_EQ(rig.device.WritePosition(), 0u);
  EXPECT_EQ(rig.device.calls, (std::vector<std::string>{"clear", "restore", "play"}));
}

TEST(SoundControl, CloseReleasesEverythingAndSilencesTheBeeper) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  MachineState& m = rig.m();
  m.ports.BeeperLevel = 16384;
  CloseSound(m);
  EXPECT_EQ(rig.device.calls.back(), "close");
  EXPECT_EQ(m.sound.Device, nullptr);
  EXPECT_EQ(m.ports.BeeperLevel, 0u);
  EXPECT_EQ(m.sound.SoundSegment, 0);
  // Calls after closing do nothing.
  ClearSoundBuffer(m);
  PauseSound(m, 0);
  SubmitFrame(m, 1);
  EXPECT_EQ(rig.device.calls.back(), "close");
  // And the output can be opened again.
  EXPECT_EQ(InitSound(*rig.emu), 0);
  EXPECT_TRUE(rig.m().sound.SecondaryBuffer);
}

}  // namespace
}  // namespace orvo
