// A game controller as the Spectrum's joystick, through SDL's virtual joysticks: plugged in and
// pulled out, found again by name, its stick and fire read by a program on the machine.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "devices/device.h"
#include "host/sdl_controllers.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/joystick_poll.h"
#include "shell/machine_setup.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

class ControllerHost final : public Host {
 public:
  void ShowMessage(CaptionId caption, MessageId message, std::string_view detail) override {
    inner.ShowMessage(caption, message, detail);
  }
  bool AskYesNo(std::string_view caption, std::string_view text) override {
    return inner.AskYesNo(caption, text);
  }
  Clock& GetClock() override { return inner.clock; }
  GameControllers* Controllers() override { return &controllers; }
  RecordingHost inner;
  SdlGameControllers controllers;
};

// A virtual stick with two axes and one button, held open so the test can move it.
struct VirtualStick {
  explicit VirtualStick() {
    index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
    if (index >= 0) handle = SDL_JoystickOpen(index);
  }
  ~VirtualStick() {
    if (handle) SDL_JoystickClose(handle);
    if (index >= 0) SDL_JoystickDetachVirtual(index);
  }
  void Set(int16_t x, int16_t y, bool fire) {
    SDL_JoystickSetVirtualAxis(handle, 0, x);
    SDL_JoystickSetVirtualAxis(handle, 1, y);
    SDL_JoystickSetVirtualButton(handle, 0, fire ? 1 : 0);
  }
  int index = -1;
  SDL_Joystick* handle = nullptr;
};

TEST(GameController, HotPlugAndRememberedByName) {
  SdlGameControllers controllers;
  ASSERT_TRUE(controllers.Available()) << SDL_GetError();
  controllers.Refresh();
  const size_t before = controllers.Names().size();
  {
    VirtualStick stick;
    ASSERT_GE(stick.index, 0) << SDL_GetError();
    EXPECT_TRUE(controllers.Refresh());
    ASSERT_EQ(controllers.Names().size(), before + 1);
    EXPECT_FALSE(controllers.Refresh()) << "nothing new";
  }
  EXPECT_TRUE(controllers.Refresh());
  EXPECT_EQ(controllers.Names().size(), before);

  // The chosen controller is found by its name wherever it comes in the list; a name that is
  // not there gives the first; no controllers, none.
  const std::vector<std::string> names = {"Pad A", "Pad B", "Pad C"};
  EXPECT_EQ(ControllerIndexByName(names, "Pad C"), 2);
  EXPECT_EQ(ControllerIndexByName(names, "Gone"), 0);
  EXPECT_EQ(ControllerIndexByName({}, "Pad C"), -1);
}

TEST(GameController, MovesAKempstonReadingProgram) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  ControllerHost host;
  ASSERT_TRUE(host.controllers.Available()) << SDL_GetError();
  auto emu = std::make_unique<Emulator>(host);
  MachineState& m = emu->m;
  emu->folders.CurrentRomDir = RomDir().string();
  m.MachineModel = kModel48K;
  emu->NoThrottle = true;
  SetUpMachine(*emu);
  ResetMachine(*emu, true);
  m.settings.JoystickType = 1;  // Kempston
  m.input.JoystickActive = 1;
  UpdateDevices(m);
  // DI; loop: IN A,(0x1F); LD (0x8100),A; JR loop
  const uint8_t program[] = {0xF3, 0xDB, 0x1F, 0x32, 0x00, 0x81, 0x18, 0xF9};
  for (size_t i = 0; i < sizeof program; ++i) m.PageTable[4][i] = program[i];
  m.cpu.PC = 0x8000;
  const auto valueAfterFrames = [&](int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(*emu);
    return m.Peek(0x8100);
  };

  VirtualStick stick;
  ASSERT_GE(stick.index, 0) << SDL_GetError();
  m.FrameCount = 0;  // the poll looks for new controllers now
  emu->settings.CurrentJoystickName = SDL_JoystickName(stick.handle);
  stick.Set(-32768, 0, true);
  EXPECT_EQ(valueAfterFrames(2), 0x12) << "left and fire";
  stick.Set(32767, 32767, false);
  EXPECT_EQ(valueAfterFrames(2), 0x05) << "right and down";
  stick.Set(3000, -4000, false);  // a stick resting off centre
  EXPECT_EQ(valueAfterFrames(2), 0x00) << "inside the dead zone";
  stick.Set(0, -20000, false);
  EXPECT_EQ(valueAfterFrames(2), 0x08) << "up";
}

}  // namespace
}  // namespace orvo::test
