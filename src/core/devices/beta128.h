#pragma once
// The Beta 128 disk interface: a WD1793 controller (devices/wd1793.h) with four drives, and the
// TR-DOS ROM. The ROM pages in over 0x0000-0x3FFF when the Z80 fetches an instruction in
// 0x3D00-0x3DFF while the 48 BASIC ROM is paged (TR-DOS's entry points, where that ROM holds only
// its character set), and out when it fetches one at 0x4000 or above. The controller's ports
// (0x1F command and status, 0x3F track, 0x5F sector, 0x7F data, 0xFF the interface's system
// register) answer only while the ROM is paged in. Built into the Pentagon; the "Beta 128"
// setting fits it to the 48K, 128K and +2.
#include <cstddef>
#include <cstdint>

#include "devices/device.h"

namespace orvo {

constexpr size_t kTrdosRomSize = 16384;
inline constexpr const char* kTrdosRomName = "trdos.rom";

// The interface is wanted on this model with these settings (whether or not its ROM is loaded).
bool Beta128Wanted(uint8_t model, int32_t setting);
// Wanted, with its ROM loaded.
bool Beta128Fitted(const MachineState& m);
bool TrdosPaged(const MachineState& m);
void PageInTrdos(MachineState& m);
void PageOutTrdos(MachineState& m);

extern const Device kBeta128Device;
// The controller's and the drives' state in snapshots, beside the interface's own block; it comes
// after the interface in the device list, so that it has the last word on the registers.
inline constexpr const char* kBetaDrivesBlock = "BDRV";
extern const Device kBetaDrivesDevice;

}  // namespace orvo
