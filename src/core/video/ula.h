#pragma once
// The ULA picture: built lazily, brought up to a T-state when something that affects it changes.
#include <cstdint>

namespace orvo {

struct MachineState;

void BuildDisplayTables(MachineState& m);
void RenderDisplayUpTo(MachineState& m, uint32_t tstate);
void RenderBorderUpTo(MachineState& m, uint32_t tstate);
// Both catch-up positions (DisplayDrawnTo, BorderDrawnTo) := tstate; the frame end calls it
// after wrapping FrameTState.
void ResetRenderPositions(MachineState& m, uint32_t tstate);
// The 352 x 296 picture (0x00RRGGBB), for presenting and screenshots.
const uint32_t* ScreenPixels(const MachineState& m);

}  // namespace orvo
