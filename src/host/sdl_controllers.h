#pragma once
// Game controllers on SDL2. A device SDL knows as a game controller is read through its mapping
// (left stick or direction pad, the A button as fire); any other joystick through its first two
// axes, its first hat and its first button. SDL's video is not used: the devices are polled.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "machine/game_controllers.h"

namespace orvo {

class SdlGameControllers final : public GameControllers {
 public:
  SdlGameControllers();
  ~SdlGameControllers() override;
  SdlGameControllers(const SdlGameControllers&) = delete;
  SdlGameControllers& operator=(const SdlGameControllers&) = delete;

  // False when SDL's joystick subsystem could not start: there are then no controllers.
  bool Available() const { return subsystem_; }
  bool Refresh() override;
  std::vector<std::string> Names() override { return names_; }
  bool Read(int index, ControllerReading& reading) override;

 private:
  struct Device;
  void CloseAll();

  bool subsystem_ = false;
  std::vector<std::unique_ptr<Device>> devices_;
  std::vector<std::string> names_;
};

}  // namespace orvo
