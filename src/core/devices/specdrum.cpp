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

// The "DRUM" block: the DAC's last value.
void SpecDrumSave(const MachineState& m, std::vector<uint8_t>& out) {
  out.push_back(static_cast<uint8_t>((m.sound.SpecDrumLevel + 16384) / 128));
}

bool SpecDrumCheck(std::span<const uint8_t> block) {
  return block.size() == 1;
}

bool SpecDrumLoad(MachineState& m, std::span<const uint8_t> block) {
  if (!SpecDrumCheck(block)) return false;
  SpecDrumWrite(m, block[0]);
  return true;
}

}  // namespace

const Device kSpecDrumDevice = {.name = "SpecDrum",
                                .Fitted = SpecDrumFitted,
                                .Ports = SpecDrumPorts,
                                .stateId = "DRUM",
                                .SaveState = SpecDrumSave,
                                .CheckState = SpecDrumCheck,
                                .LoadState = SpecDrumLoad};

}  // namespace orvo
