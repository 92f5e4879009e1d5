// The Interface II ROM cartridge. While a cartridge is in, the machine runs from it: the 16 KB ROM
// at 0x0000 and, in place of the machine's RAM, a fresh area of 0xFF from 0x4000 up, which the
// ULA displays too. The paging registers still latch underneath and show again once the cartridge
// is removed. (The interface's joystick ports are the keyboard rows, read through the ULA.)
#include <zlib.h>

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

// The block: the compressed size (32-bit, little endian), then the 16 KB cartridge compressed with
// zlib. There is a block only while a cartridge is in.
void CartridgeSave(const MachineState& m, std::vector<uint8_t>& out) {
  if (!m.CartridgeInserted || m.CartridgeImage.size() != 2 * kPage) return;
  uLongf size = compressBound(2 * kPage);
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, m.CartridgeImage.data(), 2 * kPage, Z_BEST_COMPRESSION) !=
      Z_OK)
    return;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
}

bool Unpack(std::span<const uint8_t> block, std::vector<uint8_t>& image) {
  if (block.size() < 4) return false;
  const uint32_t size =
      block[0] | (block[1] << 8) | (block[2] << 16) | (static_cast<uint32_t>(block[3]) << 24);
  if (size != block.size() - 4) return false;
  image.assign(2 * kPage, 0);
  uLongf unpacked = 2 * kPage;
  return uncompress(image.data(), &unpacked, block.data() + 4, size) == Z_OK &&
         unpacked == 2 * kPage;
}

bool CartridgeCheck(std::span<const uint8_t> block) {
  std::vector<uint8_t> image;
  return Unpack(block, image);
}

bool CartridgeLoad(MachineState& m, std::span<const uint8_t> block) {
  std::vector<uint8_t> image;
  if (!Unpack(block, image)) return false;
  // The cartridge goes in with a fresh RAM area, as when it is inserted.
  m.CartridgeImage = std::move(image);
  m.CartridgeInserted = 1;
  CartridgeMemoryReset(m);
  return true;
}

}  // namespace

const Device kInterface2Device = {.name = "Interface II",
                                  .MemoryReset = CartridgeMemoryReset,
                                  .stateId = "IF2R",
                                  .SaveState = CartridgeSave,
                                  .CheckState = CartridgeCheck,
                                  .LoadState = CartridgeLoad};

}  // namespace orvo
