#pragma once
// Making a model current, loading its ROMs, and resetting it.
#include <cstdint>

namespace orvo {

class Emulator;
struct MachineState;

// Loads the current model's ROM file from the current ROM folder (or the Custom ROM path).
// Returns 0 on success, 1 after showing message 2 or 3.
int LoadRoms(Emulator& emu);
// Makes m.MachineModel current: ROMs, model constants, contention tables, menu states, display
// tables, memory map. Does not reset the CPU.
void SetUpMachine(Emulator& emu);
// Soft (hard = false) or hard reset.
void ResetMachine(Emulator& emu, bool hard);

}  // namespace orvo
