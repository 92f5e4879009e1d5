#pragma once
#include <cstdint>

#include "sound/ay_chip.h"

namespace orvo {

// Sound generation state of one machine.
struct SoundState {
  AyChip ay;
};

}  // namespace orvo
