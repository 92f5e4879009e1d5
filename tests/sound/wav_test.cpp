// WAV output: the file layout and orvo-run --wav end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/wav_file.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

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
  // Unsigned magnitudes become signed samples: silence is the bottom of the range.
  const int16_t expected[] = {-32768, 0, 32767, -16384};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(static_cast<int16_t>(Le(wav, 44 + 2 * i, 2)), expected[i]);

  const auto eight = BuildWavFile({1, 11025, 8, 1, 11025}, std::vector<uint8_t>{0x00, 0x40, 0xFF});
  ASSERT_EQ(eight.size(), 44u + 4);  // padded to an even length
  EXPECT_EQ(Le(eight, 40, 4), 3u);
  EXPECT_EQ(eight[45], 0x40);  // 8-bit stays unsigned
}

TEST(WavFile, OrvoRunRecordsARun) {
  const auto runner = test::BuildDir() / "orvo-run";
  ORVO_REQUIRE_FILE(runner);
  ORVO_REQUIRE_FILE(test::RomDir() / "48k.rom");
  const auto out = std::filesystem::temp_directory_path() / "orvo_run_test.wav";
  std::filesystem::remove(out);
  const std::string run = runner.string() + " --rom-dir " + test::RomDir().string() +
                          " --frames 50 --sound-freq 22050 --sound-bits 8 --sound-output mono";
  ASSERT_EQ(std::system((run + " --wav " + out.string() + " > /dev/null").c_str()), 0);
  const auto wav = test::ReadWholeFile(out);
  std::filesystem::remove(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(Le(wav, 20, 2), 1u);  // PCM
  EXPECT_EQ(Le(wav, 22, 2), 1u);
  EXPECT_EQ(Le(wav, 24, 4), 22050u);
  EXPECT_EQ(Le(wav, 34, 2), 8u);
  // 50 frames of 69888 T-states at 3.5 MHz: as many samples as that time holds at 22050 Hz.
  EXPECT_NEAR(Le(wav, 40, 4), 50.0 * 69888 * 22050 / 3500000, 1.0);
  // A bad value is refused.
  EXPECT_NE(std::system((run + " --sound-bits 12 2> /dev/null > /dev/null").c_str()), 0);
}

}  // namespace
}  // namespace orvo
