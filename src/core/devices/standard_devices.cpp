// The machine's own hardware and the built-in add-ons. The order is the decoding order of rows on
// one port: the Kempston joystick answers 0x1F before the AMX mouse, and a 48K's 0x5F read
// switches its AY on before the Fuller Box reads it.
#include "devices/standard_devices.h"

#include "devices/beta128.h"
#include "machine/machine_state.h"

namespace orvo {

void RegisterStandardDevices(MachineState& m) {
  for (const Device* device :
       {&kUlaDevice, &kUlaPlusDevice, &kKempstonJoystickDevice, &kFullerJoystickDevice,
        &kAmxMouseDevice, &kKempstonMouseDevice, &kAyDevice, &kFullerBoxDevice, &kSpecDrumDevice,
        &kPagingDevice, &kDiskDevice, &kMultifaceDevice, &kInterface1Device, &kInterface2Device,
        &kPrinterDevice, &kUSpeechDevice, &kOratorDevice, &kBeta128Device, &kBetaDrivesDevice})
    RegisterDevice(m, *device);
}

}  // namespace orvo
