#pragma once
#include <cstdint>

namespace orvo {

// The tape deck of one machine.
struct TapeState {
  uint8_t EarBit = 0;  // 0x40 or 0: the level the tape puts on the ULA's EAR input
};

}  // namespace orvo
