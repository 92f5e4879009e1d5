// Sound from a running machine: the ROM's beeper routine and the AY programmed through its ports,
// recorded frame by frame and measured from the waveform's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "machine/setup.h"
#include "machine/typing.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "sound/sound.h"
#include "sound/sound_output.h"
#include "sound/wav_file.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

class RunningMachine {
 public:
  explicit RunningMachine(uint8_t model) : emu(std::make_unique<Emulator>(host)), m(emu->m) {
    const std::string roms = test::RomDir().string() + "/";
    emu->folders.ConfiguredRomDir = emu->folders.CurrentRomDir = roms;
    m.settings.ModelType = model;
    m.MachineModel = model;
    m.settings.Sound = 1;
    emu->NoThrottle = true;
    SetUpMachine(*emu);
    ResetMachine(*emu, true);
  }

  void Run(int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(*emu);
  }
  void Poke(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) m.PageTable[address >> 13][address & 0x1FFF] = b, ++address;
  }
  void Jump(uint16_t pc) {
    m.cpu.PC = pc;
    m.cpu.Halted = 0;
  }
  void Record() { InitSoundCapture(*emu, capture); }

  // The left channel of the recording (16-bit two-channel), from sample `from` on.
  std::vector<int> Left(size_t from = 0) const {
    const auto& bytes = capture.Samples();
    std::vector<int> out;
    for (size_t i = from * 4; i + 3 < bytes.size(); i += 4)
      out.push_back(bytes[i] | (bytes[i + 1] << 8));
    return out;
  }

  test::RecordingHost host;
  std::unique_ptr<Emulator> emu;
  MachineState& m;
  WavCapture capture;
};

struct Edges {
  int count = 0;
  size_t first = 0, last = 0;
  // Frequency in Hz from the rising edges, at `rate` samples per second.
  double Frequency(double rate) const {
    return count < 2 ? 0.0 : (count - 1) * rate / static_cast<double>(last - first);
  }
};

// Rising edges through the midpoint between the lowest and highest sample.
Edges RisingEdges(const std::vector<int>& s) {
  Edges e;
  if (s.empty()) return e;
  int lo = s[0], hi = s[0];
  for (int v : s) lo = std::min(lo, v), hi = std::max(hi, v);
  const int mid = (lo + hi) / 2;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] <= mid && s[i] > mid) {
      if (e.count == 0) e.first = i;
      e.last = i;
      ++e.count;
    }
  }
  return e;
}

// Keeps the part of a recording from its first edge to its last, where the tone sounds.
std::vector<int> Sounding(const std::vector<int>& s) {
  size_t a = 0, b = s.size();
  while (a + 1 < s.size() && s[a] == s[a + 1]) ++a;
  while (b > a + 1 && s[b - 1] == s[b - 2]) --b;
  return {s.begin() + static_cast<long>(a), s.begin() + static_cast<long>(b)};
}

TEST(SoundMachine, RomBeeperAt440HzSoundsAt440Hz) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  RunningMachine r(kModel48K);
  r.Run(150);  // the ROM's start-up, to the copyright message
  r.Record();
  // What BEEP 1,0 hands the ROM's beeper: HL = 437500 / 440 - 30.125, DE = 440 cycles.
  r.Poke(0x8000, {0x21, 0xC4, 0x03,  // LD HL,964
                  0x11, 0xB8, 0x01,  // LD DE,440
                  0xCD, 0xB5, 0x03,  // CALL 0x03B5
                  0xF3,              // DI
                  0x18, 0xFE});      // JR $
  r.Jump(0x8000);
  r.Run(75);  // the one-second note and some silence after it

  const auto samples = r.Left();
  const auto tone = Sounding(samples);
  const Edges e = RisingEdges(tone);
  // One second of tone at 44100 samples per second.
  EXPECT_NEAR(static_cast<double>(tone.size()), 44100.0, 441.0);
  EXPECT_NEAR(e.count, 440, 3);
  EXPECT_NEAR(e.Frequency(44100.0), 440.0, 440.0 * 0.01);
  // The ROM drives EAR and MIC together: 2 x 16384 at "Sound Volume" 40 in ABC stereo.
  EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32768);
}

// The tone in a recording that also holds the keyboard's clicks: the spacing most rising edges
// share, and how many edges keep it.
struct Tone {
  double frequency = 0;
  int edges = 0;
};
Tone MainTone(const std::vector<int>& s, double rate) {
  std::vector<size_t> at;
  int lo = s.empty() ? 0 : s[0], hi = lo;
  for (int v : s) lo = std::min(lo, v), hi = std::max(hi, v);
  const int mid = (lo + hi) / 2;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] <= mid && s[i] > mid) at.push_back(i);
  }
  if (at.size() < 3) return {};
  std::vector<size_t> gaps;
  for (size_t i = 1; i < at.size(); ++i) gaps.push_back(at[i] - at[i - 1]);
  std::vector<size_t> sorted = gaps;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = static_cast<double>(sorted[sorted.size() / 2]);
  // Average over the edges near the median spacing, so the period is measured finer than a sample.
  double sum = 0;
  int n = 0;
  for (size_t g : gaps) {
    if (g >= median * 0.9 && g <= median * 1.1) sum += static_cast<double>(g), ++n;
  }
  return {rate * n / sum, n + 1};
}

// Types a BEEP command at the BASIC prompt and returns the recording of it.
std::vector<int> TypedBeep(const char* command, bool* typed) {
  RunningMachine r(kModel48K);
  r.Run(150);
  r.Record();
  StartTyping(r.m, {reinterpret_cast<const uint8_t*>(command), std::strlen(command)});
  // Typing turns full speed on, which stops sampling; run at normal speed so the note is heard.
  for (int frames = 0; frames < 3000 && TypingActive(r.m); ++frames) {
    r.m.FullSpeed = 0;
    r.Run(1);
  }
  *typed = !TypingActive(r.m);
  r.Run(80);  // the one-second note
  return r.Left();
}

TEST(SoundMachine, BasicBeepsTypedInSoundAtTheirPitch) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  // Pitch 0 is middle C; pitch 9 is the A above it, 440 Hz. The keyboard clicks of the typing
  // are in the recording too.
  const struct {
    const char* command;
    double hz;
  } cases[] = {{"BEEP 1,0", 261.63}, {"BEEP 1,9", 440.0}};
  for (const auto& c : cases) {
    bool typed = false;
    const auto samples = TypedBeep(c.command, &typed);
    if (!typed) GTEST_SKIP() << "the frame loop does not deliver typed text";
    const Tone tone = MainTone(samples, 44100.0);
    EXPECT_NEAR(tone.edges, c.hz, 3) << c.command;
    EXPECT_NEAR(tone.frequency, c.hz, c.hz * 0.01) << c.command;
  }
}

TEST(SoundMachine, AyTonePeriodThroughThePorts) {
  ORVO_REQUIRE_FILE(test::RomDir() / "128k.rom");
  RunningMachine r(kModel128K);
  r.m.settings.SoundVolume = 40;
  r.Record();
  // Channel A alone, volume 15, tone period 100, written through 0xFFFD and 0xBFFD.
  std::vector<uint8_t> code = {0xF3, 0x01, 0xFD, 0xFF};  // DI; LD BC,0xFFFD
  const uint8_t writes[][2] = {{7, 0x3E}, {8, 15}, {0, 100}, {1, 0}};
  for (const auto& w : writes) {
    code.insert(code.end(),
                {0x06, 0xFF, 0x3E, w[0], 0xED, 0x79,    // LD B,0xFF; LD A,reg; OUT (C),A
                 0x06, 0xBF, 0x3E, w[1], 0xED, 0x79});  // LD B,0xBF; LD A,val; OUT (C),A
  }
  code.insert(code.end(), {0x18, 0xFE});                                   // JR $
  for (size_t i = 0; i < code.size(); ++i) r.m.PageTable[4][i] = code[i];  // 0x8000
  r.Jump(0x8000);
  r.Run(100);

  // A tick every 16 T-states, a flip every 100 ticks: 3.5 MHz / 16 / 100 / 2 = 1093.75 Hz,
  // heard through an output clock of SampleStep x Freq = 80 x 44100 T-states a second.
  const double expected = 80.0 * 44100.0 / 16.0 / 100.0 / 2.0;
  const Edges e = RisingEdges(r.Left(2000));
  EXPECT_NEAR(e.Frequency(44100.0), expected, expected * 0.002);
  EXPECT_NEAR(e.Frequency(44100.0), 3500000.0 / 16.0 / 100.0 / 2.0, 1093.75 * 0.01);
  const auto left = r.Left(2000);
  // Both channels carry the mixed sample: channel A alone, once in each side's sum.
  EXPECT_EQ(*std::max_element(left.begin(), left.end()), 3999);
}

TEST(SoundMachine, WavRecordingOfAFrameRun) {
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  for (auto [freq, samplesPerFrame] : {std::pair{44100, 884}, {22050, 442}, {11025, 221}}) {
    RunningMachine r(kModel48K);
    r.m.settings.Freq = freq;
    r.m.settings.SoundBits = 8;
    r.m.settings.Output = 0;
    r.Record();
    EXPECT_EQ(r.m.sound.FrameBytes, static_cast<uint32_t>(samplesPerFrame));
    r.Run(10);
    // Ten frames of 69888 T-states at SampleStep T-states a sample, give or take the last one.
    const double expected = 10.0 * 69888 / r.m.sound.SampleStep;
    EXPECT_NEAR(static_cast<double>(r.capture.Samples().size() + r.m.sound.StagingPosition),
                expected, 2.0)
        << freq;
    const auto wav = BuildWavFile(r.m.sound.format, r.capture.Samples());
    EXPECT_EQ(wav[22], 1);  // one channel
    EXPECT_EQ(wav[34], 8);  // 8 bits
    EXPECT_EQ(wav[24] | (wav[25] << 8), freq);
  }
}

}  // namespace
}  // namespace orvo
