#include "machine/machine_state.h"

#include "devices/currah.h"
#include "devices/device.h"
#include "devices/interface1.h"
#include "machine/memory.h"
#include "video/ula.h"

namespace orvo {

MachineState::MachineState()
    : MemoryContentionTable(kContentionTableSize, 0),
      IoContentionTable(kContentionTableSize, 0),
      RamBlock(kRamBlockSize, 0),
      RomBuffer48(16384, 0xFF),
      RomBuffer128(65536, 0xFF),
      EmptyPage16K(8192, 0xFF),
      WriteSink(8192, 0) {
  spec = ModelTable[kModel48K];
  ModelName = spec.modelName;
  // A 48K memory map until SetUpMachine makes the configured model current.
  for (int page = 0; page < 8; ++page) {
    BasePages[page] =
        page < 2 ? RomBuffer48.data() + page * 0x2000 : RamBlock.data() + page * 0x2000;
  }
  BaseScreen = RamBlock.data() + 0x4000;
  ResolveMemoryMap(*this);
  RegisterStandardDevices(*this);
  UpdateDevices(*this);
}

// Hooks of devices that later subsystems bring; each is reached only behind its own flag.
// The bus floats high, except while the AMX mouse's interface answers the acknowledge with the
// vector of the step being run; the acceptance takes it.
uint8_t MachineState::InterruptDataBus() {
  const uint8_t vector = input.AmxPendingVector;
  input.AmxPendingVector = 0xFF;
  return vector;
}
// LD I,A may point the refresh address at contended memory, or away from it.
void MachineState::OnIRegisterWrite() {
  QuietReadResume = 0;
  UpdateUlaSnow(*this);
}
// The NMI goes to the fitted devices: the Multiface pages itself in.
void MachineState::OnNmiAccepted() {
  NmiDevices(*this);
}
void MachineState::OnIf1PageIn() {
  PageInInterface1Rom(*this);
}
bool MachineState::If1Paged() const {
  return OverlayMapped(*this, OverlayLayer::kInterface1);
}
void MachineState::OnIf1PageOut() {
  PageOutInterface1Rom(*this);
}
void MachineState::OnDiskMotor(bool on) {
  DiskMotorLamp = on ? 1 : 0;
  Fdc.SetMotorState(on ? 0x08 : 0x00);
}

}  // namespace orvo
