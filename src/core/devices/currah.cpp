// The µSpeech as an overlay layer: its writes below 0x4000 go to a sink (the device will read its
// registers from there), and while paged in page 0 reads the device's own 8 KB image: the page
// beneath with the 2 KB ROM over its start and the busy flag at 0x1000. The image is rebuilt
// whenever the map is resolved. (Its port 0x39 toggle, on the 48K group, is not decoded yet.)
#include "devices/currah.h"

#include <algorithm>
#include <cstring>

#include "devices/device.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint32_t kPage = 0x2000;
constexpr uint32_t kRomSize = 0x0800;
constexpr uint32_t kBusyAddress = 0x1000;

void BuildUSpeechPage(MachineState& m, int, const uint8_t* below) {
  m.CurrahPage.resize(kPage);
  std::memcpy(m.CurrahPage.data(), below, kPage);
  // Without a ROM image the page beneath shows through.
  const size_t rom = std::min<size_t>(m.CurrahRom.size(), kRomSize);
  std::copy_n(m.CurrahRom.begin(), rom, m.CurrahPage.begin());
  m.CurrahPage[kBusyAddress] = m.CurrahBusy;
}

void MapUSpeech(MachineState& m) {
  if (!m.settings.USpeech) {
    UnmapOverlay(m, OverlayLayer::kUSpeech);
    return;
  }
  m.CurrahPage.resize(kPage);
  MemoryOverlay overlay;
  overlay.pages[0].write = m.WriteSink.data();
  overlay.pages[1].write = m.WriteSink.data();
  if (m.CurrahPaged) {
    overlay.pages[0].read = m.CurrahPage.data();
    overlay.BuildPage = BuildUSpeechPage;
  }
  MapOverlay(m, OverlayLayer::kUSpeech, overlay);
}

}  // namespace

void SetUSpeechPaged(MachineState& m, bool paged) {
  m.CurrahPaged = paged ? 1 : 0;
  MapUSpeech(m);
}

void SetUSpeechBusy(MachineState& m, bool busy) {
  m.CurrahBusy = busy ? 1 : 0;
  if (m.CurrahPage.size() == kPage) m.CurrahPage[kBusyAddress] = m.CurrahBusy;
}

const Device kUSpeechDevice = {.name = "uSpeech", .Configure = MapUSpeech};

}  // namespace orvo
