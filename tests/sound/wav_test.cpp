// WAV output: the file layout, the runner's sound options and orvo-run --wav end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/settings.h"
#include "sound/sound_run_options.h"
#include "sound/wav_file.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

TEST(WavFile, HeaderDescribesTheFormat) {
  WaveFormat f{2, 22050, 16, 4, 88200};
  const std::vector<uint8_t> samples(400, 0x80);
  const auto wav = BuildWavFile(f, samples);
  ASSERT_EQ(wav.size(), 44u + 400);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(wav, 4), 36u + 400);
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32(wav, 16), 16u);
  EXPECT_EQ(Le16(wav, 20), 1);  // PCM
  EXPECT_EQ(Le16(wav, 22), 2);
  EXPECT_EQ(Le32(wav, 24), 22050u);
  EXPECT_EQ(Le32(wav, 28), 88200u);
  EXPECT_EQ(Le16(wav, 32), 4);
  EXPECT_EQ(Le16(wav, 34), 16);
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
  EXPECT_EQ(Le32(wav, 40), 400u);
}

TEST(WavFile, SixteenBitMagnitudesBecomeSignedSamples) {
  WaveFormat f{1, 44100, 16, 2, 88200};
  const std::vector<uint8_t> samples = {0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x00, 0x40};
  const auto wav = BuildWavFile(f, samples);
  auto at = [&](int i) { return static_cast<int16_t>(Le16(wav, 44 + 2 * i)); };
  EXPECT_EQ(at(0), -32768);  // silence is the bottom of the range
  EXPECT_EQ(at(1), 0);
  EXPECT_EQ(at(2), 32767);
  EXPECT_EQ(at(3), -16384);
}

TEST(WavFile, EightBitStaysUnsignedAndOddDataIsPadded) {
  WaveFormat f{1, 11025, 8, 1, 11025};
  const std::vector<uint8_t> samples = {0x00, 0x40, 0xFF};
  const auto wav = BuildWavFile(f, samples);
  ASSERT_EQ(wav.size(), 44u + 4);
  EXPECT_EQ(Le32(wav, 40), 3u);
  EXPECT_EQ(Le32(wav, 4), 36u + 4);
  EXPECT_EQ(wav[44], 0x00);
  EXPECT_EQ(wav[45], 0x40);
  EXPECT_EQ(wav[46], 0xFF);
  // A torn last sample frame is left out.
  WaveFormat s{2, 44100, 16, 4, 176400};
  EXPECT_EQ(Le32(BuildWavFile(s, std::vector<uint8_t>(10, 1)), 40), 8u);
}

TEST(WavFile, WritesThroughATemporaryFileAndCleansUpOnFailure) {
  const auto dir = std::filesystem::temp_directory_path() / "orvo_wav_test_dir";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "a.wav").string();
  const std::vector<uint8_t> first = {1, 2, 3};
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, first, &error)) << error;
  EXPECT_EQ(test::ReadWholeFile(path), first);
  // A target that is a folder cannot be replaced.
  const std::string folder = (dir / "sub").string();
  std::filesystem::create_directories(folder);
  EXPECT_FALSE(WriteFileAtomically(folder, first, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));
  std::filesystem::remove_all(dir);
}

TEST(SoundRunOptions, ParsesValuesAndRejectsBadOnes) {
  std::vector<std::string> args = {"--wav",          "out.wav",      "--sound-freq",
                                   "22050",          "--sound-bits", "8",
                                   "--sound-output", "acb",          "--frames"};
  SoundRunOptions o;
  std::string error;
  size_t i = 0;
  for (int k = 0; k < 4; ++k, ++i) ASSERT_EQ(ParseSoundRunOption(args, i, o, &error), 1) << error;
  EXPECT_EQ(ParseSoundRunOption(args, i, o, &error), 0);  // not ours
  EXPECT_EQ(o.wavPath, "out.wav");
  EXPECT_EQ(o.freq, 22050);
  EXPECT_EQ(o.bits, 8);
  EXPECT_EQ(o.output, 2);

  Settings s;
  s.Sound = 0;
  WavRun(o).Configure(s);
  EXPECT_EQ(s.Sound, 1);
  EXPECT_EQ(s.Freq, 22050);
  EXPECT_EQ(s.SoundBits, 8);
  EXPECT_EQ(s.Output, 2);

  const std::vector<std::vector<std::string>> bad = {{"--sound-bits", "12"},
                                                     {"--sound-output", "surround"},
                                                     {"--sound-freq", "fast"},
                                                     {"--sound-freq", "-5"},
                                                     {"--wav"}};
  for (const auto& b : bad) {
    size_t j = 0;
    error.clear();
    EXPECT_EQ(ParseSoundRunOption(b, j, o, &error), -1) << b[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SoundRunOptions, OrvoRunWritesTheWav) {
  const auto runner = test::BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  const auto out = std::filesystem::temp_directory_path() / "orvo_run_test.wav";
  std::filesystem::remove(out);
  const std::string cmd = runner.string() + " --rom-dir " + test::RomDir().string() +
                          " --frames 50 --sound-freq 22050 --sound-bits 8 --sound-output mono" +
                          " --wav " + out.string() + " > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const auto wav = test::ReadWholeFile(out);
  std::filesystem::remove(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(Le16(wav, 22), 1);
  EXPECT_EQ(Le32(wav, 24), 22050u);
  EXPECT_EQ(Le16(wav, 34), 8);
  // 50 frames of 69888 T-states at 158 T-states a sample.
  EXPECT_NEAR(static_cast<double>(Le32(wav, 40)), 50.0 * 69888 / 158, 2.0);
}

}  // namespace
}  // namespace orvo
