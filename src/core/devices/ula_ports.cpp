// The ULA's port: every even port. A read gives the keyboard half-rows selected by the high byte's
// zero bits, the machine's own EAR/MIC output on bit 6, joysticks wired to the keyboard, and the
// tape; a write sets the border, the beeper and the EAR/MIC outputs.
#include <cstring>

#include "devices/standard_devices.h"
#include "machine/keyboard.h"
#include "machine/machine_state.h"
#include "tape/tape_player.h"
#include "video/ula.h"

namespace orvo {

uint8_t UlaPortValue(const MachineState& m, uint16_t port) {
  const uint8_t high = static_cast<uint8_t>(port >> 8);
  uint8_t keys = 0xFF;
  // Most reads find no key down (a loader polling the tape, a game waiting).
  uint64_t rows = 0;
  std::memcpy(&rows, m.input.KeyRows.data(), sizeof rows);
  if (rows != ~uint64_t{0}) {
    for (int row = 0; row < 8; ++row) {
      if (!(high & (1 << row))) keys &= m.input.KeyRows[row];
    }
  }
  uint8_t v = static_cast<uint8_t>((0xBF | m.ports.EarFeedback) & keys);
  const int32_t keystick = m.settings.KeystickType;
  if (m.input.KeystickActive && keystick >= 3 && keystick <= 5) v = KeystickValue(m, v, high);
  const int32_t joystick = m.settings.JoystickType;
  if (m.input.JoystickActive && joystick >= 3 && joystick <= 5) v = JoystickValue(m, v, high);
  if (m.TapePlaying) {
    v = static_cast<uint8_t>((v & (m.Issue3Keyboard ? 0xFF : 0xBF)) ^ m.tape.EarBit);
  }
  return v;
}

namespace {

// The tape's automatic start/stop watches every ULA read: after the read on the 48K and 128K,
// before it on the +2A/+3.
uint8_t UlaReadThenTape(MachineState& m, uint16_t port, uint8_t) {
  const uint8_t v = UlaPortValue(m, port);
  TapeAutoStartStop(m);
  return v;
}
uint8_t TapeThenUlaRead(MachineState& m, uint16_t port, uint8_t) {
  TapeAutoStartStop(m);
  return UlaPortValue(m, port);
}

// What the ULA's output byte drives: the EAR input's feedback (bit 6 of a read) and the speaker.
void SetUlaOutputs(MachineState& m, uint8_t value, ModelGroup group) {
  PortState& p = m.ports;
  // The 48K's issue 2 board also feeds MIC back to the EAR input; the later boards only EAR.
  if (group == ModelGroup::k48) {
    p.EarFeedback = (value & m.IssueMask) ? 0x40 : 0;
  } else {
    p.EarFeedback = (value & 0x10) ? 0x40 : 0;
  }
  if (value & 0x10) {
    p.BeeperLevel = (group != ModelGroup::kPlus3 && (value & 0x08)) ? 16384 : 8192;
  } else {
    p.BeeperLevel = 0;
  }
}

void UlaWrite(MachineState& m, uint8_t value, ModelGroup group) {
  PortState& p = m.ports;
  // +3: a loader touching the EAR bit ends the disk fast-load countdown.
  if (m.MachineModel == kModelPlus3 && m.DiskFastCountdown > 0 && ((value ^ p.LastUlaOut) & 0x10)) {
    m.DiskFastCountdown = 0;
    m.FullSpeed = 0;
  }
  if ((value & 7) != p.BorderColour) {
    // The border up to here keeps the old colour.
    RenderBorderUpTo(m, m.FrameTState);
    p.BorderColour = value & 7;
  }
  SetUlaOutputs(m, value, group);
  // With saving to tape on, a saver of the program's own is recorded from MIC.
  if (m.tape.SaveTrap && ((value ^ p.LastUlaOut) & 0x08)) RecordMicEdge(m, value & 0x08);
  p.LastUlaOut = value;
}

void UlaWrite48(MachineState& m, uint16_t, uint8_t value) {
  UlaWrite(m, value, ModelGroup::k48);
}
void UlaWrite128(MachineState& m, uint16_t, uint8_t value) {
  UlaWrite(m, value, ModelGroup::k128);
}
void UlaWritePlus3(MachineState& m, uint16_t, uint8_t value) {
  UlaWrite(m, value, ModelGroup::kPlus3);
}

void UlaPorts(PortRowList& rows, const MachineState& m) {
  switch (GroupOf(m.MachineModel)) {
    case ModelGroup::k48: rows.Add({0x0001, 0x0000, UlaReadThenTape, UlaWrite48}); break;
    case ModelGroup::k128: rows.Add({0x0001, 0x0000, UlaReadThenTape, UlaWrite128}); break;
    case ModelGroup::kPlus3: rows.Add({0x0001, 0x0000, TapeThenUlaRead, UlaWritePlus3}); break;
  }
}

void UlaReset(MachineState& m, bool) {
  m.ports.BorderColour = 7;
  m.ports.EarFeedback = 0;
}

// The "KEYB" block: flags (4 bytes, bit 0 an issue 2 keyboard) and the joystick the keyboard
// emulates (0-4 for the keystick settings 1-5, 8 for none).
constexpr size_t kKeybSize = 5;
constexpr uint8_t kNoKeyboardJoystick = 8;

void UlaSave(const MachineState& m, std::vector<uint8_t>& out) {
  const int32_t joystick = m.settings.KeystickType;
  out.insert(out.end(), {static_cast<uint8_t>(m.Issue3Keyboard ? 0 : 1), 0, 0, 0,
                         joystick >= 1 && joystick <= 5 ? static_cast<uint8_t>(joystick - 1)
                                                        : kNoKeyboardJoystick});
}

bool UlaCheck(std::span<const uint8_t> block) {
  return block.size() == kKeybSize;
}

// The keyboard issue is the machine's; the joystick the game reads comes from the "JOY" block,
// which fits it to the controller or the keyboard. The 128K models only ever had issue 3 boards.
bool UlaLoad(MachineState& m, std::span<const uint8_t> block) {
  if (!UlaCheck(block)) return false;
  if (m.MachineModel == kModel48K) {
    m.Issue3Keyboard = (block[0] & 1) ? 0 : 1;
    m.IssueMask = m.Issue3Keyboard ? 0x10 : 0x18;
  }
  return true;
}

}  // namespace

bool IsUlaPortRead(PortReadFn read) {
  return read == UlaReadThenTape || read == TapeThenUlaRead;
}

void RestoreUlaOutputs(MachineState& m) {
  SetUlaOutputs(m, m.ports.LastUlaOut, GroupOf(m.MachineModel));
}

const Device kUlaDevice = {.name = "ULA",
                           .Ports = UlaPorts,
                           .Reset = UlaReset,
                           .stateId = "KEYB",
                           .SaveState = UlaSave,
                           .CheckState = UlaCheck,
                           .LoadState = UlaLoad};

}  // namespace orvo
