// Sound from a running machine: BEEP typed at the BASIC prompt, the AY programmed through its
// ports and a speaker flipped by interrupts, recorded frame by frame and measured from the
// waveform's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "machine/typing.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/sound_setup.h"
#include "sound/sound_output.h"
#include "sound/wav_file.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

struct RunningMachine {
  explicit RunningMachine(uint8_t model, int rate = 44100)
      : emu(std::make_unique<Emulator>(host)), m(emu->m) {
    emu->folders.ConfiguredRomDir = emu->folders.CurrentRomDir = test::RomDir().string() + "/";
    emu->settings.ModelType = model;
    emu->settings.Freq = rate;
    m.MachineModel = model;
    emu->NoThrottle = true;
    SetUpMachine(*emu);
    ResetMachine(*emu, true);
    InitSoundCapture(*emu, capture);
  }
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(*emu);
  }
  // The recording's samples of one side (16-bit signed, left then right; the beeper is on both).
  // From byte `from` of the recording.
  std::vector<int> Samples(int side = 0, size_t from = 0) const {
    const auto& bytes = capture.Samples();
    std::vector<int> out;
    for (size_t i = from + 2 * side; i + 3 < bytes.size() + 2 * side; i += 4)
      out.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return out;
  }

  test::RecordingHost host;
  std::unique_ptr<Emulator> emu;
  MachineState& m;
  WavCapture capture;
};

// The times of the recording's rising edges through the middle of its range, in samples, placed
// between the two samples they fall between.
std::vector<double> RisingEdges(const std::vector<int>& s) {
  std::vector<double> at;
  if (s.empty()) return at;
  const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
  const double mid = (*lo + *hi) / 2.0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] <= mid && s[i] > mid) at.push_back(i - 1 + (mid - s[i - 1]) / (s[i] - s[i - 1]));
  }
  return at;
}

// Code that writes AY registers through 0xFFFD and 0xBFFD, after DI and LD BC,0xFFFD.
std::vector<uint8_t> AyWrites(std::initializer_list<std::pair<uint8_t, uint8_t>> writes) {
  std::vector<uint8_t> code = {0xF3, 0x01, 0xFD, 0xFF};
  for (auto [reg, value] : writes) {
    code.insert(code.end(), {0x06, 0xFF, 0x3E, reg, 0xED, 0x79,      // LD B,0xFF; LD A,r; OUT (C),A
                             0x06, 0xBF, 0x3E, value, 0xED, 0x79});  // LD B,0xBF; ...
  }
  return code;
}

// Appends IM 2 with the vector at 0x80FF pointing to a routine at 0x9000 that flips the speaker,
// EI (or DI) and a HALT loop, and places `code` at `at`.
void HaltLoopWithSpeakerFlips(MachineState& m, std::vector<uint8_t> code, uint16_t at,
                              bool interrupts = true) {
  code.insert(code.end(), {0xED, 0x5E, 0x3E, 0x80, 0xED, 0x47});  // IM 2; LD A,0x80; LD I,A
  code.insert(code.end(), {static_cast<uint8_t>(interrupts ? 0xFB : 0xF3), 0x76, 0x18, 0xFD});
  const std::vector<uint8_t> handler = {
      0xF5, 0x3A, 0x00, 0x91,         // PUSH AF; LD A,(0x9100)
      0xEE, 0x10, 0x32, 0x00, 0x91,   // XOR 0x10; LD (0x9100),A
      0xD3, 0xFE, 0xF1, 0xFB, 0xC9};  // OUT (0xFE),A; POP AF; EI; RET
  std::copy(code.begin(), code.end(), m.PageTable[at >> 13] + (at & 0x1FFF));
  m.PageTable[4][0xFF] = 0x00;
  m.PageTable[4][0x100] = 0x90;
  std::copy(handler.begin(), handler.end(), m.PageTable[4] + 0x1000);
  m.PageTable[4][0x1100] = 0;
  m.cpu.PC = at;
}

// The frequency of a clean periodic recording, from its first and last rising edges.
double EdgeFrequency(const std::vector<int>& s, int rate) {
  const std::vector<double> edges = RisingEdges(s);
  if (edges.size() < 3) return 0;
  return (edges.size() - 1) * rate / (edges.back() - edges.front());
}

TEST(SoundMachine, BasicBeepsSoundAtTheirPitch) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  // Pitch 0 is middle C, pitch 9 the A above it, for a second each.
  for (auto [command, hz] : {std::pair{"BEEP 1,0", 261.63}, {"BEEP 1,9", 440.0}}) {
    RunningMachine r(kModel48K);
    r.Run(150);  // to the copyright message
    StartTyping(r.m, {reinterpret_cast<const uint8_t*>(command), std::strlen(command)});
    // Typing turns full speed on, which stops sampling: type at normal speed to hear the note.
    for (int frames = 0; frames < 3000 && TypingActive(r.m); ++frames) {
      r.m.FullSpeed = 0;
      r.Run(1);
    }
    ASSERT_FALSE(TypingActive(r.m));
    const size_t typed = r.capture.Samples().size();  // the keyboard's clicks before it
    r.Run(80);
    const auto s = r.Samples(0, typed);
    EXPECT_NEAR(static_cast<double>(RisingEdges(s).size()), hz, 3) << command;
    EXPECT_NEAR(EdgeFrequency(s, 44100), hz, hz * 0.01) << command;
    // The ROM drives EAR and MIC together: a mix of 2 x 16384 at "Sound Volume" 40, half
    // of it in signed samples.
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 16384);
  }
}

TEST(SoundMachine, AyTonesAtTheChipsPitchAtEveryRate) {
  ORVO_REQUIRE_FILE(test::RomDir() / "128k.rom");
  for (int rate : {11025, 22050, 44100, 48000}) {
    for (uint16_t period : {100, 250, 1000}) {
      RunningMachine r(kModel128K, rate);
      // Channel A alone at volume 15.
      std::vector<uint8_t> code = AyWrites({{7, 0x3E},
                                            {8, 15},
                                            {0, static_cast<uint8_t>(period)},
                                            {1, static_cast<uint8_t>(period >> 8)}});
      code.insert(code.end(), {0x18, 0xFE});                  // JR $
      std::copy(code.begin(), code.end(), r.m.PageTable[4]);  // 0x8000
      r.m.cpu.PC = 0x8000;
      r.Run(100);
      const auto s = r.Samples();
      // The chip's clock is half the CPU's, and a tone flips every `period` ticks of 8 clocks.
      const double chip = 1773450.0 / (16.0 * period);
      EXPECT_NEAR(EdgeFrequency(s, rate), chip, chip * 0.0005) << rate << " Hz, period " << period;
      // ABC stereo: channel A is on the left alone.
      EXPECT_EQ(*std::max_element(s.begin(), s.end()), 3999);
      const auto right = r.Samples(1);
      EXPECT_EQ(*std::max_element(right.begin(), right.end()), 0);
    }
  }
}

TEST(SoundMachine, BeeperPitchAndRecordingLengthFollowTheTStates) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  for (int rate : {11025, 44100}) {
    RunningMachine r(kModel48K, rate);
    // The speaker flips at every interrupt: a square wave of two frames.
    HaltLoopWithSpeakerFlips(r.m, {}, 0x8000);
    r.m.cpu.IFF1 = r.m.cpu.IFF2 = 0;
    const int frames = 250;
    r.Run(frames);
    const double hz = 3500000.0 / (2 * 69888.0);
    EXPECT_NEAR(EdgeFrequency(r.Samples(), rate), hz, hz * 0.0005) << rate;
    // As many samples as the emulated time holds, within one a second.
    const double expected = frames * 69888.0 * rate / 3500000.0;
    const size_t made = r.Samples().size() + r.m.sound.StagingPosition / 4;
    EXPECT_NEAR(static_cast<double>(made), expected, frames / 50.0 + 1) << rate;
  }
}

// A HALT waits for its interrupt in one step where nothing could tell the difference: the
// registers, the T-state, the fetch count and every sample (an AY tone and envelope running, the
// speaker flipped by the interrupt routine) come out as when each fetch is made on its own.
TEST(SoundMachine, HaltedFetchesInOneStepChangeNothing) {
  ORVO_REQUIRE_FILE(test::RomDir() / "128k.rom");
  const struct {
    uint16_t at;  // where the HALT loop runs (0x6000: contended memory)
    bool interrupts;
  } cases[] = {{0x8000, true}, {0x6000, true}, {0x8000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.at << " interrupts " << c.interrupts);
    std::vector<int> samples[2];
    std::vector<uint32_t> state[2];  // R, T-state, fetches, PC
    for (int oneByOne = 0; oneByOne < 2; ++oneByOne) {
      RunningMachine r(kModel128K);
      // AY: tone A, noise on B, an envelope on C, then the HALT loop.
      HaltLoopWithSpeakerFlips(
          r.m,
          AyWrites({{7, 0x2E}, {8, 15}, {0, 77}, {9, 12}, {6, 9}, {10, 16}, {11, 40}, {13, 10}}),
          c.at, c.interrupts);
      r.m.DebugHooksActive = static_cast<uint8_t>(oneByOne);  // watched: one fetch at a time
      r.Run(30);
      samples[oneByOne] = r.Samples();
      state[oneByOne] = {r.m.cpu.IR.w, r.m.FrameTState, r.m.FetchCount, r.m.cpu.PC};
    }
    EXPECT_EQ(samples[0], samples[1]);
    EXPECT_EQ(state[0], state[1]);
    EXPECT_GT(samples[0].size(), 30u * 800);
  }
}

}  // namespace
}  // namespace orvo
