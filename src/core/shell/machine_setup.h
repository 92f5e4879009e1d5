#pragma once
// Making the emulator's model current: its ROM file found and read (with the messages when it is
// missing or the wrong length), the live settings copied into the machine, the machine's own
// set-up (machine/setup.h), and the menu items that follow the model.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/setup.h"

namespace orvo {

class Emulator;

// Loads the current model's ROM file, looked for in the ROM folders (RomSearchFolders; a Custom
// ROM path without a folder is looked for there too), into its ROM buffer. Returns 0 on success, 1
// after showing message 2 ("ROM missing") or 3 ("ROM file incorrect length") under "Orvo Error";
// the buffer then holds 0xFF.
int LoadRoms(Emulator& emu);
// Reads an add-on's ROM file `fileName` of exactly `size` bytes from the ROM folders, with
// the same messages as LoadRoms. Returns 0, or 1 leaving `rom` empty.
int ReadAddonRom(Emulator& emu, const char* fileName, size_t size, std::vector<uint8_t>& rom);
// Makes m.MachineModel current: ROMs, the machine's settings, model constants, contention tables,
// menu states, display tables, memory map (which clears RAM). Does not reset the CPU.
void SetUpMachine(Emulator& emu);
// Soft (hard = false) or hard reset of the machine.
void ResetMachine(Emulator& emu, bool hard);

}  // namespace orvo
