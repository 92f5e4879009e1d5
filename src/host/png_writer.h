#pragma once
// Writes 32-bit 0x00RRGGBB pictures as PNG files.
#include <cstdint>
#include <string>

namespace orvo {

// Returns false (and sets `error`) when the file cannot be written.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height,
              std::string* error);

}  // namespace orvo
