#pragma once
// The memory map: the model's own paging (the base layer), the 128K-family paging registers, and
// the overlays the add-ons lay over the base (machine/memory_layers.h).
#include <cstdint>

#include "machine/memory_layers.h"

namespace orvo {

struct MachineState;

// Rebuilds the base layer for the current model and clears all RAM; the devices whose memory
// starts afresh with the machine's (an inserted Interface II cartridge) map it again.
void ResetMemoryMap(MachineState& m);
// Port 0x7FFD on the 128K and +2, and the reset path of every 128K-family model. Ignored on the
// 48K group and while the paging lock is set; bit 5 locks after the write has taken effect.
void Write7FFD128(MachineState& m, uint8_t value);
// Port 0x7FFD on the +2A and +3.
void Write7FFDPlus3(MachineState& m, uint8_t value);
// Port 0x1FFD on the +2A and +3: ROM high bit, disk motor, and the four all-RAM special modes
// (which also page the Multiface out).
void Write1FFD(MachineState& m, uint8_t value);

// Resolves the base and the mapped overlays into PageTable, WritePages and ScreenPointer. The
// paging routines and the overlay calls do it themselves; anything else that changes BasePages,
// romWriteProtect or the model directly must call it.
void ResolveMemoryMap(MachineState& m);
// Lays `overlay` as the given layer (replacing what that layer held), or takes it away.
void MapOverlay(MachineState& m, OverlayLayer layer, const MemoryOverlay& overlay);
void UnmapOverlay(MachineState& m, OverlayLayer layer);
bool OverlayMapped(const MachineState& m, OverlayLayer layer);

// What the accessors' slow path (MemoryTracking) watches for.
inline constexpr uint8_t kTrackMemoryMap = 1;      // the memory map tool's read and write maps
inline constexpr uint8_t kTrackUSpeechToggle = 2;  // the µSpeech's 0x0038 read and registers

// Turns the memory map tool's read and write maps on (allocating them, cleared) or off.
void SetMemoryTracking(MachineState& m, bool on);
// Hands the µSpeech the data reads of 0x0038 (its ROM flips on any read there; fetches are
// caught by its fetch trap) and the writes below 0x4000 (its registers).
void SetUSpeechReadWatch(MachineState& m, bool on);

}  // namespace orvo
