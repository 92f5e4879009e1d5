#pragma once
// Interface 1: its 8 KB shadow ROM over 0x0000-0x1FFF, paged in by the ROM traps at 0x0008 and
// 0x1708 and out by the one at 0x0700.
#include "devices/device.h"

namespace orvo {

// Lays If1Rom over 0x0000-0x1FFF (nothing without a ROM image), or takes it away.
void PageInInterface1Rom(MachineState& m);
void PageOutInterface1Rom(MachineState& m);

extern const Device kInterface1Device;

}  // namespace orvo
