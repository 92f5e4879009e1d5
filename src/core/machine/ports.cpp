// The port decoder: every IN and OUT of the Z80, with the I/O cycle's T-states.
//
// The ULA answers every even port. The other devices decode the low byte exactly (the add-on
// interfaces) or a few address lines: A15, A14 and A1 for the AY and the 0x7FFD paging register,
// A15-A12 and A1 for the +2A/+3's 0x1FFD, 0x2FFD and 0x3FFD. A read that nothing answers sees the
// byte the ULA happens to be fetching (the floating bus) on the 48K and 128K.
#include "machine/keyboard.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "sound/sound.h"
#include "tape/tape_player.h"
#include "video/palette.h"
#include "video/ula.h"

namespace orvo {

namespace {

enum class Group { k48, k128, kPlus3 };

inline Group GroupOf(uint8_t model) {
  if (IsPlus2AFamily(model)) return Group::kPlus3;
  if (Is128KFamily(model)) return Group::k128;
  return Group::k48;
}

inline uint32_t IoDelayAt(const MachineState& m) {
  return m.FrameTState < kContentionTableSize ? m.IoContentionTable[m.FrameTState] : 0;
}

// The port's high byte puts a contended address on the bus.
inline bool HighByteContended(const MachineState& m, uint16_t port) {
  return m.settings.Contention && m.IsContended(port);
}

// First T-state of the I/O cycle (16K, 48K, 128K, +2, Custom).
inline void IoFirst(MachineState& m, uint16_t port) {
  if (HighByteContended(m, port)) m.FrameTState += IoDelayAt(m);
  m.FrameTState += 1;
}

// The next two T-states. The ULA holds an even-port access whatever the high byte and the
// contention option say; an odd port with a contended high byte is held at each T-state.
inline void IoMiddle(MachineState& m, uint16_t port) {
  if (!(port & 1)) {
    m.FrameTState += IoDelayAt(m);
    m.FrameTState += 2;
  } else if (HighByteContended(m, port)) {
    m.FrameTState += IoDelayAt(m);
    m.FrameTState += 1;
    m.FrameTState += IoDelayAt(m);
    m.FrameTState += 1;
    m.FrameTState += IoDelayAt(m);
  } else {
    m.FrameTState += 2;
  }
}

bool KempstonEmulated(const MachineState& m) {
  return (m.input.KeystickActive && m.settings.KeystickType == 1) ||
         (m.input.JoystickActive && m.settings.JoystickType == 1);
}
bool FullerEmulated(const MachineState& m) {
  return (m.input.KeystickActive && m.settings.KeystickType == 2) ||
         (m.input.JoystickActive && m.settings.JoystickType == 2);
}

// A game controller overrides the keystick when both emulate the same interface.
uint8_t JoystickPortValue(const MachineState& m, int32_t type, uint8_t high) {
  if (m.input.JoystickActive && m.settings.JoystickType == type) return JoystickValue(m, 0, high);
  return KeystickValue(m, 0, high);
}

bool AmxCaptured(const MachineState& m) {
  return m.settings.MouseType == 1 && m.input.MouseCaptured;
}

// The ULA's answer to an even port: the keyboard half-rows selected by the high byte's zero
// bits, the machine's own EAR/MIC output on bit 6, joysticks wired to the keyboard, and the tape.
uint8_t UlaRead(MachineState& m, uint16_t port) {
  const uint8_t high = static_cast<uint8_t>(port >> 8);
  uint8_t keys = 0xFF;
  for (int row = 0; row < 8; ++row) {
    if (!(high & (1 << row))) keys &= m.input.KeyRows[row];
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

void UlaWrite(MachineState& m, uint8_t value, Group group) {
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
  if (group == Group::k48) {
    p.EarFeedback = (value & m.IssueMask) ? 0x40 : 0;
  } else {
    p.EarFeedback = (value & 0x10) ? 0x40 : 0;
  }
  if (value & 0x10) {
    p.BeeperLevel = (group != Group::kPlus3 && (value & 0x08)) ? 16384 : 8192;
  } else {
    p.BeeperLevel = 0;
  }
  p.LastUlaOut = value;
}

// ULAplus register and data ports (OUT). A palette or mode change shows from this point of the
// picture on, so what the beam has passed is drawn with the old colours first.
void UlaPlusWrite(MachineState& m, uint16_t port, uint8_t value) {
  PortState& p = m.ports;
  if (port == 0xBF3B) {
    if ((value & 0xC0) == 0x40) {
      p.UlaPlusModeGroup = 1;
    } else {
      p.UlaPlusModeGroup = 0;
      p.UlaPlusRegister = value & 0x3F;
    }
  } else if (port == 0xFF3B) {
    if (p.UlaPlusModeGroup) {
      if ((value & 1) != p.UlaPlusPaletteMode) {
        RenderBorderUpTo(m, m.FrameTState);
        RenderDisplayUpTo(m, m.FrameTState);
        p.UlaPlusPaletteMode = value & 1;
      }
    } else {
      p.UlaPlusDataLatch = value;
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
}

}  // namespace

uint8_t MachineState::ReadPort(uint16_t port) {
  const Group group = GroupOf(MachineModel);
  const uint8_t low = static_cast<uint8_t>(port);
  const bool even = (port & 1) == 0;
  uint8_t v = 0xFF;

  // [RZX playback: the recorded input byte replaces the decoding below (rzx subsystem).]
  // [Fuller Orator: readiness for the next allophone, port low byte 0xBF (speech units).]

  if (settings.UlaPlus && port == 0xFF3B) {
    v = ports.UlaPlusModeGroup ? 1 : (ports.UlaPlusDataLatch & 0x3F);
    if (group == Group::kPlus3) {
      FrameTState += 3;
    } else {
      IoFirst(*this, port);
      IoMiddle(*this, port);
    }
    FrameTState += 1;
    // [RZX recording: append v to the frame's inputs.]
    return v;
  }

  // The I/O cycle up to the moment the device puts its byte on the bus. (On the 128K and +2 the
  // even-port wait falls inside the ULA read, before the keyboard is sampled: the same moment.)
  if (group == Group::kPlus3) {
    FrameTState += 3;
  } else {
    IoFirst(*this, port);
    IoMiddle(*this, port);
  }

  if (group == Group::kPlus3 && even) TapeAutoStartStop(*this);
  if (even) v = UlaRead(*this, port);
  if (group != Group::kPlus3 && even) TapeAutoStartStop(*this);

  // Devices that decode the low byte exactly.
  uint16_t decoded = port;  // what the address-line decoders below see
  switch (low) {
    case 0x1F:
      if (KempstonEmulated(*this)) v = JoystickPortValue(*this, 1, static_cast<uint8_t>(port >> 8));
      if (group == Group::k48 && AmxCaptured(*this)) v = input.AmxCurrentDirection;
      break;
    case 0x3F:
      if (group == Group::k48) {
        // [Multiface: paged out here when its RAM write flag is set.]
        if (AmxCaptured(*this)) v = input.AmxCurrentDirection;
      }
      // [Multiface: page out (128K group), page in when its RAM write flag is set (+2A/+3).]
      break;
    case 0x5F:
      if (group == Group::k48) {
        settings.Ay48k = 1;
        if (settings.FullerAy) v = sound.ay.ReadData();
      } else if (settings.FullerAy) {
        decoded = 0xFFFD;
      }
      break;
    case 0x7F:
      if (FullerEmulated(*this)) v = JoystickPortValue(*this, 2, static_cast<uint8_t>(port >> 8));
      break;
    case 0xBF:
      // [Multiface: page in when its RAM write flag is set (48K and 128K groups), page out
      // (+2A/+3).]
      break;
    case 0xDF:
      if (group != Group::kPlus3) v = MousePortValue(*this, port, group == Group::k48);
      break;
    case 0xE7:
    case 0xEF:
      // [Interface 1: microdrive data and status while its ROM is paged in (48K group).]
      break;
    case 0xFB:
      // [ZX Printer.]
      break;
    case 0xFF:
      if (MachineModel == kModelPlus3) v = 0xFF;
      break;
    default: break;
  }

  // A15, A14 and A1.
  switch (decoded & 0xC002) {
    case 0xC000:
      if (group != Group::k48 || settings.Ay48k || settings.SpecDrum || settings.USpeech) {
        v = sound.ay.ReadData();
        ports.LastFFFDRead = v;
      }
      break;
    case 0x8000:
      if (MachineModel == kModelPlus2A) {
        v = sound.ay.ReadData();
        ports.LastBFFDRead = v;
      }
      break;
    case 0x4000:
      if (group == Group::k128) {
        // The 128K's paging register answers reads as if they were writes of whatever is on the
        // data bus.
        v = FloatingBusValue(*this);
        Write7FFD128(*this, v);
      }
      break;
    default: break;
  }

  // A15-A12 and A1 (+2A and +3).
  if (group == Group::kPlus3) {
    switch (decoded & 0xF002) {
      case 0x0000:
        v = FloatingBusPlus3(*this);
        ports.Last0FFDRead = v;
        break;
      case 0x2000:
        // [+3 disk controller: main status register.]
        v = 0xFF;
        ports.Last2FFD = v;
        break;
      case 0x3000:
        // [+3 disk controller: data register.]
        v = 0xFF;
        ports.Last3FFD = v;
        break;
      default: break;
    }
  }

  // Nothing answered: the floating bus. (A ULA read is held by the ULA until the idle phase of
  // its fetch, where the bus reads 0xFF anyway.)
  if (v == 0xFF) {
    if (group == Group::k48) {
      if (!TapePlaying && !If1Paged() && !settings.SpecDrum /* [&& ZX Printer off] */) {
        v = FloatingBusValue(*this);
      }
    } else if (group == Group::k128) {
      v = FloatingBusValue(*this);
    }
  }

  FrameTState += 1;
  // [RZX recording: append v to the frame's inputs.]
  return v;
}

void MachineState::WritePort(uint16_t port, uint8_t value) {
  const Group group = GroupOf(MachineModel);
  const uint8_t low = static_cast<uint8_t>(port);
  const bool even = (port & 1) == 0;

  if (settings.UlaPlus) UlaPlusWrite(*this, port, value);

  if (group == Group::kPlus3) {
    FrameTState += 1;
  } else {
    IoFirst(*this, port);
  }

  // [µSpeech: OUT to low byte 0x39 toggles its ROM overlay (48K group, "uSpeech" on).]

  if (even) {
    // On the 128K and +2 the ULA's wait comes before the border changes.
    if (group == Group::k128) IoMiddle(*this, port);
    UlaWrite(*this, value, group);
  }

  uint16_t decoded = port;
  switch (low) {
    case 0x3F:
      if (settings.FullerAy) {
        if (group == Group::k48) {
          AyFullerSelect(*this, value);
          ports.LastAySelect = value;
        } else {
          decoded = 0xFFFD;
        }
      }
      // [Multiface: otherwise its RAM write flag is cleared.]
      break;
    case 0x5F:
      if (group == Group::k48) {
        if (settings.Ay48k) sound.ay.WriteData(value);
        input.AmxControlA = value;
      } else {
        decoded = 0xBFFD;
      }
      break;
    case 0x7F:
      if (group == Group::k48) input.AmxControlB = value;
      break;
    case 0x9F:
      // [Fuller Orator: start an allophone (48K group).]
      break;
    case 0xBF:
      // [Multiface: set its RAM write flag.]
      break;
    case 0xDF:
      if (settings.SpecDrum) SpecDrumWrite(*this, value);
      break;
    case 0xE7:
    case 0xEF:
    case 0xF7:
      // [Interface 1: microdrive data, control, network and RS232 (48K group, ROM paged in).]
      break;
    case 0xFB:
      // [ZX Printer.]
      break;
    default: break;
  }

  switch (decoded & 0xC002) {
    case 0xC000:
      if (group != Group::k48 || settings.Ay48k) sound.ay.Select(value);
      break;
    case 0x8000:
      if (group != Group::k48 || settings.Ay48k) sound.ay.WriteData(value);
      break;
    case 0x4000:
      if (group == Group::k128) {
        Write7FFD128(*this, value);
      } else if (group == Group::kPlus3) {
        Write7FFDPlus3(*this, value);
      }
      break;
    default: break;
  }

  switch (decoded & 0xF002) {
    case 0x1000:
      if (group == Group::k128) {
        // The 128K does not decode A14 and A13: this is its 0x7FFD register too.
        Last1FFD = value;
        Write7FFD128(*this, value);
      } else if (group == Group::kPlus3) {
        Write1FFD(*this, value);
      }
      break;
    case 0x3000:
      if (group != Group::k48) ports.Last3FFD = value;
      // [+3 disk controller: data register write.]
      break;
    default: break;
  }

  if (group == Group::kPlus3) {
    FrameTState += 3;
  } else {
    if (!(group == Group::k128 && even)) IoMiddle(*this, port);
    FrameTState += 1;
  }
}

}  // namespace orvo
