// The Multiface One, 128 and 3. Pressing its button pulls the NMI line and pages in 8 KB of ROM
// and 8 KB of RAM over 0x0000-0x3FFF, so the handler at 0x0066 runs from its ROM. Its ports decode
// the low byte: an OUT to 0xBF makes it visible (its RAM takes writes, its paging ports answer)
// and an OUT to 0x3F hides it again. On the 48K group and the 128K a read of 0xBF pages it in and
// one of 0x3F out; the Multiface 3 on the +2A/+3 swaps the two. The Multiface One answers its own
// pair instead: a read of 0x9F pages it in, one of 0x1F out (the port its Kempston joystick
// interface shares), and its RAM is always writable.
#include "devices/multiface.h"

#include <zlib.h>

#include "devices/device.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint32_t kPage = 0x2000;

bool MultifaceFitted(const MachineState& m) {
  return m.MultifaceImage.size() == 2 * kPage;
}

uint8_t PageInRead(MachineState& m, uint16_t port, uint8_t value) {
  if (!m.MultifaceVisible) return value;
  const uint8_t answer = MultifacePageIn(m, port);
  return answer == 0xFF ? value : answer;
}

uint8_t PageOutRead(MachineState& m, uint16_t, uint8_t value) {
  MultifacePageOut(m);
  return value;
}

// The 48K group pages out only while visible; the other models whatever the flag says.
uint8_t PageOutVisibleRead(MachineState& m, uint16_t port, uint8_t value) {
  return m.MultifaceVisible ? PageOutRead(m, port, value) : value;
}

// The Multiface One carries a Kempston joystick interface on the same low byte 0x1F that pages it
// out: its buffer drives the bus, so with no stick pushed (or none emulated) the read gives 0, not
// the floating bus.
uint8_t OnePageOutRead(MachineState& m, uint16_t port, uint8_t value) {
  PageOutRead(m, port, value);
  return value == 0xFF ? 0x00 : value;
}

uint8_t OnePageInRead(MachineState& m, uint16_t port, uint8_t value) {
  MultifacePageIn(m, port);
  return value;
}

void ShowWrite(MachineState& m, uint16_t, uint8_t) {
  SetMultifaceVisible(m, true);
}

void HideWrite(MachineState& m, uint16_t, uint8_t) {
  SetMultifaceVisible(m, false);
}

void MultifacePorts(PortRowList& rows, const MachineState& m) {
  if (m.MultifaceOne) {
    rows.Add({.mask = 0x00FF, .value = 0x9F, .read = OnePageInRead});
    rows.Add({.mask = 0x00FF, .value = 0x1F, .read = OnePageOutRead});
    return;
  }
  rows.Add({.mask = 0x00FF, .value = 0xBF, .write = ShowWrite});
  // With the Fuller Box fitted 0x3F is its register port.
  if (!m.settings.FullerAy) rows.Add({.mask = 0x00FF, .value = 0x3F, .write = HideWrite});
  switch (GroupOf(m.MachineModel)) {
    case ModelGroup::k48:
      rows.Add({.mask = 0x00FF, .value = 0xBF, .read = PageInRead});
      rows.Add({.mask = 0x00FF, .value = 0x3F, .read = PageOutVisibleRead});
      break;
    case ModelGroup::k128:
      rows.Add({.mask = 0x00FF, .value = 0xBF, .read = PageInRead});
      rows.Add({.mask = 0x00FF, .value = 0x3F, .read = PageOutRead});
      break;
    case ModelGroup::kPlus3:
      rows.Add({.mask = 0x00FF, .value = 0x3F, .read = PageInRead});
      rows.Add({.mask = 0x00FF, .value = 0xBF, .read = PageOutRead});
      break;
  }
}

bool MultifaceNmi(MachineState& m) {
  if (MultifacePaged(m)) return false;  // a second press while paged does not page again
  MultifacePageIn(m, 0);
  return MultifacePaged(m);
}

void MultifaceReset(MachineState& m, bool) {
  UnmapMultifaceMemory(m);
}

// A model change or a new ROM image: nothing stays paged.
void MultifaceConfigure(MachineState& m) {
  if (!MultifaceFitted(m)) UnmapMultifaceMemory(m);
}

// The block: the model fitted to a 16K/48K (0 the One, 1 the 128), flags (bit 0 paged in, bit 1
// the RAM image zlib-compressed, bit 2 its software lockout: the 128/3 hidden from programs, bit 5
// a board whose ROM was replaced by RAM too), then its 8 KB RAM. Other writers compress it; this
// one keeps it plain.
enum : uint8_t {
  kModelOne = 0,
  kModel128 = 1,
  kFlagPaged = 1,
  kFlagCompressed = 2,
  kFlagLockout = 4,
  kFlagAllRam = 0x20,
};

void MultifaceSave(const MachineState& m, std::vector<uint8_t>& out) {
  if (!MultifaceFitted(m)) return;
  out.push_back(m.MultifaceOne ? kModelOne : kModel128);
  uint8_t flags = 0;
  if (MultifacePaged(m)) flags |= kFlagPaged;
  if (!m.MultifaceVisible && !m.MultifaceOne) flags |= kFlagLockout;
  out.push_back(flags);
  out.insert(out.end(), m.MultifaceImage.begin() + kPage, m.MultifaceImage.end());
}

// The block's 8 KB of RAM, unpacked; false for a body that does not hold exactly that (a board
// with 16 KB of RAM has no ROM this emulation could page in).
bool UnpackRam(std::span<const uint8_t> block, std::vector<uint8_t>& ram) {
  if (block.size() < 2 || block[0] > kModel128 || (block[1] & kFlagAllRam)) return false;
  const std::span<const uint8_t> data = block.subspan(2);
  if (!(block[1] & kFlagCompressed)) {
    if (data.size() != kPage) return false;
    ram.assign(data.begin(), data.end());
    return true;
  }
  ram.assign(kPage, 0);
  uLongf unpacked = kPage;
  return uncompress(ram.data(), &unpacked, data.data(), data.size()) == Z_OK && unpacked == kPage;
}

bool MultifaceCheck(std::span<const uint8_t> block) {
  std::vector<uint8_t> ram;
  return UnpackRam(block, ram);
}

bool MultifaceLoad(MachineState& m, std::span<const uint8_t> block) {
  std::vector<uint8_t> ram;
  if (!UnpackRam(block, ram)) return false;
  // Without a ROM image there is nothing to page in: the RAM alone is not worth keeping.
  if (!MultifaceFitted(m)) return true;
  std::copy(ram.begin(), ram.end(), m.MultifaceImage.begin() + kPage);
  m.MultifaceVisible = (block[1] & kFlagLockout) ? 0 : 1;
  if (block[1] & kFlagPaged) {
    MapMultifaceMemory(m);
  } else {
    UnmapMultifaceMemory(m);
  }
  return true;
}

}  // namespace

void MapMultifaceMemory(MachineState& m) {
  if (!MultifaceFitted(m)) return;
  uint8_t* const rom = m.MultifaceImage.data();
  MemoryOverlay overlay;
  overlay.pages[0].read = rom;
  overlay.pages[1].read = rom + kPage;
  if (m.MultifaceVisible || m.MultifaceOne) overlay.pages[1].write = rom + kPage;
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

uint8_t MultifacePageIn(MachineState& m, uint16_t port) {
  if (!MultifaceFitted(m)) return 0xFF;
  const bool plus3 = GroupOf(m.MachineModel) == ModelGroup::kPlus3;
  // The all-RAM modes of the +2A/+3 leave no ROM slot for it to take.
  if (plus3 && (m.Last1FFD & 1)) return 0xFF;
  m.MultifaceVisible = 1;
  MapMultifaceMemory(m);
  if (!plus3) return static_cast<uint8_t>(0x7F | ((m.Last7FFD & 0x08) << 4));
  // The Multiface 3 lets its ROM read back the paging registers, chosen by A12-A14.
  switch ((port >> 12) & 7) {
    case 0:
    case 1: return static_cast<uint8_t>(m.Last1FFD | 0xF0);
    case 2:
    case 3: return 0xF1;
    case 4:
    case 5: return 0xF0;
    default: return static_cast<uint8_t>(m.Last7FFD | 0xF0);
  }
}

uint8_t MultifacePageOut(MachineState& m) {
  UnmapMultifaceMemory(m);
  return 0xFF;
}

void SetMultifaceRom(MachineState& m, std::span<const uint8_t> rom, bool one) {
  UnmapMultifaceMemory(m);
  m.MultifaceVisible = 0;
  m.MultifaceOne = one ? 1 : 0;
  if (rom.size() != kPage) {
    m.MultifaceImage.clear();
  } else {
    m.MultifaceImage.assign(2 * kPage, 0);
    std::copy(rom.begin(), rom.end(), m.MultifaceImage.begin());
  }
  RebuildPortDecoder(m);
}

const Device kMultifaceDevice = {.name = "Multiface",
                                 .Fitted = MultifaceFitted,
                                 .Ports = MultifacePorts,
                                 .Configure = MultifaceConfigure,
                                 .Reset = MultifaceReset,
                                 .Nmi = MultifaceNmi,
                                 .stateId = "MFCE",
                                 .SaveState = MultifaceSave,
                                 .CheckState = MultifaceCheck,
                                 .LoadState = MultifaceLoad};

}  // namespace orvo
