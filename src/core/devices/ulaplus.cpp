// ULAplus: a register port (0xBF3B) selecting a palette entry or the mode group, and a data port
// (0xFF3B) that writes the entry or the mode and reads back the selected entry, or the mode. Both
// decode all sixteen address lines.
#include "devices/standard_devices.h"
#include "machine/machine_state.h"
#include "video/palette.h"
#include "video/ula.h"

namespace orvo {

namespace {

uint8_t UlaPlusRead(MachineState& m, uint16_t, uint8_t) {
  const PortState& p = m.ports;
  return p.UlaPlusModeGroup ? p.UlaPlusPaletteMode : p.UlaPlusEntries[p.UlaPlusRegister];
}

void UlaPlusRegisterWrite(MachineState& m, uint16_t, uint8_t value) {
  PortState& p = m.ports;
  if ((value & 0xC0) == 0x40) {
    p.UlaPlusModeGroup = 1;
  } else {
    p.UlaPlusModeGroup = 0;
    p.UlaPlusRegister = value & 0x3F;
  }
}

// A palette or mode change shows from this point of the picture on, so what the beam has passed
// is drawn with the old colours first.
void UlaPlusDataWrite(MachineState& m, uint16_t, uint8_t value) {
  PortState& p = m.ports;
  if (p.UlaPlusModeGroup) {
    if ((value & 1) != p.UlaPlusPaletteMode) {
      RenderBorderUpTo(m, m.FrameTState);
      RenderDisplayUpTo(m, m.FrameTState);
      p.UlaPlusPaletteMode = value & 1;
    }
  } else {
    p.UlaPlusEntries[p.UlaPlusRegister] = value;
    const uint32_t rgb = ULAplusRgbTable[value];
    if (p.UlaPlusPalette[p.UlaPlusRegister] != rgb) {
      if (p.UlaPlusPaletteMode) {
        RenderBorderUpTo(m, m.FrameTState);
        RenderDisplayUpTo(m, m.FrameTState);
      }
      p.UlaPlusPalette[p.UlaPlusRegister] = rgb;
    }
  }
}

bool UlaPlusFitted(const MachineState& m) {
  return m.settings.UlaPlus != 0;
}

void UlaPlusPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0xFFFF, .value = 0xBF3B, .write = UlaPlusRegisterWrite});
  rows.Add({.mask = 0xFFFF, .value = 0xFF3B, .read = UlaPlusRead, .write = UlaPlusDataWrite});
}

// The palette itself is reloaded with the display set-up; a reset only leaves 64-colour mode.
void UlaPlusReset(MachineState& m, bool) {
  m.ports.UlaPlusPaletteMode = 0;
}

// The "PLTT" block: flags (bit 0 the 64-colour mode), the selected register, the 64 palette
// entries as the bytes written to the data port (G3 R3 B2). Later writers add a 67th byte (the
// state of the video modes that go beyond the palette), which this ULAplus has no use for.
constexpr size_t kPlttSize = 66;

void UlaPlusSave(const MachineState& m, std::vector<uint8_t>& out) {
  const PortState& p = m.ports;
  out.push_back(p.UlaPlusPaletteMode & 1);
  out.push_back(p.UlaPlusRegister & 0x3F);
  out.insert(out.end(), p.UlaPlusEntries.begin(), p.UlaPlusEntries.end());
}

bool UlaPlusCheck(std::span<const uint8_t> block) {
  return block.size() == kPlttSize || block.size() == kPlttSize + 1;
}

bool UlaPlusLoad(MachineState& m, std::span<const uint8_t> block) {
  if (!UlaPlusCheck(block)) return false;
  PortState& p = m.ports;
  p.UlaPlusPaletteMode = block[0] & 1;
  p.UlaPlusRegister = block[1] & 0x3F;
  p.UlaPlusModeGroup = 0;
  for (size_t k = 0; k < p.UlaPlusPalette.size(); ++k) {
    p.UlaPlusEntries[k] = block[2 + k];
    p.UlaPlusPalette[k] = ULAplusRgbTable[block[2 + k]];
  }
  return true;
}

}  // namespace

const Device kUlaPlusDevice = {.name = "ULAplus",
                               .Fitted = UlaPlusFitted,
                               .Ports = UlaPlusPorts,
                               .Reset = UlaPlusReset,
                               .stateId = "PLTT",
                               .SaveState = UlaPlusSave,
                               .CheckState = UlaPlusCheck,
                               .LoadState = UlaPlusLoad};

}  // namespace orvo
