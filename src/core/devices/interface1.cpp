// Interface 1 with its Microdrives, network and RS232. Its ports (microdrive data at low byte
// 0xE7, status and control at 0xEF, network and RS232 at 0xF7) answer on the 48K group while its
// ROM is paged in; until they are emulated it decodes nothing. While its ROM is paged in the
// floating bus is not seen (machine/ports.cpp).
#include "devices/interface1.h"

#include "devices/device.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

void Interface1Reset(MachineState& m, bool) {
  PageOutInterface1Rom(m);
}

}  // namespace

void PageInInterface1Rom(MachineState& m) {
  if (m.If1Rom.size() < 0x2000) return;
  MemoryOverlay overlay;
  overlay.pages[0].read = m.If1Rom.data();
  MapOverlay(m, OverlayLayer::kInterface1, overlay);
}

void PageOutInterface1Rom(MachineState& m) {
  UnmapOverlay(m, OverlayLayer::kInterface1);
}

const Device kInterface1Device = {.name = "Interface 1", .Reset = Interface1Reset};

}  // namespace orvo
