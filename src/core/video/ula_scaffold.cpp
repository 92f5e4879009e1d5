// Placeholder until the ULA renderer lands; replaced by video/ula.cpp.
#include "video/ula.h"

#include "machine/machine_state.h"

namespace orvo {
void BuildDisplayTables(MachineState&) {}
void RenderDisplayUpTo(MachineState&, uint32_t) {}
void RenderBorderUpTo(MachineState&, uint32_t) {}
void ResetRenderPositions(MachineState&, uint32_t) {}
const uint32_t* ScreenPixels(const MachineState&) { return nullptr; }
}  // namespace orvo
