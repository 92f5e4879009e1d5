#pragma once
// The ULA picture: built lazily, brought up to a T-state when something that affects it changes.
#include <cstdint>

namespace orvo {

struct MachineState;

void BuildDisplayTables(MachineState& m);
void RenderDisplayUpTo(MachineState& m, uint32_t tstate);
void RenderBorderUpTo(MachineState& m, uint32_t tstate);

}  // namespace orvo
