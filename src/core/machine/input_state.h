#pragma once
#include <cstdint>

namespace orvo {

// Filled in by its subsystem.
struct InputState {};

}  // namespace orvo
