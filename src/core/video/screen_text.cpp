#include "video/screen_text.h"

#include <cstring>

#include "machine/machine_state.h"

namespace orvo {

namespace {

// Every model keeps the character set at 0x3D00 of its 48 BASIC ROM: the only ROM of the 16K,
// 48K and Custom, the second of the 128K and +2, the fourth of the +2A and +3.
constexpr uint32_t kCharSetOffset = 0x3D00;

const uint8_t* DisplayedScreen(const MachineState& m) {
  return Is128KFamily(m.MachineModel) ? m.ScreenPointer : m.PageTable[2];
}

}  // namespace

const uint8_t* RomCharacterSet(const MachineState& m) {
  if (Is48KGroup(m.MachineModel)) {
    return m.RomBuffer48.size() >= 0x4000 ? m.RomBuffer48.data() + kCharSetOffset : nullptr;
  }
  const size_t rom = IsPlus2AFamily(m.MachineModel) ? 3 : 1;
  const size_t offset = rom * 0x4000 + kCharSetOffset;
  return m.RomBuffer128.size() >= offset + 96 * 8 ? m.RomBuffer128.data() + offset : nullptr;
}

uint8_t CellCharacter(const MachineState& m, int row, int column) {
  const uint8_t* set = RomCharacterSet(m);
  const uint8_t* screen = DisplayedScreen(m);
  if (!set || !screen || row < 0 || row >= 24 || column < 0 || column >= 32) return 0;
  // Pixel line k of character row r lives at ((r & 0x18) << 8) | (k << 8) | ((r & 7) << 5).
  uint8_t cell[8], inverse[8];
  for (int k = 0; k < 8; ++k) {
    cell[k] = screen[((row & 0x18) << 8) | (k << 8) | ((row & 7) << 5) | column];
    inverse[k] = static_cast<uint8_t>(~cell[k]);
  }
  for (int c = 0; c < 96; ++c) {
    if (std::memcmp(cell, set + c * 8, 8) == 0 || std::memcmp(inverse, set + c * 8, 8) == 0) {
      return static_cast<uint8_t>(32 + c);
    }
  }
  return 0;
}

std::string ScreenText(const MachineState& m) {
  std::string text;
  text.reserve(24 * 34);
  for (int row = 0; row < 24; ++row) {
    for (int column = 0; column < 32; ++column) {
      const uint8_t c = CellCharacter(m, row, column);
      switch (c) {
        case 0: text += '?'; break;
        case 96: text += "\xC2\xA3"; break;   // £
        case 127: text += "\xC2\xA9"; break;  // ©
        default: text += static_cast<char>(c); break;
      }
    }
    text += '\n';
  }
  return text;
}

}  // namespace orvo
