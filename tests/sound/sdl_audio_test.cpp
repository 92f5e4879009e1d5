// The SDL2 sound device with SDL's disk driver, which plays into a file: no sound card needed.
#include "host/sdl_audio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "sound/sound.h"
#include "sound/sound_output.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

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
  const auto out = std::filesystem::temp_directory_path() /
                   ("orvo_sdl_disk_" + std::to_string(getpid()) + ".raw");
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
  std::filesystem::remove(out);
  size_t level = 0, other = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int v = bytes[i] | (bytes[i + 1] << 8);
    level += v == 0x2000;
    other += v != 0x2000 && v != 0;
  }
  EXPECT_EQ(other, 0u);
  EXPECT_GT(level, 4u * 882);
}

}  // namespace
}  // namespace orvo
