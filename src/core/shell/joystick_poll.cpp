#include "shell/joystick_poll.h"

#include <cstdlib>

#include "machine/game_controllers.h"
#include "machine/keyboard.h"
#include "shell/emulator.h"

namespace orvo {

namespace {

constexpr uint32_t kHotPlugFrames = 25;

int32_t OutsideDeadZone(int32_t v) {
  return std::abs(v) < kControllerDeadZone ? 0 : v;
}

}  // namespace

void FollowControllerName(Emulator& emu, const std::vector<std::string>& names) {
  // Without a remembered name the configured index stands.
  if (emu.settings.CurrentJoystickName.empty()) return;
  const int index = ControllerIndexByName(names, emu.settings.CurrentJoystickName);
  emu.settings.CurrentJoystick = index < 0 ? 0 : index;
}

void PollJoystick(Emulator& emu) {
  MachineState& m = emu.m;
  GameControllers* controllers = emu.host.Controllers();
  if (controllers == nullptr) return;
  if (m.FrameCount % kHotPlugFrames == 0) {
    controllers->Refresh();
    FollowControllerName(emu, controllers->Names());
  }
  ControllerReading r;
  if (!controllers->Read(emu.settings.CurrentJoystick, r)) {
    SetJoystickState(m, 0, 0, false);
    return;
  }
  SetJoystickState(m, OutsideDeadZone(r.x), OutsideDeadZone(r.y), r.fire);
}

}  // namespace orvo
