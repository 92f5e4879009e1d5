// The 128K family's paging registers. The 128K and +2 decode 0x7FFD on A15 and A1 low only, so it
// answers at every port with those two lines low (0x3FFD, 0x1FFD, ...); a read there acts as a
// write of whatever is on the data bus. The +2A and
// +3 add 0x1FFD (A15-A12 and A1) and return their own floating-bus byte at 0x0FFD. The Pentagon
// decodes 0x7FFD as the 128K does but pages on writes alone.
#include "devices/standard_devices.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "video/ula.h"

namespace orvo {

namespace {

uint8_t PagingRead128(MachineState& m, uint16_t, uint8_t) {
  const uint8_t v = FloatingBusValue(m);
  Write7FFD128(m, v);
  return v;
}
void PagingWrite128(MachineState& m, uint16_t port, uint8_t value) {
  // Kept for snapshots that record the last 0x1FFD write whatever the model.
  if ((port & 0xF002) == 0x1000) m.Last1FFD = value;
  Write7FFD128(m, value);
}

void PagingWritePlus3(MachineState& m, uint16_t, uint8_t value) {
  Write7FFDPlus3(m, value);
}
void Paging1FFDWritePlus3(MachineState& m, uint16_t, uint8_t value) {
  Write1FFD(m, value);
}
uint8_t FloatingBusReadPlus3(MachineState& m, uint16_t, uint8_t) {
  const uint8_t v = FloatingBusPlus3(m);
  m.ports.Last0FFDRead = v;
  return v;
}

bool PagingFitted(const MachineState& m) {
  return GroupOf(m.MachineModel) != ModelGroup::k48;
}

void PagingPorts(PortRowList& rows, const MachineState& m) {
  if (m.MachineModel == kModelPentagon) {
    // The Pentagon decodes the same lines, for writes only: a read leaves the paging alone.
    rows.Add({.mask = 0x8002, .value = 0x0000, .write = PagingWrite128});
  } else if (GroupOf(m.MachineModel) == ModelGroup::k128) {
    // A15 and A1 low: 0x7FFD, and 0x3FFD, 0x1FFD, 0x0FFD ... as well.
    rows.Add({.mask = 0x8002, .value = 0x0000, .read = PagingRead128, .write = PagingWrite128});
  } else {
    rows.Add({.mask = 0xC002, .value = 0x4000, .write = PagingWritePlus3});
    rows.Add({.mask = 0xF002, .value = 0x1000, .write = Paging1FFDWritePlus3});
    rows.Add({.mask = 0xF002, .value = 0x0000, .read = FloatingBusReadPlus3});
  }
}

}  // namespace

const Device kPagingDevice = {.name = "paging", .Fitted = PagingFitted, .Ports = PagingPorts};

}  // namespace orvo
