#pragma once
// The memory map: page table set-up and the 128K-family paging registers.
#include <cstdint>

namespace orvo {

struct MachineState;

void ResetMemoryMap(MachineState& m);
void Write7FFD128(MachineState& m, uint8_t value);    // 128K and +2 (and the reset path of all)
void Write7FFDPlus3(MachineState& m, uint8_t value);  // +2A and +3
void Write1FFD(MachineState& m, uint8_t value);       // +2A and +3

}  // namespace orvo
