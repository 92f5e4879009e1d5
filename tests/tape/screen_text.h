#pragma once
// Reads the text on the Spectrum's screen by matching each character cell of the display file
// against the character set of the 48K BASIC ROM (at 0x3D00 in whichever ROM holds it, passed in
// as 768 bytes) or its inverse.
#include <cstdint>
#include <string>
#include <vector>

#include "machine/machine_state.h"

namespace orvo::test {

// The 768 bytes of the character set: the 48K ROM's 0x3D00-0x3FFF.
inline std::vector<uint8_t> CharacterSet(const std::vector<uint8_t>& rom48) {
  if (rom48.size() < 0x4000) return {};
  return std::vector<uint8_t>(rom48.begin() + 0x3D00, rom48.begin() + 0x4000);
}

// 24 lines of 32 characters, each line ended by '\n'; '?' where no character matches.
inline std::string ScreenText(const MachineState& m, const std::vector<uint8_t>& font) {
  std::string out;
  const uint8_t* screen = m.ScreenPointer;
  for (int row = 0; row < 24; ++row) {
    for (int col = 0; col < 32; ++col) {
      uint8_t cell[8];
      for (int line = 0; line < 8; ++line) {
        const int offset = ((row & 0x18) << 8) | (line << 8) | ((row & 7) << 5) | col;
        cell[line] = screen[offset];
      }
      char found = '?';
      for (int ch = 0; ch < 96 && found == '?' && font.size() >= 768; ++ch) {
        bool plain = true, inverse = true;
        for (int line = 0; line < 8; ++line) {
          plain = plain && cell[line] == font[ch * 8 + line];
          inverse = inverse && cell[line] == static_cast<uint8_t>(~font[ch * 8 + line]);
        }
        if (plain || inverse) found = static_cast<char>(32 + ch);
      }
      out += found;
    }
    out += '\n';
  }
  return out;
}

}  // namespace orvo::test
