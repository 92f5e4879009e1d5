#pragma once
// The memory map: page table set-up and the 128K-family paging registers.
#include <cstdint>

namespace orvo {

struct MachineState;

// Rebuilds the page table for the current model (and an inserted Interface II cartridge) and
// clears all RAM.
void ResetMemoryMap(MachineState& m);
// Port 0x7FFD on the 128K and +2, and the reset path of every 128K-family model. Ignored on the
// 48K group and while the paging lock is set; bit 5 locks after the write has taken effect.
void Write7FFD128(MachineState& m, uint8_t value);
// Port 0x7FFD on the +2A and +3.
void Write7FFDPlus3(MachineState& m, uint8_t value);
// Port 0x1FFD on the +2A and +3: ROM high bit, disk motor, and the four all-RAM special modes.
void Write1FFD(MachineState& m, uint8_t value);

// Maps at 0x0000 the ROM the current paging registers select (the Multiface's page-out uses it).
// Does nothing in a +2A/+3 special mode, where 0x0000 holds RAM.
void RemapRomSlot(MachineState& m);
// Rebuilds m.WritePages from PageTable, romWriteProtect, the model and the Multiface flags.
void UpdateWritePages(MachineState& m);
// Turns the memory map tool's read and write maps on (allocating them, cleared) or off.
void SetMemoryTracking(MachineState& m, bool on);

}  // namespace orvo
