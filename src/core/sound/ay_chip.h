#pragma once
// The AY-3-8912's register file as the ports see it. The sound generators build on it.
#include <cstdint>

namespace orvo {

struct AyChip {
  uint8_t regs[17] = {};  // 0..15 the chip's registers; 16 an auxiliary slot halved every frame
  uint8_t selected = 0;

  void Select(uint8_t value) { selected = value; }
  void WriteData(uint8_t value);
  uint8_t ReadData() const { return selected < 16 ? regs[selected] : 0xFF; }
};

}  // namespace orvo
