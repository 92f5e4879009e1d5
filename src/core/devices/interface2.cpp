// The Interface II ROM cartridge. While a cartridge is in, the machine runs from it: the 16 KB ROM
// at 0x0000 and, in place of the machine's RAM, a fresh area of 0xFF from 0x4000 up, which the
// ULA displays too. The paging registers still latch underneath and show again once the cartridge
// is removed. (The interface's joystick ports are the keyboard rows, read through the ULA.)
#include "devices/standard_devices.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint32_t kPage = 0x2000;

// A memory map reset (inserting or removing the cartridge redoes it) starts the cartridge's RAM
// afresh, or takes the cartridge away.
void CartridgeMemoryReset(MachineState& m) {
  if (!m.CartridgeInserted || m.CartridgeImage.size() < 2 * kPage) {
    UnmapOverlay(m, OverlayLayer::kInterface2);
    return;
  }
  m.CartridgeRam.assign(6 * kPage, 0xFF);
  MemoryOverlay overlay;
  overlay.pages[0].read = m.CartridgeImage.data();
  overlay.pages[1].read = m.CartridgeImage.data() + kPage;
  for (int page = 2; page < 8; ++page)
    overlay.pages[page].read = m.CartridgeRam.data() + (page - 2) * kPage;
  overlay.screen = m.CartridgeRam.data();
  MapOverlay(m, OverlayLayer::kInterface2, overlay);
}

}  // namespace

const Device kInterface2Device = {.name = "Interface II", .MemoryReset = CartridgeMemoryReset};

}  // namespace orvo
