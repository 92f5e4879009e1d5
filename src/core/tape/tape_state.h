#pragma once
#include <cstdint>

namespace orvo {

// Filled in by its subsystem.
struct TapeState {};

}  // namespace orvo
