// The +3's disk controller ports: main status at 0x2FFD and data at 0x3FFD (A15-A12 and A1). The
// controller itself is not emulated yet: the ports read 0xFF, and the last values are kept for
// the snapshot formats that store them. The +2A decodes the same lines with nothing behind them,
// and the 128K and +2 remember a write to 0x3FFD too. (Low byte 0xFF reads 0xFF on the +3, which
// has no floating bus: nothing needs to answer there.)
#include "devices/standard_devices.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

uint8_t StatusRead(MachineState& m, uint16_t, uint8_t) {
  // [+3 disk controller: main status register.]
  m.ports.Last2FFD = 0xFF;
  return 0xFF;
}
uint8_t DataRead(MachineState& m, uint16_t, uint8_t) {
  // [+3 disk controller: data register.]
  m.ports.Last3FFD = 0xFF;
  return 0xFF;
}
void DataWrite(MachineState& m, uint16_t, uint8_t value) {
  m.ports.Last3FFD = value;
  // [+3 disk controller: data register write.]
}

bool DiskPortsFitted(const MachineState& m) {
  return GroupOf(m.MachineModel) != ModelGroup::k48;
}

void DiskPorts(PortRowList& rows, const MachineState& m) {
  if (GroupOf(m.MachineModel) == ModelGroup::kPlus3) {
    rows.Add({.mask = 0xF002, .value = 0x2000, .read = StatusRead});
    rows.Add({.mask = 0xF002, .value = 0x3000, .read = DataRead, .write = DataWrite});
  } else {
    rows.Add({.mask = 0xF002, .value = 0x3000, .write = DataWrite});
  }
}

}  // namespace

const Device kDiskDevice = {
    .name = "+3 disk controller", .Fitted = DiskPortsFitted, .Ports = DiskPorts};

}  // namespace orvo
