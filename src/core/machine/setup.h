#pragma once
// Making a model current and resetting it: the machine's own part. Finding and reading the ROM
// files, and the menus that follow the model, are the shell's (shell/machine_setup.h).
#include <cstdint>
#include <span>

namespace orvo {

struct MachineState;

// Both ROM buffers to unprogrammed ROM (0xFF), then `image` (the ROM file of m.MachineModel) into
// the model's buffer: RomBuffer48 for the 16K, 48K and Custom, RomBuffer128 for the rest. An empty
// image leaves the ROM blank; of a longer one only the model's ROM size is used (the Custom model
// maps the first 16 KB of a 32 KB file).
void LoadRomImage(MachineState& m, std::span<const uint8_t> image);
// Makes `model` current (a model beyond the table runs as the 48K) with its ROM image and the
// settings in m.settings: model constants, contention tables, traps, display tables, memory map
// (which clears RAM). Does not reset the CPU.
void SetUpMachine(MachineState& m, uint8_t model, std::span<const uint8_t> rom);
// Soft (hard = false) or hard reset. A soft reset keeps RAM, apart from the screen, which fills
// with noise; a hard reset also rebuilds the display tables and the memory map, clearing RAM.
void ResetMachine(MachineState& m, bool hard);

// ContentionBase, LineStartTable and both contention tables for the current model and the
// "Late Timing" setting. Part of SetUpMachine.
void BuildContentionTables(MachineState& m);
// The fetch traps whose devices the machine set-up controls (the +3 disk fast-load trap), from
// the model and the live settings. Part of SetUpMachine.
void UpdateMachineTraps(MachineState& m);

}  // namespace orvo
