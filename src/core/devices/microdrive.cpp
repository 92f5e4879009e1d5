#include "devices/microdrive.h"

#include <utility>

#include "formats/mdr_format.h"

namespace orvo {

namespace {

constexpr uint8_t kStatusPreamble = 0;
constexpr uint8_t kStatusBlock = 6;
constexpr uint8_t kStatusGap = 4;

MicrodriveUnit* SelectedCartridge(MicrodriveState& s) {
  if (s.drivesOff || s.selected >= kMicrodriveCount) return nullptr;
  MicrodriveUnit& d = s.drives[s.selected];
  return d.inserted && d.image.size() == kCartridgeImageSize ? &d : nullptr;
}

void Advance(MicrodriveState& s, MicrodriveUnit& d) {
  ++s.transfers;
  if (++d.position >= kCartridgeTapeBytes) d.position = 0;
}

}  // namespace

uint8_t SlotStatus(uint32_t position) {
  const uint32_t p = position % kSlotBytes;
  if (p < 12) return kStatusPreamble;
  if (p < 27) return kStatusBlock;
  if (p < 79) return kStatusGap;
  if (p < 91) return kStatusPreamble;
  if (p < 619) return kStatusBlock;
  return kStatusGap;
}

void MicrodriveControlWrite(MicrodriveState& s, uint8_t value) {
  const uint8_t v = value & 3;
  if (v == 0 && s.clock == 2 && !s.drivesOff) {
    s.selected = static_cast<uint8_t>(7 - (s.latched & 7));
    s.clock = 0;
    return;
  }
  if (v == 2 && s.clock == 0 && !s.drivesOff) {
    s.latched = s.counter;
    s.counter = 0;
    s.clock = 2;
    return;
  }
  if ((value & 2) == 0 && s.clock != 0) s.counter = static_cast<uint8_t>((s.counter + 1) & 7);
  s.clock = value & 2;
}

void MicrodriveCommsWrite(MicrodriveState& s, uint8_t value) {
  s.drivesOff = (value & 1) == 0;
  s.commsOut = value;
}

uint8_t MicrodriveStatusRead(MicrodriveState& s) {
  MicrodriveUnit* d = SelectedCartridge(s);
  if (!d) return 0xFF;
  // While the ROM formats a cartridge it writes the whole tape itself and polls the status
  // without moving it on.
  if (!s.formatMode) Advance(s, *d);
  return static_cast<uint8_t>(SlotStatus(d->position) | (d->writable ? 1 : 0));
}

uint8_t MicrodriveDataRead(MicrodriveState& s) {
  MicrodriveUnit* d = SelectedCartridge(s);
  if (!d) return 0xFF;
  // Preambles and gaps hold nothing the ROM can read: the head passes over them to the next
  // header or data block.
  while (SlotStatus(d->position) != kStatusBlock) Advance(s, *d);
  const uint8_t value = d->image[d->position];
  Advance(s, *d);
  return value;
}

void MicrodriveDataWrite(MicrodriveState& s, uint8_t value) {
  MicrodriveUnit* d = SelectedCartridge(s);
  if (!d) return;
  if (!s.formatMode) {
    while (SlotStatus(d->position) == kStatusGap) Advance(s, *d);
  }
  d->image[d->position] = value;
  Advance(s, *d);
}

void LoadCartridge(MicrodriveState& s, int n, std::vector<uint8_t> image, std::string path,
                   std::string name) {
  MicrodriveUnit& d = s.drives[static_cast<size_t>(n)];
  d.image = std::move(image);
  d.image.resize(kCartridgeImageSize, 0);
  d.position = 0;
  d.path = std::move(path);
  d.name = std::move(name);
  d.writable = d.image[kCartridgeTapeBytes] == 0;
  d.inserted = true;
  s.selected = static_cast<uint8_t>(n);
}

void UnloadCartridge(MicrodriveState& s, int n) {
  MicrodriveUnit& d = s.drives[static_cast<size_t>(n)];
  d = MicrodriveUnit{};
}

bool AnyCartridge(const MicrodriveState& s) {
  for (const MicrodriveUnit& d : s.drives) {
    if (d.inserted) return true;
  }
  return false;
}

void SetCartridgeWritable(MicrodriveState& s, int n, bool writable) {
  MicrodriveUnit& d = s.drives[static_cast<size_t>(n)];
  if (!d.inserted) return;
  d.writable = writable;
  if (d.image.size() == kCartridgeImageSize) d.image[kCartridgeTapeBytes] = writable ? 0 : 1;
}

}  // namespace orvo
