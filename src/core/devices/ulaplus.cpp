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

}  // namespace

const Device kUlaPlusDevice = {
    .name = "ULAplus", .Fitted = UlaPlusFitted, .Ports = UlaPlusPorts, .Reset = UlaPlusReset};

}  // namespace orvo
