// The SpecDrum: an 8-bit DAC written at low byte 0xDF on every model, 0x80 its centre.
#include "devices/standard_devices.h"
#include "machine/machine_state.h"
#include "sound/sound.h"

namespace orvo {

namespace {

void SpecDrumPortWrite(MachineState& m, uint16_t, uint8_t value) {
  SpecDrumWrite(m, value);
}

bool SpecDrumFitted(const MachineState& m) {
  return m.settings.SpecDrum != 0;
}

// On the 48K group the interface keeps the floating bus from being seen.
void SpecDrumPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0xDF, .write = SpecDrumPortWrite});
  rows.HoldFloatingBus();
}

}  // namespace

const Device kSpecDrumDevice = {
    .name = "SpecDrum", .Fitted = SpecDrumFitted, .Ports = SpecDrumPorts};

}  // namespace orvo
