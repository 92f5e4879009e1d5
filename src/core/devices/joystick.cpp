// The joystick interfaces with ports of their own: the Kempston (low byte 0x1F) and the Fuller
// (0x7F, the Fuller Box's joystick port). Either can be emulated from the keyboard ("keystick")
// or a game controller; the controller overrides the keystick when both emulate the same one.
#include "devices/standard_devices.h"
#include "machine/keyboard.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

constexpr int32_t kKempston = 1, kFuller = 2;

bool Emulates(const MachineState& m, int32_t type) {
  return m.settings.KeystickType == type || m.settings.JoystickType == type;
}
bool EmulatedNow(const MachineState& m, int32_t type) {
  return (m.input.KeystickActive && m.settings.KeystickType == type) ||
         (m.input.JoystickActive && m.settings.JoystickType == type);
}

uint8_t StickValue(const MachineState& m, int32_t type, uint16_t port) {
  const uint8_t high = static_cast<uint8_t>(port >> 8);
  if (m.input.JoystickActive && m.settings.JoystickType == type) return JoystickValue(m, 0, high);
  return KeystickValue(m, 0, high);
}

uint8_t KempstonRead(MachineState& m, uint16_t port, uint8_t value) {
  return EmulatedNow(m, kKempston) ? StickValue(m, kKempston, port) : value;
}
// The Fuller Box pulls a line low for each direction and fire pressed: 0xFF at rest.
uint8_t FullerRead(MachineState& m, uint16_t port, uint8_t value) {
  if (!EmulatedNow(m, kFuller)) return value;
  return static_cast<uint8_t>(~StickValue(m, kFuller, port));
}

bool KempstonFitted(const MachineState& m) {
  return Emulates(m, kKempston);
}
bool FullerFitted(const MachineState& m) {
  return Emulates(m, kFuller);
}

void KempstonPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0x1F, .read = KempstonRead});
}
void FullerPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0x7F, .read = FullerRead});
}

}  // namespace

const Device kKempstonJoystickDevice = {
    .name = "Kempston joystick", .Fitted = KempstonFitted, .Ports = KempstonPorts};
const Device kFullerJoystickDevice = {
    .name = "Fuller joystick", .Fitted = FullerFitted, .Ports = FullerPorts};

}  // namespace orvo
