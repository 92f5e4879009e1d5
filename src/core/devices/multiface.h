#pragma once
// The Multiface: 8 KB of ROM and 8 KB of RAM over 0x0000-0x3FFF once its NMI button is pressed.
// It is fitted while it has a ROM image (SetMultifaceRom).
#include <cstdint>
#include <span>

#include "devices/device.h"

namespace orvo {

// Lays the Multiface's ROM and RAM over 0x0000-0x3FFF (nothing without a ROM image); its RAM takes
// writes while MultifaceVisible is set.
void MapMultifaceMemory(MachineState& m);
void UnmapMultifaceMemory(MachineState& m);
bool MultifacePaged(const MachineState& m);
// Ports 0xBF and 0x3F set and clear the RAM's visibility.
void SetMultifaceVisible(MachineState& m, bool visible);
// Pages the Multiface in (as its button and its paging port do) and returns the byte its port read
// gives: 0x7F with bit 7 the screen bit of the last 0x7FFD value, on the +2A/+3 a paging register
// chosen by the port's A12-A14. Returns 0xFF and does nothing without a ROM image, or on the
// +2A/+3 in an all-RAM mode.
uint8_t MultifacePageIn(MachineState& m, uint16_t port);
// Pages it out: the ROM the paging selects shows again. Returns 0xFF.
uint8_t MultifacePageOut(MachineState& m);
// Installs an 8 KB ROM image (anything else removes the Multiface) with a blank RAM, paged out and
// hidden; `one` selects the Multiface One's ports.
void SetMultifaceRom(MachineState& m, std::span<const uint8_t> rom, bool one);

extern const Device kMultifaceDevice;

}  // namespace orvo
