#pragma once
// The point a tape boot aims for: the CPU at the ROM's tape loader.
namespace orvo {

struct MachineState;

// True when the CPU stands at the first instruction of the ROM's LD-BYTES routine (0x0556 in
// whichever ROM holds the 48K BASIC).
bool AtTapeLoaderEntry(const MachineState& m);

}  // namespace orvo
