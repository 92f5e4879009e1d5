#include "machine/machine_state.h"

namespace orvo {

MachineState::MachineState()
    : MemoryContentionTable(kContentionTableSize, 0),
      IoContentionTable(kContentionTableSize, 0),
      RamBlock(kRamBlockSize, 0),
      RomBuffer48(16384, 0xFF),
      RomBuffer128(65536, 0xFF),
      EmptyPage16K(8192, 0xFF) {
  spec = ModelTable[kModel48K];
  for (int page = 0; page < 8; ++page) {
    PageTable[page] = page < 2 ? RomBuffer48.data() + page * 0x2000 : RamBlock.data() + page * 0x2000;
  }
  ScreenPointer = RamBlock.data() + 0x4000;
}

// Hooks of devices that later subsystems bring; each is reached only behind its own flag.
uint8_t MachineState::InterruptDataBus() { return 0xFF; }
void MachineState::OnIRegisterWrite() {}
void MachineState::OnNmiAccepted() {}
void MachineState::OnTapeStartTrap() {}
bool MachineState::OnTapeLoadTrap() { return false; }
void MachineState::OnIf1PageIn() {}
bool MachineState::If1Paged() const { return false; }
void MachineState::OnIf1PageOut() {}
void MachineState::OnIf1MicrodriveTrap(int) {}
void MachineState::OnUSpeechToggle() {}
bool MachineState::DiskFastTrapModel() const {
  return MachineModel == kModelPlus3 && settings.DiskFastLoad != 0;
}

}  // namespace orvo
