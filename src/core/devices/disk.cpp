// The +3's disk controller ports: main status at 0x2FFD and data at 0x3FFD (A15-A12 and A1),
// with the uPD765A behind them; the drive motor is bit 3 of 0x1FFD (machine/memory.cpp). The last
// values are kept for the snapshot formats that store them. The +2A decodes the same lines with
// nothing behind them, and the 128K and +2 remember a write to 0x3FFD too. (Low byte 0xFF reads
// 0xFF on the +3, which has no floating bus: nothing needs to answer there.)
#include "devices/standard_devices.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

// Data bytes at the drive's rate, with overrun for a processor that is too slow; off, every
// byte is there at once.
constexpr bool kDiskByteTiming = true;

int64_t Now(const MachineState& m) {
  return static_cast<int64_t>(m.FrameTState);
}

// On the +2A nothing answers: the ROM finds no disk controller there (a status that answered
// would make it offer drive A: and try to boot from it).
uint8_t StatusRead(MachineState& m, uint16_t, uint8_t) {
  uint8_t value = 0xFF;
  if (m.MachineModel == kModelPlus3) {
    value = kDiskByteTiming ? m.Fdc.StatusPortRead(Now(m)) : m.Fdc.StatusPortRead();
  }
  m.ports.Last2FFD = value;
  return value;
}
uint8_t DataRead(MachineState& m, uint16_t, uint8_t) {
  uint8_t value = 0xFF;
  if (m.MachineModel == kModelPlus3) {
    value = kDiskByteTiming ? m.Fdc.DataPortRead(Now(m)) : m.Fdc.DataPortRead();
  }
  m.ports.Last3FFD = value;
  return value;
}
void DataWrite(MachineState& m, uint16_t, uint8_t value) {
  m.ports.Last3FFD = value;
  if (m.MachineModel != kModelPlus3) return;
  if (kDiskByteTiming)
    m.Fdc.DataPortWrite(value, Now(m));
  else
    m.Fdc.DataPortWrite(value);
}

// Every byte through the data register: with "Disk fastLoad" on, the machine runs at full speed
// until 75 frames after the last one (the frame loop counts them down).
void DiskActivity(void* context) {
  MachineState& m = *static_cast<MachineState*>(context);
  if (m.settings.DiskFastLoad == 0) return;
  m.FullSpeed = 1;
  m.DiskFastCountdown = 75;
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

void DiskConfigure(MachineState& m) {
  m.Fdc.SetActiveCallback(DiskActivity, &m);
}

void DiskFrameEnd(MachineState& m) {
  m.Fdc.ShiftClock(static_cast<int64_t>(m.FrameLength));
}

void DiskReset(MachineState& m, bool) {
  m.Fdc.ResetDevice();
}

// The snapshot block "+3\0\0": the number of drives and whether the motor runs. The disks
// themselves stay in their drives.
void DiskSaveState(const MachineState& m, std::vector<uint8_t>& out) {
  out = {2, static_cast<uint8_t>(m.Fdc.MotorOn() ? 1 : 0)};
}
bool DiskCheckState(std::span<const uint8_t> block) {
  return block.size() >= 2;
}
bool DiskLoadState(MachineState& m, std::span<const uint8_t> block) {
  if (!DiskCheckState(block)) return false;
  m.OnDiskMotor(block[1] != 0);
  return true;
}

}  // namespace

const Device kDiskDevice = {.name = "+3 disk controller",
                            .Fitted = DiskPortsFitted,
                            .Ports = DiskPorts,
                            .Configure = DiskConfigure,
                            .Reset = DiskReset,
                            .FrameEnd = DiskFrameEnd,
                            .stateId = "+3\0\0",
                            .SaveState = DiskSaveState,
                            .CheckState = DiskCheckState,
                            .LoadState = DiskLoadState};

}  // namespace orvo
