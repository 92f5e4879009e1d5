// Placeholder until the port decoder lands; replaced by machine/ports.cpp.
#include "machine/machine_state.h"

namespace orvo {
uint8_t MachineState::ReadPort(uint16_t) {
  FrameTState += 4;
  return 0xFF;
}
void MachineState::WritePort(uint16_t, uint8_t) { FrameTState += 4; }
}  // namespace orvo
