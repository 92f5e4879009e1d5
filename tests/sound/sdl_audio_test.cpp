// The SDL2 sound device with SDL's dummy and disk drivers: no sound card is needed.
#include "host/sdl_audio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "shell/emulator.h"
#include "sound/sound.h"
#include "sound/sound_output.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

class SdlHost final : public Host {
 public:
  void ShowMessage(CaptionId, MessageId message, std::string_view) override {
    messages.push_back(message);
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  Clock& GetClock() override { return clock; }
  AudioDevice* Audio() override { return &device; }

  SystemClock clock;
  SdlAudioDevice device;
  std::vector<int> messages;
};

double MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

TEST(SdlAudio, DummyDriverPlaysTheRingAndPacesTheFrames) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlHost host;
  auto emu = std::make_unique<Emulator>(host);
  MachineState& m = emu->m;
  ASSERT_EQ(InitSound(*emu), 0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_STREQ(host.device.DriverName(), "dummy");
  EXPECT_TRUE(SoundPacesEmulation(m));

  // Ten frames of samples: the pacing holds them to the device's 20 ms a frame, after the three
  // segments of silence ahead of the first.
  m.InstructionTStates = 80;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10 * 884; ++i) SoundInstructionStep(m);
  const double elapsed = MsSince(start);
  EXPECT_GT(elapsed, 120.0);
  EXPECT_LT(elapsed, 1000.0);
  EXPECT_NE(host.device.WritePosition(), 0u);

  // Stopped, the position stands still.
  PauseSound(m, 1);
  const uint32_t stopped = host.device.WritePosition();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(host.device.WritePosition(), stopped);
  PauseSound(m, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_NE(host.device.WritePosition(), 0u);

  CloseSound(m);
  EXPECT_EQ(m.sound.Device, nullptr);
  EXPECT_STREQ(host.device.DriverName(), "");
}

TEST(SdlAudio, DiskDriverPlaysTheSubmittedSamples) {
  const std::filesystem::path out = std::filesystem::temp_directory_path() /
                                    ("orvo_sdl_disk_" + std::to_string(getpid()) + ".raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  SdlHost host;
  auto emu = std::make_unique<Emulator>(host);
  MachineState& m = emu->m;
  m.settings.Output = 0;
  m.settings.SoundBits = 16;
  ASSERT_EQ(InitSound(*emu), 0);
  ASSERT_STREQ(host.device.DriverName(), "disk");

  // A steady beeper level: 2 x 8192 = 0x4000 in every sample.
  m.ports.BeeperLevel = 8192;
  m.InstructionTStates = 80;
  for (int i = 0; i < 12 * 884; ++i) SoundInstructionStep(m);
  CloseSound(m);
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  const auto bytes = test::ReadWholeFile(out);
  std::filesystem::remove(out);
  // Silence (zero) before the first frame, then the level, as the device played them.
  size_t level = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int v = bytes[i] | (bytes[i + 1] << 8);
    EXPECT_TRUE(v == 0 || v == 0x4000) << "sample " << i / 2 << " = " << v;
    if (v == 0x4000) ++level;
    if (HasFailure()) break;
  }
  EXPECT_GT(level, 4u * 884);
}

}  // namespace
}  // namespace orvo
