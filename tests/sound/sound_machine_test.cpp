// Sound from a running machine: BEEP typed at the BASIC prompt and the AY programmed through its
// ports, recorded frame by frame and measured from the waveform's edges.
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
  explicit RunningMachine(uint8_t model) : emu(std::make_unique<Emulator>(host)), m(emu->m) {
    emu->folders.ConfiguredRomDir = emu->folders.CurrentRomDir = test::RomDir().string() + "/";
    emu->settings.ModelType = model;
    m.MachineModel = model;
    emu->NoThrottle = true;
    SetUpMachine(*emu);
    ResetMachine(*emu, true);
    InitSoundCapture(*emu, capture);
  }
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(*emu);
  }
  // The recording's samples (16-bit, two channels carrying the same value).
  std::vector<int> Samples() const {
    const auto& bytes = capture.Samples();
    std::vector<int> out;
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) out.push_back(bytes[i] | (bytes[i + 1] << 8));
    return out;
  }

  test::RecordingHost host;
  std::unique_ptr<Emulator> emu;
  MachineState& m;
  WavCapture capture;
};

// The tone of a recording that may also hold clicks: the spacing most rising edges share,
// averaged over the edges that keep it, and how many there are.
struct Tone {
  double hz = 0;
  int edges = 0;
};
Tone MainTone(const std::vector<int>& s) {
  if (s.empty()) return {};
  const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
  const int mid = (*lo + *hi) / 2;
  std::vector<size_t> gaps;
  size_t last = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] <= mid && s[i] > mid) {
      if (last) gaps.push_back(i - last);
      last = i;
    }
  }
  if (gaps.size() < 2) return {};
  std::vector<size_t> sorted = gaps;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = static_cast<double>(sorted[sorted.size() / 2]);
  double sum = 0;
  int n = 0;
  for (size_t g : gaps) {
    if (g >= median * 0.9 && g <= median * 1.1) sum += static_cast<double>(g), ++n;
  }
  return {44100.0 * n / sum, n + 1};
}

TEST(SoundMachine, BasicBeepsSoundAtTheirPitch) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  // Pitch 0 is middle C, pitch 9 the A above it. One second each; the keyboard's clicks while
  // typing are in the recording too.
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
    r.Run(80);
    const Tone tone = MainTone(r.Samples());
    EXPECT_NEAR(tone.edges, hz, 3) << command;
    EXPECT_NEAR(tone.hz, hz, hz * 0.01) << command;
    // The ROM drives EAR and MIC together: 2 x 16384 at "Sound Volume" 40.
    const auto s = r.Samples();
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 32768);
  }
}

TEST(SoundMachine, AyTonePeriodThroughThePorts) {
  ORVO_REQUIRE_FILE(test::RomDir() / "128k.rom");
  RunningMachine r(kModel128K);
  // Channel A alone at volume 15 with tone period 100, through 0xFFFD and 0xBFFD.
  std::vector<uint8_t> code = {0xF3, 0x01, 0xFD, 0xFF};  // DI; LD BC,0xFFFD
  for (auto [reg, value] : {std::pair<uint8_t, uint8_t>{7, 0x3E}, {8, 15}, {0, 100}, {1, 0}}) {
    code.insert(code.end(), {0x06, 0xFF, 0x3E, reg, 0xED, 0x79,      // LD B,0xFF; LD A,r; OUT (C),A
                             0x06, 0xBF, 0x3E, value, 0xED, 0x79});  // LD B,0xBF; LD A,v; OUT (C),A
  }
  code.insert(code.end(), {0x18, 0xFE});                  // JR $
  std::copy(code.begin(), code.end(), r.m.PageTable[4]);  // 0x8000
  r.m.cpu.PC = 0x8000;
  r.Run(100);

  // A flip every 100 ticks of 16 T-states: 3.5 MHz / 16 / 100 / 2 = 1094 Hz, heard through an
  // output clock of SampleStep x Freq = 80 x 44100 T-states a second (exactly 40 samples).
  const Tone tone = MainTone(r.Samples());
  EXPECT_NEAR(tone.hz, 80.0 * 44100.0 / 16.0 / 100.0 / 2.0, 0.01);
  EXPECT_NEAR(tone.hz, 3500000.0 / 16.0 / 100.0 / 2.0, 1094.0 * 0.01);
  const auto s = r.Samples();
  EXPECT_EQ(*std::max_element(s.begin(), s.end()), 3999);
}

}  // namespace
}  // namespace orvo
