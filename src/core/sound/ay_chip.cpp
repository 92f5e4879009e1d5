#include "sound/ay_chip.h"

namespace orvo {

void AyChip::WriteData(uint8_t value) {
  if (selected < 16) regs[selected] = value;
}

}  // namespace orvo
