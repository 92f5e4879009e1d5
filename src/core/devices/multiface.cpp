// The Multiface 1/128/3. Its ports (low bytes 0x3F and 0xBF, decoded differently on each model
// group) page it in and out and show or hide its RAM; the NMI pages it in so that its ROM's
// handler at 0x0066 runs. Until those are emulated it decodes nothing; the memory side is here.
#include "devices/multiface.h"

#include "devices/device.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint32_t kPage = 0x2000;

void MultifaceReset(MachineState& m, bool) {
  UnmapMultifaceMemory(m);
}

}  // namespace

void MapMultifaceMemory(MachineState& m) {
  if (m.MultifaceImage.size() < 2 * kPage) return;
  uint8_t* const rom = m.MultifaceImage.data();
  MemoryOverlay overlay;
  overlay.pages[0].read = rom;
  overlay.pages[1].read = rom + kPage;
  if (m.MultifaceVisible) overlay.pages[1].write = rom + kPage;
  MapOverlay(m, OverlayLayer::kMultiface, overlay);
}

void UnmapMultifaceMemory(MachineState& m) {
  UnmapOverlay(m, OverlayLayer::kMultiface);
}

bool MultifacePaged(const MachineState& m) {
  return OverlayMapped(m, OverlayLayer::kMultiface);
}

void SetMultifaceVisible(MachineState& m, bool visible) {
  m.MultifaceVisible = visible ? 1 : 0;
  if (MultifacePaged(m)) MapMultifaceMemory(m);
}

const Device kMultifaceDevice = {.name = "Multiface", .Reset = MultifaceReset};

}  // namespace orvo
