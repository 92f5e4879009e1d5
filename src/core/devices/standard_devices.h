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

// What a read of the ULA's `port` gives now (keyboard, joysticks on the keyboard, EAR), without
// the tape's automatic start and stop that a real read drives; and whether `read` is the ULA's
// own read handler (then the port's byte is UlaPortValue's, and the read moves nothing else
// than that automatic start and stop).
uint8_t UlaPortValue(const MachineState& m, uint16_t port);
bool IsUlaPortRead(PortReadFn read);

}  // namespace orvo
