#pragma once
// Microdrive cartridges. An MDR file holds the 254 sectors of a cartridge, each the 15-byte
// sector header then the 528-byte data block, and ends with a write-protect byte (non-zero:
// protected). The emulated tape is wider: every sector sits in a 671-byte slot with the
// preambles and gaps the drive sees between the blocks, so the drive can stream the tape byte by
// byte as the Interface 1 reads it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/format_status.h"

namespace orvo {

constexpr size_t kMdrSectors = 254;
constexpr size_t kMdrHeaderBytes = 15;
constexpr size_t kMdrDataBytes = 528;
constexpr size_t kMdrSectorBytes = kMdrHeaderBytes + kMdrDataBytes;  // 543
constexpr size_t kMdrFileSize = kMdrSectors * kMdrSectorBytes + 1;   // 137,923

// A slot of the tape image: preamble, header, gap, preamble, data block, gap.
constexpr size_t kSlotBytes = 671;
constexpr size_t kSlotHeaderOffset = 12;
constexpr size_t kSlotDataOffset = 91;
constexpr size_t kCartridgeTapeBytes = kMdrSectors * kSlotBytes;  // 170,434
constexpr size_t kCartridgeImageSize = kCartridgeTapeBytes + 1;   // then the protect byte

// Lays an MDR file out as a tape image of kCartridgeImageSize bytes. A file of fewer sectors
// (with or without its protect byte) leaves the missing sectors blank; no protect byte means
// writable. Refused with FormatError::CartridgeLength: an empty
// file, one longer than a full cartridge, or one that ends inside a sector.
FormatStatus ParseMdr(std::span<const uint8_t> file, std::vector<uint8_t>& image);

// The full-size MDR file of a tape image (kCartridgeImageSize bytes).
std::vector<uint8_t> WriteMdr(std::span<const uint8_t> image);

}  // namespace orvo
