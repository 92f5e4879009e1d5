#pragma once
// The devices every machine registers (RegisterStandardDevices), each in its own file.
#include "devices/device.h"

namespace orvo {

extern const Device kUlaDevice;
extern const Device kUlaPlusDevice;
extern const Device kKempstonJoystickDevice;
extern const Device kFullerJoystickDevice;
extern const Device kAmxMouseDevice;
extern const Device kKempstonMouseDevice;
extern const Device kAyDevice;
extern const Device kFullerBoxDevice;
extern const Device kSpecDrumDevice;
extern const Device kPagingDevice;
extern const Device kDiskDevice;
extern const Device kMultifaceDevice;
extern const Device kInterface1Device;
extern const Device kInterface2Device;
extern const Device kPrinterDevice;
extern const Device kUSpeechDevice;
extern const Device kOratorDevice;

// Sets what the last byte written to the ULA drives (bit 6 of a ULA read, the speaker level)
// again from it, for a machine whose state was put back from a snapshot.
void RestoreUlaOutputs(MachineState& m);

}  // namespace orvo
