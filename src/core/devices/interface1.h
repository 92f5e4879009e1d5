#pragma once
// Interface 1: its 8 KB shadow ROM over 0x0000-0x1FFF, paged in by the ROM traps at 0x0008 and
// 0x1708 and out by the one at 0x0700; its ports reach the eight Microdrives (devices/microdrive.h)
// and the network and RS232 lines while the ROM is paged in.
#include <cstdint>
#include <span>

#include "devices/device.h"

namespace orvo {

constexpr size_t kInterface1RomSize = 8192;

// Lays If1Rom over 0x0000-0x1FFF (nothing without a ROM image), or takes it away.
void PageInInterface1Rom(MachineState& m);
void PageOutInterface1Rom(MachineState& m);

// Takes an Interface 1 ROM image (kInterface1RomSize bytes; false for any other size, leaving
// the old one) and patches it so that FORMAT's verify pass takes every sector. The caller
// updates the devices after (UpdateDevices).
bool SetInterface1Rom(MachineState& m, std::span<const uint8_t> rom);
// Drops the ROM image: the Interface 1 pages out and its traps go.
void FreeInterface1Rom(MachineState& m);
// Interface 1 is fitted: switched on, on a model it plugs into, with its ROM loaded.
bool Interface1Fitted(const MachineState& m);

extern const Device kInterface1Device;

}  // namespace orvo
