#include "host/sdl_controllers.h"

#include <SDL.h>

#include <algorithm>

namespace orvo {

struct SdlGameControllers::Device {
  SDL_JoystickID id = -1;
  SDL_GameController* controller = nullptr;  // set when SDL has a mapping for the device
  SDL_Joystick* joystick = nullptr;          // otherwise the plain joystick
  std::string name;

  ~Device() {
    if (controller != nullptr) {
      SDL_GameControllerClose(controller);
    } else if (joystick != nullptr) {
      SDL_JoystickClose(joystick);
    }
  }
};

namespace {

// SDL's axes run from -32768 to 32767; the joystick's from -1000 to +1000.
int32_t ScaleAxis(int16_t value) {
  return std::clamp<int32_t>(static_cast<int32_t>(value) * 1000 / 32767, -1000, 1000);
}

}  // namespace

SdlGameControllers::SdlGameControllers() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The window is Qt's, not SDL's: the devices are read whether or not SDL thinks it has focus.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  subsystem_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  if (subsystem_) Refresh();
}

SdlGameControllers::~SdlGameControllers() {
  CloseAll();
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlGameControllers::CloseAll() {
  devices_.clear();
  names_.clear();
}

bool SdlGameControllers::Refresh() {
  if (!subsystem_) return false;
  // Takes in plug and unplug events and the devices' new states.
  SDL_GameControllerUpdate();
  SDL_JoystickUpdate();
  const int count = SDL_NumJoysticks();
  std::vector<std::unique_ptr<Device>> now;
  for (int i = 0; i < count; ++i) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    auto same = std::find_if(devices_.begin(), devices_.end(),
                             [id](const auto& d) { return d && d->id == id; });
    if (same != devices_.end()) {
      now.push_back(std::move(*same));
      continue;
    }
    auto device = std::make_unique<Device>();
    device->id = id;
    if (SDL_IsGameController(i)) device->controller = SDL_GameControllerOpen(i);
    if (device->controller == nullptr) device->joystick = SDL_JoystickOpen(i);
    if (device->controller == nullptr && device->joystick == nullptr) continue;  // skipped
    const char* name = device->controller ? SDL_GameControllerName(device->controller)
                                          : SDL_JoystickName(device->joystick);
    device->name = name ? name : "Game controller";
    now.push_back(std::move(device));
  }
  devices_ = std::move(now);
  std::vector<std::string> names;
  for (const auto& d : devices_) names.push_back(d->name);
  const bool changed = names != names_;
  names_ = std::move(names);
  return changed;
}

bool SdlGameControllers::Read(int index, ControllerReading& reading) {
  if (!subsystem_ || index < 0 || index >= static_cast<int>(devices_.size())) return false;
  const Device& d = *devices_[static_cast<size_t>(index)];
  reading = {};
  if (d.controller != nullptr) {
    SDL_GameControllerUpdate();
    SDL_GameController* c = d.controller;
    if (!SDL_GameControllerGetAttached(c)) return false;
    reading.x = ScaleAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX));
    reading.y = ScaleAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
    if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) reading.x = -1000;
    if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) reading.x = 1000;
    if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP)) reading.y = -1000;
    if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) reading.y = 1000;
    reading.fire = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_A) != 0;
    return true;
  }
  SDL_JoystickUpdate();
  SDL_Joystick* j = d.joystick;
  if (!SDL_JoystickGetAttached(j)) return false;
  if (SDL_JoystickNumAxes(j) >= 2) {
    reading.x = ScaleAxis(SDL_JoystickGetAxis(j, 0));
    reading.y = ScaleAxis(SDL_JoystickGetAxis(j, 1));
  }
  if (SDL_JoystickNumHats(j) >= 1) {
    const Uint8 hat = SDL_JoystickGetHat(j, 0);
    if (hat & SDL_HAT_LEFT) reading.x = -1000;
    if (hat & SDL_HAT_RIGHT) reading.x = 1000;
    if (hat & SDL_HAT_UP) reading.y = -1000;
    if (hat & SDL_HAT_DOWN) reading.y = 1000;
  }
  reading.fire = SDL_JoystickNumButtons(j) >= 1 && SDL_JoystickGetButton(j, 0) != 0;
  return true;
}

}  // namespace orvo
