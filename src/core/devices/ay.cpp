// The AY-3-8912 sound chip's ports, and the Fuller Box that brings one to the 48K.
//
// The 128K family decodes the AY on A15, A14 and A1: 0xFFFD selects a register and reads it back,
// 0xBFFD writes it (and reads it back on the +2A only). A 48K has no AY of its own: its ports
// answer once a program has touched the Fuller Box's ports or the AY48K setting is on (and reads of
// 0xFFFD while the SpecDrum or the µSpeech is fitted). The Fuller Box itself decodes low bytes 0x3F
// (register select) and 0x5F (data); on the 128K family those reach the machine's own AY as 0xFFFD
// and 0xBFFD.
#include "devices/standard_devices.h"
#include "machine/machine_state.h"
#include "sound/sound.h"

namespace orvo {

namespace {

uint8_t AyRegisterRead(MachineState& m, uint16_t, uint8_t) {
  const uint8_t v = m.sound.ay.ReadData();
  m.ports.LastFFFDRead = v;
  return v;
}
uint8_t AyRegisterRead48(MachineState& m, uint16_t port, uint8_t value) {
  return m.settings.Ay48k ? AyRegisterRead(m, port, value) : value;
}
uint8_t AyDataRead(MachineState& m, uint16_t, uint8_t) {
  const uint8_t v = m.sound.ay.ReadData();
  m.ports.LastBFFDRead = v;
  return v;
}
void AySelectWrite(MachineState& m, uint16_t, uint8_t value) {
  m.sound.ay.Select(value);
}
void AyDataWrite(MachineState& m, uint16_t, uint8_t value) {
  m.sound.ay.WriteData(value);
}
void AySelectWrite48(MachineState& m, uint16_t port, uint8_t value) {
  if (m.settings.Ay48k) AySelectWrite(m, port, value);
}
void AyDataWrite48(MachineState& m, uint16_t port, uint8_t value) {
  if (m.settings.Ay48k) AyDataWrite(m, port, value);
}

// A read of 0x5F switches a 48K's AY on for good. As with the Fuller Box's select port, the
// ticks due from before the chip was switched on are dropped: it starts from where it was left.
uint8_t Ay48kSwitchOn(MachineState& m, uint16_t, uint8_t value) {
  AyChip& ay = m.sound.ay;
  if (AyGated(m)) {
    ay.GateClosed = 1;
    ay.CatchUp();
  }
  m.settings.Ay48k = 1;
  return value;
}

void AyPorts(PortRowList& rows, const MachineState& m) {
  switch (GroupOf(m.MachineModel)) {
    case ModelGroup::k48: {
      const bool readable = m.settings.SpecDrum || m.settings.USpeech;
      rows.Add({.mask = 0x00FF, .value = 0x5F, .read = Ay48kSwitchOn, .write = AyDataWrite48});
      rows.Add({.mask = 0xC002,
                .value = 0xC000,
                .read = readable ? AyRegisterRead : AyRegisterRead48,
                .write = AySelectWrite48});
      rows.Add({.mask = 0xC002, .value = 0x8000, .write = AyDataWrite48});
      break;
    }
    case ModelGroup::k128:
    case ModelGroup::kPlus3:
      rows.Add({.mask = 0x00FF, .value = 0x5F, .writeAs = 0xBFFD});
      rows.Add({.mask = 0xC002, .value = 0xC000, .read = AyRegisterRead, .write = AySelectWrite});
      rows.Add({.mask = 0xC002,
                .value = 0x8000,
                .read = m.MachineModel == kModelPlus2A ? AyDataRead : nullptr,
                .write = AyDataWrite});
      break;
  }
}

uint8_t FullerDataRead(MachineState& m, uint16_t, uint8_t) {
  return m.sound.ay.ReadData();
}
void FullerSelectWrite(MachineState& m, uint16_t, uint8_t value) {
  AyFullerSelect(m, value);
  m.ports.LastAySelect = value;
}

bool FullerBoxFitted(const MachineState& m) {
  return m.settings.FullerAy != 0;
}

void FullerBoxPorts(PortRowList& rows, const MachineState& m) {
  if (GroupOf(m.MachineModel) == ModelGroup::k48) {
    rows.Add({.mask = 0x00FF, .value = 0x3F, .write = FullerSelectWrite});
    rows.Add({.mask = 0x00FF, .value = 0x5F, .read = FullerDataRead});
  } else {
    rows.Add({.mask = 0x00FF, .value = 0x3F, .writeAs = 0xFFFD});
    rows.Add({.mask = 0x00FF, .value = 0x5F, .readAs = 0xFFFD});
  }
}

}  // namespace

const Device kAyDevice = {.name = "AY", .Ports = AyPorts};
const Device kFullerBoxDevice = {
    .name = "Fuller Box", .Fitted = FullerBoxFitted, .Ports = FullerBoxPorts};

}  // namespace orvo
