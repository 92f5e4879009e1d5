#pragma once
// The Multiface: 8 KB of ROM and 8 KB of RAM over 0x0000-0x3FFF once its NMI button is pressed.
#include "devices/device.h"

namespace orvo {

// Lays the Multiface's ROM and RAM over 0x0000-0x3FFF (nothing without a ROM image); its RAM takes
// writes while MultifaceVisible is set.
void MapMultifaceMemory(MachineState& m);
void UnmapMultifaceMemory(MachineState& m);
bool MultifacePaged(const MachineState& m);
// Ports 0xBF and 0x3F set and clear the RAM's visibility.
void SetMultifaceVisible(MachineState& m, bool visible);

extern const Device kMultifaceDevice;

}  // namespace orvo
