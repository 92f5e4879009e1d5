// The mice. The AMX interface (48K group only) has two control bytes written at 0x5F and 0x7F,
// gives its movement on 0x1F and 0x3F and its buttons on 0xDF. The Kempston mouse answers 0xDF,
// its high byte choosing the buttons or a position (on the 48K and 128K groups).
#include "devices/standard_devices.h"
#include "machine/keyboard.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

constexpr int32_t kAmxMouse = 1, kKempstonMouse = 2;

uint8_t AmxDirectionRead(MachineState& m, uint16_t, uint8_t value) {
  return m.input.MouseCaptured ? m.input.AmxCurrentDirection : value;
}
uint8_t AmxButtonsRead(MachineState& m, uint16_t port, uint8_t) {
  return MousePortValue(m, port, true);
}
void AmxControlAWrite(MachineState& m, uint16_t, uint8_t value) {
  m.input.AmxControlA = value;
}
void AmxControlBWrite(MachineState& m, uint16_t, uint8_t value) {
  m.input.AmxControlB = value;
}

// The control bytes are latched whether or not the AMX is the chosen mouse.
bool AmxFitted(const MachineState& m) {
  return GroupOf(m.MachineModel) == ModelGroup::k48;
}

void AmxPorts(PortRowList& rows, const MachineState& m) {
  rows.Add({.mask = 0x00FF, .value = 0x5F, .write = AmxControlAWrite});
  rows.Add({.mask = 0x00FF, .value = 0x7F, .write = AmxControlBWrite});
  if (m.settings.MouseType != kAmxMouse) return;
  rows.Add({.mask = 0x00FF, .value = 0x1F, .read = AmxDirectionRead});
  rows.Add({.mask = 0x00FF, .value = 0x3F, .read = AmxDirectionRead});
  rows.Add({.mask = 0x00FF, .value = 0xDF, .read = AmxButtonsRead});
}

uint8_t KempstonMouseRead(MachineState& m, uint16_t port, uint8_t) {
  return MousePortValue(m, port, false);
}

bool KempstonMouseFitted(const MachineState& m) {
  return m.settings.MouseType == kKempstonMouse && GroupOf(m.MachineModel) != ModelGroup::kPlus3;
}

void KempstonMousePorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0xDF, .read = KempstonMouseRead});
}

// The "AMXM" block: the mouse type (0 none, 1 AMX, 2 Kempston), then the AMX interface's control
// registers, three bytes for each port (the first of each is the byte last written).
constexpr size_t kAmxmSize = 7;

void AmxSave(const MachineState& m, std::vector<uint8_t>& out) {
  const uint8_t type = static_cast<uint8_t>(m.settings.MouseType);
  out.insert(out.end(), {type, m.input.AmxControlA, 0, 0, m.input.AmxControlB, 0, 0});
}

bool AmxCheck(std::span<const uint8_t> block) {
  return block.size() == kAmxmSize;
}

// The chosen mouse is a setting of the window: only the interface's registers are loaded.
bool AmxLoad(MachineState& m, std::span<const uint8_t> block) {
  if (!AmxCheck(block)) return false;
  if (block[0] == kAmxMouse) {
    m.input.AmxControlA = block[1];
    m.input.AmxControlB = block[4];
  }
  return true;
}

}  // namespace

const Device kAmxMouseDevice = {.name = "AMX mouse",
                                .Fitted = AmxFitted,
                                .Ports = AmxPorts,
                                .stateId = "AMXM",
                                .SaveState = AmxSave,
                                .CheckState = AmxCheck,
                                .LoadState = AmxLoad};
const Device kKempstonMouseDevice = {
    .name = "Kempston mouse", .Fitted = KempstonMouseFitted, .Ports = KempstonMousePorts};

}  // namespace orvo
