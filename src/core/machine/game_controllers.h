#pragma once
// The host's game controllers as the machine's joystick sees them. The SDL2 implementation lives
// in host/; tests use SDL's virtual joysticks or fakes.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

// One reading of a controller: the stick (and direction pad) as axes from -1000 (left, up) to
// +1000 (right, down), and the fire button.
struct ControllerReading {
  int32_t x = 0;
  int32_t y = 0;
  bool fire = false;
};

class GameControllers {
 public:
  virtual ~GameControllers() = default;
  // Takes in controllers plugged in or pulled out since the last call; true when the list of
  // names changed.
  virtual bool Refresh() = 0;
  // The attached controllers' names, in the order their indexes use.
  virtual std::vector<std::string> Names() = 0;
  // Reads controller `index`; false when there is no such controller.
  virtual bool Read(int index, ControllerReading& reading) = 0;
};

// Axis values nearer the centre than this count as the centre: a worn stick at rest does not
// drift the joystick.
inline constexpr int32_t kControllerDeadZone = 250;

// The index of the controller called `name` in `names`; the first when there is no such name (or
// none was remembered); -1 when there is no controller.
int ControllerIndexByName(const std::vector<std::string>& names, const std::string& name);

}  // namespace orvo
