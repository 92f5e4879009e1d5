#pragma once
// The seven models and their per-model constants.
#include <cstdint>

namespace orvo {

enum Model : uint8_t {
  kModel16K = 0,
  kModel48K = 1,
  kModel128K = 2,
  kModelPlus2 = 3,
  kModelPlus2A = 4,
  kModelPlus3 = 5,
  kModelCustom = 6,
};

struct ModelSpec {
  uint32_t firstDisplayTState;
  uint32_t tstatesPerFrame;
  uint32_t tstatesPerLine;
  uint32_t firstVisibleLine;
  uint32_t firstDisplayLine;
  uint32_t displayLeftOffset;
  uint32_t borderLeftWidth;
  uint32_t retraceWidth;
  uint32_t interruptLength;
  uint32_t ramTop;
  uint32_t topSlotContended;
  uint32_t romWriteProtect;
  uint32_t cpuClockHz;
  const char* modelName;
};

extern const ModelSpec ModelTable[7];

inline bool Is128KFamily(uint8_t model) { return model >= kModel128K && model <= kModelPlus3; }
inline bool IsPlus2AFamily(uint8_t model) { return model == kModelPlus2A || model == kModelPlus3; }
inline bool Is48KGroup(uint8_t model) {
  return model == kModel16K || model == kModel48K || model == kModelCustom;
}

}  // namespace orvo
