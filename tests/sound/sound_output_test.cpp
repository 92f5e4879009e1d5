// The sound output: against a fake device (set-up and its failures, format corrections, frame
// sizes, the ring's segments, pacing, pausing and closing), SDL's disk driver and WAV files.
#include "sound/sound_output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/run_orvo.h"
#include "host/sdl_audio.h"
#include "machine/typing.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/sound_setup.h"
#include "sound/fake_audio_device.h"
#include "sound/sound.h"
#include "sound/wav_file.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

struct Rig {
  explicit Rig(uint8_t model = kModel48K) : emu(std::make_unique<Emulator>(host)), m(emu->m) {
    m.MachineModel = model;
    m.spec = ModelTable[model];
    host.audio = &device;
  }
  test::RecordingHost host;
  test::FakeAudioDevice device{&host.clock};
  std::unique_ptr<Emulator> emu;
  MachineState& m;
  std::vector<test::ShownMessage>& messages = host.messages;
};

TEST(SoundFormat, SampleStepFrameBytesAndCorrections) {
  // (model, Freq, Emulation Speed, Output, Soundbits) -> samples in a ring segment. The sample
  // step is the CPU's T-states per output sample at that speed, to 1/65536 T-state.
  const struct {
    uint8_t model;
    int freq;
    float speed;
    int output, bits;
    uint32_t samples;
  } cases[] = {
      // (Whole runs check the sample counts at the usual rates: the sound machine tests.)
      {kModel128K, 44100, 100, 1, 16, 882},
      {kModel48K, 22050, 100, 0, 8, 441},
      {kModel48K, 44100, 200, 2, 8, 882},  // each segment still holds 1/50 s of audio
      {kModel48K, 8000, 100, 0, 16, 220},  // raised to 11025
  };
  for (const auto& c : cases) {
    Rig rig(c.model);
    rig.m.settings.Freq = c.freq;
    rig.m.settings.EmulationSpeed = c.speed;
    rig.m.settings.Output = c.output;
    rig.m.settings.SoundBits = c.bits;
    ASSERT_EQ(InitSound(*rig.emu), 0);
    const double tstatesPerSecond = c.speed / 100.0 * rig.m.spec.cpuClockHz;
    const double step = rig.m.sound.SampleStep / 65536.0;
    EXPECT_NEAR(step * std::max(c.freq, 11025), tstatesPerSecond, 1.0) << c.freq << " " << c.speed;
    const uint32_t align = c.bits / 8 * (c.output ? 2 : 1);
    EXPECT_EQ(rig.m.sound.FrameBytes, c.samples * align) << c.freq << " " << c.speed;
    EXPECT_EQ(rig.device.ring.size(), 8 * rig.m.sound.FrameBytes);
    EXPECT_EQ(rig.device.format.blockAlign, align);
  }
  // A device that plays at most 22050 Hz, and none in 16 bits: the settings follow it. A tiny
  // speed at a high rate: a sample is shorter than a T-state, and a segment still fits.
  Rig rig, slow;
  rig.device.maxRate = 22050;
  rig.device.has16Bit = false;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  EXPECT_EQ(rig.m.settings.Freq, 22050);
  EXPECT_EQ(rig.m.settings.SoundBits, 8);
  slow.device.maxRate = slow.m.settings.Freq = 192000;
  slow.m.settings.EmulationSpeed = 2;
  ASSERT_EQ(InitSound(*slow.emu), 0);
  EXPECT_LT(slow.m.sound.SampleStep, 65536u);
  EXPECT_GT(slow.m.sound.SampleStep, 0u);
  EXPECT_LE(slow.m.sound.FrameBytes, kSoundStagingSize);
}

TEST(SoundInit, AFailureIsTwoMessagesAndTheMachineRunsOnSilently) {
  const std::pair<const char*, int> failures[] = {{"open", 101},    {"priority", 102},
                                                  {"primary", 103}, {"ring", 104},
                                                  {"play", 105},    {"no device", 101}};
  for (const auto& [fail, message] : failures) {
    Rig rig;
    rig.device.fail = fail;
    if (std::string(fail) == "no device") rig.host.audio = nullptr;
    rig.m.ports.BeeperLevel = 8192;
    StartSound(*rig.emu);
    // One message says what failed, the next that the program goes on without sound.
    ASSERT_EQ(rig.messages.size(), 2u) << fail;
    EXPECT_EQ(rig.messages[0].message, message) << fail;
    EXPECT_EQ(rig.messages[0].caption, CaptionId::PokeMemory);
    EXPECT_EQ(rig.messages[1].message, kMsgSoundInitFailed);
    EXPECT_EQ(rig.messages[1].caption, CaptionId::Error);
    // The sound system's reason follows the text, which names no Windows part.
    const std::string& text = rig.messages[0].text;
    EXPECT_EQ(text.find("Secondary"), std::string::npos) << text;
    if (rig.host.audio != nullptr) {
      EXPECT_EQ(text.substr(text.find('\n') + 1), "no " + std::string(fail));
    }
    // Load or Default Configuration does not try a failed device again.
    ReopenSound(*rig.emu);
    EXPECT_EQ(rig.messages.size(), 2u) << fail;
    EXPECT_EQ(rig.m.sound.Device, nullptr);
    EXPECT_FALSE(SoundPacesEmulation(rig.m));  // the frame loop keeps time itself
    if (message != 101) {
      EXPECT_EQ(rig.device.calls.back(), "close");
    }
    // Samples are still made, and thrown away a frame at a time.
    rig.m.InstructionTStates = 100;
    for (int i = 0; i < 3000; ++i) SoundInstructionStep(rig.m);
    EXPECT_LT(rig.m.sound.StagingPosition, rig.m.sound.FrameBytes);
  }
  Rig off;
  off.m.settings.Sound = 0;
  EXPECT_EQ(InitSound(*off.emu), 0);
  EXPECT_EQ(off.device.calls, (std::vector<std::string>{"open", "priority", "primary"}));
  EXPECT_FALSE(SoundPacesEmulation(off.m));
}

TEST(SoundInit, EchoAndReverbDelayByTheWholeLine) {
  // A click in the left channel (ABC: A only), then silence: the dry half at once, a quarter
  // back 6143 samples later as an echo, 6144 as a reverb, and silence between.
  for (int effect : {1, 2}) {
    Rig rig;
    rig.m.settings.Effect = effect;
    rig.m.sound.EchoLeft.readPosition = 1234;  // wherever an earlier run left it
    EXPECT_EQ(InitSound(*rig.emu), 0);
    std::vector<uint16_t> out;
    for (int i = 0; i <= EchoLine::kLength; ++i) {
      rig.m.sound.ay.ChannelLevel[0] = i == 0 ? 4000 : 0;
      out.push_back(MixSample(rig.m));
    }
    EXPECT_EQ(out[0], 4000 >> 1);
    EXPECT_EQ(out[EchoLine::kLength - (effect == 1)], 4000 >> 2) << effect;
    EXPECT_EQ(std::count(out.begin(), out.end(), 0), EchoLine::kLength - 1);
  }
}

void SubmitFrame(MachineState& m, uint8_t value) {
  std::fill_n(m.sound.SoundStaging.begin(), m.sound.FrameBytes, value);
  m.sound.StagingPosition = m.sound.FrameBytes;
  SubmitSoundFrame(m);
}

TEST(SoundRing, SegmentsPacingAndLostBuffers) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  const uint32_t fb = rig.m.sound.FrameBytes;
  test::FakeClock& clock = rig.host.clock;
  rig.device.bytesPerMs = fb / 20;  // one segment per 20 ms

  // A generated frame goes to segment 3, after the ring's three segments of silence, and the
  // emulation then waits until the device plays segment 2 (40 ms).
  rig.m.ports.BeeperLevel = 8192;
  rig.m.InstructionTStates = 80;
  const uint64_t t0 = clock.now_ns;
  for (int i = 0; i < 2000 && rig.device.writeOffsets.empty(); ++i) SoundInstructionStep(rig.m);
  EXPECT_EQ(rig.device.writeOffsets, std::vector<uint32_t>{3 * fb});
  EXPECT_EQ(rig.device.ring[3 * fb + 1], 0x20);
  EXPECT_NEAR((clock.now_ns - t0) / 1e6, 40.0, 1.5);
  EXPECT_EQ(rig.m.sound.SpecDrumLevel, 4096);

  // Then one frame per segment, round the ring, at the device's pace.
  const uint64_t t1 = clock.now_ns;
  for (int i = 0; i < 20; ++i) SubmitFrame(rig.m, static_cast<uint8_t>(i));
  EXPECT_EQ(rig.device.writeOffsets[5], 0u);
  EXPECT_EQ(rig.device.ring[4 * fb], 16);
  EXPECT_NEAR((clock.now_ns - t1) / 1e6, 20 * 20.0, 3.0);

  // A lost ring is restored and written again, a few times at most.
  rig.device.writeOffsets.clear();
  rig.device.lostWrites = 2;
  SubmitFrame(rig.m, 0x77);
  EXPECT_EQ(rig.device.writeOffsets.size(), 3u);
  rig.device.lostWrites = 1000;
  SubmitFrame(rig.m, 0x66);
  EXPECT_LT(rig.device.writeOffsets.size(), 20u);

  // A device that does not move holds a frame for a second at most.
  rig.device.bytesPerMs = 0;
  const uint64_t t2 = clock.now_ns;
  SubmitFrame(rig.m, 1);
  EXPECT_NEAR((clock.now_ns - t2) / 1e6, 1000.0, 2.0);
}

// A device that takes three segments at a time carries its position past the segment the wait
// is for. The wait ends as soon as the ring has room, so no frame waits longer than one of the
// device's blocks and fifty frames still take a second.
TEST(SoundRing, APositionThatJumpsPastTheSegmentCostsNoTripRoundTheRing) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  const uint32_t fb = rig.m.sound.FrameBytes;
  test::FakeClock& clock = rig.host.clock;
  rig.device.bytesPerMs = fb / 20;
  rig.device.blockBytes = 3 * (fb / 20) * 20;  // 60 ms of sound per block
  uint64_t longest = 0;
  const uint64_t t0 = clock.now_ns;
  for (int i = 0; i < 200; ++i) {
    const uint64_t before = clock.now_ns;
    SubmitFrame(rig.m, static_cast<uint8_t>(i));
    longest = std::max(longest, clock.now_ns - before);
  }
  EXPECT_LE(longest / 1e6, 61.0);
  EXPECT_NEAR((clock.now_ns - t0) / 1e9, 4.0, 0.1);
}

TEST(SoundRing, PauseAndClose) {
  Rig rig;
  ASSERT_EQ(InitSound(*rig.emu), 0);
  SubmitFrame(rig.m, 5);
  PauseSound(rig.m, 1);
  EXPECT_FALSE(rig.device.playing);
  EXPECT_EQ(rig.m.sound.SoundSegment, 2);
  EXPECT_EQ(rig.device.ring[3 * rig.m.sound.FrameBytes], 0);  // silenced
  PauseSound(rig.m, 0);
  EXPECT_TRUE(rig.device.playing);
  rig.m.ports.BeeperLevel = 16384;
  CloseSound(rig.m);
  EXPECT_EQ(rig.device.calls.back(), "close");
  EXPECT_EQ(rig.m.ports.BeeperLevel, 0u);
  PauseSound(rig.m, 0);  // nothing to do without a device
  EXPECT_EQ(rig.device.calls.back(), "close");
}

// A dialog stops the device; "Load BASIC Text File" then types at full speed and nothing started
// the device again. The frame loop does, so the machine is back at 50 frames a second at once
// instead of waiting a second per frame on a device that never moves.
TEST(SoundRing, FiftyFramesASecondAfterADialogAndTyping) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  Rig rig;
  rig.emu->folders.CurrentRomDir = test::RomDir().string();
  SetUpMachine(*rig.emu);
  ResetMachine(*rig.emu, true);
  ASSERT_EQ(InitSound(*rig.emu), 0);
  rig.device.bytesPerMs = rig.m.sound.FrameBytes / 20;
  rig.emu->NoThrottle = true;  // only the sound keeps the time
  const auto secondsFor50Frames = [&] {
    const uint64_t t0 = rig.host.clock.now_ns;
    for (int i = 0; i < 50; ++i) RunFrame(*rig.emu);
    return (rig.host.clock.now_ns - t0) / 1e9;
  };
  secondsFor50Frames();
  secondsFor50Frames();  // the ROM's start-up

  PauseSound(rig.m, 1);  // the file dialog
  const std::string text = "PRINT 1";
  StartTyping(rig.m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  for (int i = 0; i < 3000 && TypingActive(rig.m); ++i) RunFrame(*rig.emu);
  ASSERT_FALSE(TypingActive(rig.m));
  EXPECT_NEAR(secondsFor50Frames(), 1.0, 0.1);
  EXPECT_TRUE(rig.device.playing);

  PauseSound(rig.m, 1);  // a dialog whose caller did not start the sound again
  EXPECT_NEAR(secondsFor50Frames(), 1.0, 0.1);
}

// ---- WAV files ----

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

TEST(WavFile, HeaderSignednessAndPadding) {
  const auto wav = BuildWavFile({2, 22050, 16, 4, 88200},
                                std::vector<uint8_t>{0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x00, 0x40,
                                                     0x11});  // the torn last frame is left out
  ASSERT_EQ(wav.size(), 44u + 8);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 16), std::string("RIFF\x2C\0\0\0WAVEfmt ", 16));
  EXPECT_EQ(Le(wav, 22, 2), 2u);  // channels, block align and data size; the rest: orvo-run below
  EXPECT_EQ(Le(wav, 32, 2), 4u);
  EXPECT_EQ(Le(wav, 40, 4), 8u);
  // 16-bit samples are signed, silence at 0: they go into the file as they are.
  const int16_t expected[] = {0, -32768, -1, 16384};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(static_cast<int16_t>(Le(wav, 44 + 2 * i, 2)), expected[i]);

  const auto eight = BuildWavFile({1, 11025, 8, 1, 11025}, std::vector<uint8_t>{0x00, 0x40, 0xFF});
  ASSERT_EQ(eight.size(), 44u + 4);  // padded to an even length
  EXPECT_EQ(Le(eight, 40, 4), 3u);
  EXPECT_EQ(eight[45], 0x40);  // 8-bit stays unsigned
}

TEST(WavFile, OrvoRunRecordsARun) {
  ORVO_REQUIRE_FILE(test::BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  const test::TempDir dir;
  int status = -1;
  const std::string run = "--frames 50 --sound-freq 22050 --sound-bits 8 --sound-output mono";
  const std::string out = test::RunOrvo(run + " --wav " + dir / "run.wav", &status);
  ASSERT_EQ(status, 0) << out;
  const auto wav = test::ReadWholeFile(dir / "run.wav");
  ASSERT_GE(wav.size(), 44u);  // PCM, mono, 22050 Hz, 8 bits
  EXPECT_EQ(Le(wav, 20, 4), 0x10001u);
  EXPECT_EQ(Le(wav, 24, 4), 22050u);
  EXPECT_EQ(Le(wav, 34, 2), 8u);
  // 50 frames of 69888 T-states at 3.5 MHz: as many samples as that time holds at 22050 Hz.
  EXPECT_NEAR(Le(wav, 40, 4), 50.0 * 69888 * 22050 / 3500000, 1.0);
  // A bad value is refused.
  test::RunOrvo("--sound-bits 12", &status);
  EXPECT_NE(status, 0);
}

// A BEEP recorded at 16 and at 8 bits: both are centred on their silence (0 and 0x80), which
// is where the recording starts, and hold the same waveform.
TEST(WavFile, SixteenBitRecordingIsSignedAndCentredOnSilence) {
  ORVO_REQUIRE_FILE(test::BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  const test::TempDir dir;
  std::vector<uint8_t> wavs[2];
  for (int bits : {16, 8}) {
    const std::string wav = dir / (std::to_string(bits) + ".wav");
    int status = -1;
    const std::string out = test::RunOrvo(
        "--frames 160 --type 'BEEP .5,0\\n' --type-frame 100 --sound-output mono --sound-bits " +
            std::to_string(bits) + " --wav " + wav,
        &status);
    ASSERT_EQ(status, 0) << out;
    wavs[bits == 8] = test::ReadWholeFile(wav);
  }
  const std::vector<uint8_t>& w16 = wavs[0];
  const std::vector<uint8_t>& w8 = wavs[1];
  ASSERT_GT(w16.size(), 44u + 2 * 20000);
  ASSERT_EQ(Le(w16, 40, 4), 2 * Le(w8, 40, 4));  // as many samples in each
  const size_t n = Le(w8, 40, 4);
  double sum = 0;
  int16_t low = 0, high = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto s16 = static_cast<int16_t>(Le(w16, 44 + 2 * i, 2));
    sum += s16;
    low = std::min(low, s16);
    high = std::max(high, s16);
    if (i < 1000) {
      ASSERT_EQ(s16, 0) << "silence before the BEEP, sample " << i;
    }
    // The 8-bit file holds the top bits of the same level above its own silence.
    ASSERT_EQ(s16 >> 8, w8[44 + i] - 0x80) << "sample " << i;
  }
  EXPECT_GE(low, 0);
  EXPECT_GT(high, 4000) << "the BEEP is heard";
  // A square wave from silence to its level: the mean is a fraction of full scale, not the
  // -32768 of a recording whose silence is the bottom of the range.
  const double mean = sum / static_cast<double>(n) / 32768.0;
  EXPECT_GT(mean, 0.0);
  EXPECT_LT(mean, 0.25);
}

// ---- the SDL2 device with SDL's disk driver, which plays into a file ----

class SdlHost final : public Host {
 public:
  void ShowMessage(CaptionId, MessageId message, std::string_view) override {
    ADD_FAILURE() << "message " << int(message);
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  Clock& GetClock() override { return clock; }
  AudioDevice* Audio() override { return &device; }
  SystemClock clock;
  SdlAudioDevice device;
};

TEST(SdlAudio, DiskDriverPlaysTheSubmittedSamples) {
  const test::TempDir dir;
  const std::string out = dir / "disk.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  SdlHost host;
  auto emu = std::make_unique<Emulator>(host);
  emu->m.settings.Output = 0;
  ASSERT_EQ(InitSound(*emu), 0);
  ASSERT_STREQ(host.device.DriverName(), "disk");
  // Twelve frames of one-sample instructions at a steady beeper level, paced by the device.
  emu->m.ports.BeeperLevel = 8192;
  emu->m.InstructionTStates = 80;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 12 * 882; ++i) SoundInstructionStep(emu->m);
  EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  CloseSound(emu->m);
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  // What the device played: silence, then the mix 2 x 8192 as a signed 16-bit sample (half of it).
  const auto bytes = test::ReadWholeFile(out);
  size_t level = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int v = bytes[i] | (bytes[i + 1] << 8);
    level += v == 0x2000;
    ASSERT_TRUE(v == 0 || v == 0x2000) << v;
  }
  EXPECT_GT(level, 4u * 882);
}

}  // namespace
}  // namespace orvo
