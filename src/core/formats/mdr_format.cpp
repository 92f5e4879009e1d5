#include "formats/mdr_format.h"

#include <algorithm>

namespace orvo {

FormatStatus ParseMdr(std::span<const uint8_t> file, std::vector<uint8_t>& image) {
  const size_t size = file.size();
  const bool hasProtectByte = size % kMdrSectorBytes == 1;
  const size_t sectors = size / kMdrSectorBytes;
  if (size == 0 || size > kMdrFileSize || (size % kMdrSectorBytes != 0 && !hasProtectByte) ||
      sectors == 0) {
    return {FormatError::CartridgeLength,
            static_cast<uint32_t>(std::min<size_t>(size, 0xFFFFFFFF))};
  }
  image.assign(kCartridgeImageSize, 0);
  for (size_t s = 0; s < sectors; ++s) {
    const uint8_t* in = file.data() + s * kMdrSectorBytes;
    uint8_t* slot = image.data() + s * kSlotBytes;
    std::copy_n(in, kMdrHeaderBytes, slot + kSlotHeaderOffset);
    std::copy_n(in + kMdrHeaderBytes, kMdrDataBytes, slot + kSlotDataOffset);
  }
  image[kCartridgeTapeBytes] = hasProtectByte ? file[size - 1] : 0;
  return {};
}

std::vector<uint8_t> WriteMdr(std::span<const uint8_t> image) {
  std::vector<uint8_t> out(kMdrFileSize, 0);
  if (image.size() < kCartridgeImageSize) return out;
  for (size_t s = 0; s < kMdrSectors; ++s) {
    const uint8_t* slot = image.data() + s * kSlotBytes;
    uint8_t* sector = out.data() + s * kMdrSectorBytes;
    std::copy_n(slot + kSlotHeaderOffset, kMdrHeaderBytes, sector);
    std::copy_n(slot + kSlotDataOffset, kMdrDataBytes, sector + kMdrHeaderBytes);
  }
  out[kMdrFileSize - 1] = image[kCartridgeTapeBytes];
  return out;
}

}  // namespace orvo
