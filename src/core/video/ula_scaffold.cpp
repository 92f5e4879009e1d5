// Placeholder until the ULA renderer lands; replaced by video/ula.cpp.
#include "video/ula.h"

#include "machine/machine_state.h"

namespace orvo {
void BuildDisplayTables(MachineState&) {}
void RenderDisplayUpTo(MachineState&, uint32_t) {}
void RenderBorderUpTo(MachineState&, uint32_t) {}
}  // namespace orvo
