#pragma once
// Making a model current, loading its ROMs, and resetting it.
#include <cstdint>

namespace orvo {

class Emulator;
struct MachineState;

// Loads the current model's ROM file from the current ROM folder (or the Custom ROM path) into
// its ROM buffer. Returns 0 on success, 1 after showing message 2 ("ROM missing") or 3 ("ROM file
// incorrect length") under "Orvo Error"; the buffer then holds 0xFF.
int LoadRoms(Emulator& emu);
// Makes m.MachineModel current: ROMs, model constants, contention tables, menu states, display
// tables, memory map (which clears RAM). Does not reset the CPU.
void SetUpMachine(Emulator& emu);
// Soft (hard = false) or hard reset. A soft reset keeps RAM, apart from the screen, which fills
// with noise; a hard reset also rebuilds the display tables and the memory map, clearing RAM.
void ResetMachine(Emulator& emu, bool hard);

// ContentionBase, LineStartTable and both contention tables for the current model and the
// "Late Timing" setting. Part of SetUpMachine.
void BuildContentionTables(MachineState& m);
// The fetch traps whose devices the machine set-up controls (the +3 disk fast-load trap), from
// the model and the live settings. Part of SetUpMachine.
void UpdateMachineTraps(MachineState& m);

}  // namespace orvo
