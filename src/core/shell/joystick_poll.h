#pragma once
// The game controller as the machine's joystick: read once a frame while a joystick type is
// chosen.
#include <string>
#include <vector>

namespace orvo {

class Emulator;

// Follows controllers plugged in and pulled out (every half second), keeps the chosen one by its
// name, and hands its reading to the machine with the centre's dead zone. A controller that is
// gone lets go of every direction and fire instead of leaving them held.
void PollJoystick(Emulator& emu);
// `CurrentJoystick` becomes the index of the controller called `CurrentJoystickName` in `names`,
// else the first; with no name remembered it stays as it is.
void FollowControllerName(Emulator& emu, const std::vector<std::string>& names);

}  // namespace orvo
