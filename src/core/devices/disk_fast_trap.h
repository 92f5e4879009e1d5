#pragma once
// "Disk fastLoad" on the +3: two delay loops of the +3 ROM's disk routines are cut short.
#include <cstdint>

namespace orvo {

struct MachineState;

// The +3 ROM's delay loops: DEC BC of the motor wait and LD L,n of the step wait.
inline constexpr uint16_t kDiskDelayLoopAddress = 0x2144;
inline constexpr uint16_t kDiskStepWaitAddress = 0x201B;

// Registers the traps on a +3 with "Disk fastLoad" on, removes them otherwise.
void UpdateDiskFastTrap(MachineState& m);

}  // namespace orvo
