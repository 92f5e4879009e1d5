#pragma once
// Port-side state of the machine: what the ULA, the paging latches read back and ULAplus keep
// between IN and OUT instructions.
#include <array>
#include <cstdint>

namespace orvo {

struct PortState {
  // ---- the ULA (port 0xFE and every even port) ----
  uint8_t LastUlaOut = 0;    // last byte written to the ULA: border, MIC (bit 3), EAR (bit 4)
  uint8_t BorderColour = 7;  // bits 0-2 of the last ULA write
  uint8_t EarFeedback = 0;   // 0x40 or 0: bit 6 a ULA read returns from the machine's own output
  uint32_t BeeperLevel = 0;  // speaker level: 0, 4096, 8192 or 16384

  // ---- latches read back or remembered by the decoder ----
  uint8_t LastAySelect = 0;  // last byte written to the Fuller Box's register port (0x3F)
  uint8_t LastFFFDRead = 0xFF;
  uint8_t LastBFFDRead = 0xFF;
  uint8_t Last0FFDRead = 0xFF;  // +2A/+3 floating-bus port
  uint8_t Last2FFD = 0xFF;
  uint8_t Last3FFD = 0xFF;

  // ---- ULAplus ----
  uint8_t UlaPlusRegister = 0;                // selected palette entry 0-63
  uint8_t UlaPlusModeGroup = 0;               // the register port last selected the mode group
  uint8_t UlaPlusPaletteMode = 0;             // the 64-colour palette is in use
  std::array<uint8_t, 64> UlaPlusEntries{};   // the entries as written: G3 R3 B2
  std::array<uint32_t, 64> UlaPlusPalette{};  // the same as 0x00RRGGBB
};

}  // namespace orvo
