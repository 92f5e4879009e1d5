#include "shell/screen_file.h"

#include <algorithm>

#include "machine/machine_state.h"
#include "video/palette.h"

namespace orvo {

std::array<uint8_t, 64> UlaPlusPaletteBytes(const MachineState& m) {
  return m.ports.UlaPlusEntries;
}

void SetUlaPlusPaletteBytes(MachineState& m, std::span<const uint8_t, 64> bytes) {
  for (size_t i = 0; i < 64; ++i) {
    m.ports.UlaPlusEntries[i] = bytes[i];
    m.ports.UlaPlusPalette[i] = ULAplusRgbTable[bytes[i]];
  }
}

std::vector<uint8_t> BuildScr(const MachineState& m) {
  const bool palette = m.settings.UlaPlus && m.ports.UlaPlusPaletteMode;
  std::vector<uint8_t> scr(palette ? kScrPaletteSize : kScrSize);
  std::copy_n(m.ScreenPointer, kScrSize, scr.data());
  if (palette) {
    const auto bytes = UlaPlusPaletteBytes(m);
    std::copy(bytes.begin(), bytes.end(), scr.data() + kScrSize);
  }
  return scr;
}

MessageId LoadScr(MachineState& m, std::span<const uint8_t> data) {
  if (data.size() != kScrSize && data.size() != kScrPaletteSize) return kMsgScreenFileLength;
  std::copy_n(data.begin(), kScrSize, m.ScreenPointer);
  if (data.size() == kScrPaletteSize && m.settings.UlaPlus) {
    SetUlaPlusPaletteBytes(m, data.subspan<kScrSize, 64>());
    m.ports.UlaPlusPaletteMode = 1;
  }
  return kMsgNone;
}

}  // namespace orvo
