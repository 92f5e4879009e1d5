#pragma once
// The ULA picture: built lazily, brought up to a T-state when something that affects it changes.
#include <cstdint>

namespace orvo {

struct MachineState;

// Builds FetchKind, FetchIndex and the byte-offset tables for the current model's geometry,
// reloads the default ULAplus palette and marks the whole picture for redrawing.
void BuildDisplayTables(MachineState& m);
// Draws the display bytes the ULA fetches from DisplayDrawnTo up to `tstate` (the current
// FrameTState), with the screen memory as it is now.
void RenderDisplayUpTo(MachineState& m, uint32_t tstate);
// The same before a store into the displayed screen at video.StoreOffset: only when a display
// byte that store changes falls in the part the call would draw. Otherwise nothing it would draw
// can change before it is drawn: the stored byte's cells are drawn already (with the old value,
// as the beam saw it) or still to come (with the new one), and any other byte's store draws
// first in its turn.
void RenderDisplayBeforeStore(MachineState& m, uint32_t tstate);
// Draws the border positions the beam passes from BorderDrawnTo up to `tstate` in the current
// border colour.
void RenderBorderUpTo(MachineState& m, uint32_t tstate);
// The 352 x 296 picture (0x00RRGGBB), for presenting and screenshots.
const uint32_t* ScreenPixels(const MachineState& m);
// Draws the whole picture from the memory and border as they are now, for a picture wanted before
// any frame has been shown (a snapshot just loaded). The frame's own drawing goes on from
// FrameTState afterwards.
void DrawWholePicture(MachineState& m);
// Forgets what the picture shows, so that every display byte and border run is drawn again
// (after something other than the renderers has drawn into the picture).
void InvalidatePicture(MachineState& m);

// ULA snow. UpdateUlaSnow re-evaluates whether snow is armed (after LD I,A and after every
// 0x7FFD paging write). UlaSnowFetch is called by an opcode fetch while snow is armed, with
// FrameTState at the end of the fetch's four T-states.
void UpdateUlaSnow(MachineState& m);
void UlaSnowFetch(MachineState& m);

// The floating bus: the byte the ULA is fetching at the current FrameTState (48K and 128K
// groups), and the +2A/+3 port 0x0FFD value.
uint8_t FloatingBusValue(const MachineState& m);
uint8_t FloatingBusPlus3(MachineState& m);

}  // namespace orvo
