#include "machine/keyboard.h"

#include <cctype>
#include <string>

#include "machine/machine_state.h"

namespace orvo {

namespace {

// Windows virtual-key numbers of the keys the matrix knows.
enum VirtualKey : int {
  kVkBack = 8,
  kVkReturn = 13,
  kVkShift = 16,
  kVkControl = 17,
  kVkSpace = 32,
  kVkLeft = 37,
  kVkUp = 38,
  kVkRight = 39,
  kVkDown = 40,
  kVkDelete = 46,
  kVkMultiply = 106,
  kVkAdd = 107,
  kVkSubtract = 109,
  kVkDecimal = 110,
  kVkDivide = 111,
  kVkSemicolon = 186,
  kVkEquals = 187,
  kVkComma = 188,
  kVkMinus = 189,
  kVkPeriod = 190,
  kVkSlash = 191,
  kVkQuote = 192,
  kVkHash = 222,
};

// Half-row and bit of each key, from the matrix layout: row 3 runs 1-5 from bit 0, row 4 runs
// 0-6 from bit 0.
constexpr SpectrumKey DigitKey(int d) {
  return d >= 1 && d <= 5 ? SpectrumKey{3, static_cast<uint8_t>(d - 1)}
                          : SpectrumKey{4, static_cast<uint8_t>(d == 0 ? 0 : 10 - d)};
}

constexpr SpectrumKey kLetterKeys[26] = {
    {1, 0}, {7, 4}, {0, 3}, {1, 2}, {2, 2}, {1, 3}, {1, 4}, {6, 4}, {5, 2},  // A-I
    {6, 3}, {6, 2}, {6, 1}, {7, 2}, {7, 3}, {5, 1}, {5, 0}, {2, 0}, {2, 3},  // J-R
    {1, 1}, {2, 4}, {5, 3}, {0, 4}, {2, 1}, {0, 2}, {5, 4}, {0, 1},          // S-Z
};

SpectrumKey Letter(char c) {
  return kLetterKeys[std::toupper(static_cast<unsigned char>(c)) - 'A'];
}

void Press(MachineState& m, SpectrumKey k) {
  m.input.KeyRows[k.row] = static_cast<uint8_t>(m.input.KeyRows[k.row] & ~(1u << k.bit));
}
void Release(MachineState& m, SpectrumKey k) {
  m.input.KeyRows[k.row] = static_cast<uint8_t>(m.input.KeyRows[k.row] | (1u << k.bit));
}

// The SYMBOL SHIFT combinations of the host punctuation keys: unshifted and shifted.
struct Punctuation {
  int vk;
  SpectrumKey plain;
  SpectrumKey shifted;
};
constexpr Punctuation kPunctuation[] = {
    {kVkSemicolon, {5, 1}, {0, 1}},  // ; O   : Z
    {kVkEquals, {6, 1}, {6, 2}},     // = L   + K
    {kVkComma, {7, 3}, {2, 3}},      // , N   < R
    {kVkMinus, {6, 3}, {4, 0}},      // - J   _ 0
    {kVkPeriod, {7, 2}, {2, 4}},     // . M   > T
    {kVkQuote, {4, 3}, {3, 1}},      // ' 7   @ 2
    {kVkHash, {3, 2}, {3, 2}},       // # 3
};

const Punctuation* FindPunctuation(int vk) {
  for (const Punctuation& p : kPunctuation) {
    if (p.vk == vk) return &p;
  }
  return nullptr;
}

uint8_t KeystickDirection(int vk) {
  switch (vk) {
    case kVkSpace: return kDirFire;
    case kVkUp: return kDirUp;
    case kVkDown: return kDirDown;
    case kVkLeft: return kDirLeft;
    case kVkRight: return kDirRight;
    default: return 0;
  }
}

bool KeysAccepted(const MachineState& m, int vk) {
  return m.input.WindowForeground && !m.input.TypingActive && !m.settings.RecreatedSpectrum &&
         vk >= 8 && vk <= 222;
}

// Applies a joystick of the given type with directions `dirs` (HostDirection bits) to a port
// value.
uint8_t ApplyJoystick(int32_t type, uint8_t dirs, uint8_t v, uint8_t high) {
  auto clear = [&](uint8_t dir, int bit) {
    if (dirs & dir) v = static_cast<uint8_t>(v & ~(1u << bit));
  };
  switch (type) {
    case 1:  // Kempston: the direction bits as they are, active high
      return static_cast<uint8_t>(v | dirs);
    case 2: {  // Fuller, active high here (its port reads the inverse)
      uint8_t f = 0;
      if (dirs & kDirFire) f |= 0x80;
      if (dirs & kDirUp) f |= 0x01;
      if (dirs & kDirDown) f |= 0x02;
      if (dirs & kDirLeft) f |= 0x04;
      if (dirs & kDirRight) f |= 0x08;
      return static_cast<uint8_t>(v | f);
    }
    case 3:  // Cursor: 5 left, 6 down, 7 up, 8 right, 0 fire
      if (high == 0xF7) clear(kDirLeft, 4);
      if (high == 0xEF) {
        clear(kDirDown, 4);
        clear(kDirUp, 3);
        clear(kDirRight, 2);
        clear(kDirFire, 0);
      }
      return v;
    case 4:  // Interface II port 1: 6 left, 7 right, 8 down, 9 up, 0 fire
      if (high == 0xEF) {
        clear(kDirLeft, 4);
        clear(kDirRight, 3);
        clear(kDirDown, 2);
        clear(kDirUp, 1);
        clear(kDirFire, 0);
      }
      return v;
    case 5:  // Interface II port 2: 1 left, 2 right, 3 down, 4 up, 5 fire
      if (high == 0xF7) {
        clear(kDirLeft, 0);
        clear(kDirRight, 1);
        clear(kDirDown, 2);
        clear(kDirUp, 3);
        clear(kDirFire, 4);
      }
      return v;
    default: return v;
  }
}

}  // namespace

bool SpectrumKeyFor(char c, SpectrumKey& key) {
  if (c >= '0' && c <= '9') {
    key = DigitKey(c - '0');
    return true;
  }
  if (std::isalpha(static_cast<unsigned char>(c))) {
    key = Letter(c);
    return true;
  }
  return false;
}

bool ParseSpectrumKeys(std::string_view text, std::vector<SpectrumKey>& keys) {
  keys.clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t plus = text.find('+', start);
    if (plus == std::string_view::npos) plus = text.size();
    std::string name;
    for (char c : text.substr(start, plus - start)) {
      if (c != ' ' && c != '_')
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    SpectrumKey key{};
    if (name.size() == 1 && SpectrumKeyFor(name[0], key)) {
    } else if (name == "CS" || name == "CAPS" || name == "CAPSSHIFT") {
      key = kKeyCapsShift;
    } else if (name == "SS" || name == "SYM" || name == "SYMBOLSHIFT") {
      key = kKeySymbolShift;
    } else if (name == "ENTER" || name == "RETURN") {
      key = kKeyEnter;
    } else if (name == "SPACE") {
      key = kKeySpace;
    } else {
      return false;
    }
    keys.push_back(key);
    start = plus + 1;
  }
  return !keys.empty();
}

void PressSpectrumKey(MachineState& m, SpectrumKey key) {
  Press(m, key);
}
void ReleaseSpectrumKey(MachineState& m, SpectrumKey key) {
  Release(m, key);
}

void ReleaseAllKeys(MachineState& m) {
  m.input.KeyRows.fill(0xFF);
}

void ReleaseHostInput(MachineState& m) {
  ReleaseAllKeys(m);
  m.input.HostKeysHeld = 0;
  m.input.ShiftDown = 0;
  m.input.MouseButtons = 0;
}

void KeyDown(MachineState& m, int vk, bool shiftDown) {
  m.input.HostKeysHeld |= KeystickDirection(vk);
  // The keystick's keys (the cursor keys and Space) are sampled for the joystick at each port
  // read and act on the matrix as well, as on the real keyboard.
  if (!KeysAccepted(m, vk)) return;
  m.input.ShiftDown = shiftDown ? 1 : 0;
  const bool shifted = m.input.ShiftDown != 0;
  auto& rows = m.input.KeyRows;
  switch (vk) {
    case kVkBack:
    case kVkDelete:
      Press(m, kKeyCapsShift);
      Press(m, DigitKey(0));
      return;
    case kVkReturn: Press(m, kKeyEnter); return;
    case kVkShift:
      // CAPS SHIFT on its own: Z, X, C and V held with it are let go.
      rows[0] = 0xFE;
      return;
    case kVkControl: Press(m, kKeySymbolShift); return;
    case kVkSpace: Press(m, kKeySpace); return;
    case kVkLeft:
      Press(m, kKeyCapsShift);
      Press(m, DigitKey(5));
      return;
    case kVkUp:
      Press(m, kKeyCapsShift);
      Press(m, DigitKey(7));
      return;
    case kVkRight:
      Press(m, kKeyCapsShift);
      Press(m, DigitKey(8));
      return;
    case kVkDown:
      Press(m, kKeyCapsShift);
      Press(m, DigitKey(6));
      return;
    case kVkMultiply:
      Press(m, kKeySymbolShift);
      Press(m, Letter('B'));
      return;
    case kVkAdd:
      Press(m, kKeySymbolShift);
      Press(m, Letter('K'));
      return;
    case kVkSubtract:
      Press(m, kKeySymbolShift);
      Press(m, Letter('J'));
      return;
    case kVkDecimal:
      Press(m, kKeySymbolShift);
      Press(m, Letter('M'));
      return;
    case kVkDivide:
      Press(m, kKeySymbolShift);
      Press(m, Letter('V'));
      return;
    case kVkSlash:
      // / is SYMBOL SHIFT + V, ? is SYMBOL SHIFT + C; CAPS SHIFT must not be held with either.
      rows[0] = shifted ? 0xF7 : 0xEF;
      Press(m, kKeySymbolShift);
      return;
    default: break;
  }
  if (vk >= '0' && vk <= '9') {
    Press(m, DigitKey(vk - '0'));
  } else if (vk >= 96 && vk <= 105) {
    Press(m, DigitKey(vk - 96));
  } else if (vk >= 'A' && vk <= 'Z') {
    Press(m, Letter(static_cast<char>(vk)));
  } else if (const Punctuation* p = FindPunctuation(vk)) {
    // The host's shifted punctuation is a SYMBOL SHIFT key too: the CAPS SHIFT the host Shift
    // put down must not be seen with it.
    rows[0] = 0xFF;
    Press(m, kKeySymbolShift);
    Press(m, shifted ? p->shifted : p->plain);
  }
}

void KeyUp(MachineState& m, int vk, bool shiftDown) {
  m.input.HostKeysHeld &= static_cast<uint8_t>(~KeystickDirection(vk));
  if (!KeysAccepted(m, vk)) return;
  if (!shiftDown) m.input.ShiftDown = 0;
  auto& rows = m.input.KeyRows;
  switch (vk) {
    case kVkBack:
    case kVkDelete:
      Release(m, kKeyCapsShift);
      Release(m, DigitKey(0));
      return;
    case kVkReturn: Release(m, kKeyEnter); return;
    case kVkShift: Release(m, kKeyCapsShift); return;
    case kVkControl: Release(m, kKeySymbolShift); return;
    case kVkSpace: Release(m, kKeySpace); return;
    case kVkLeft:
      Release(m, kKeyCapsShift);
      Release(m, DigitKey(5));
      return;
    case kVkUp:
      Release(m, kKeyCapsShift);
      Release(m, DigitKey(7));
      return;
    case kVkRight:
      Release(m, kKeyCapsShift);
      Release(m, DigitKey(8));
      return;
    case kVkDown:
      Release(m, kKeyCapsShift);
      Release(m, DigitKey(6));
      return;
    case kVkMultiply:
      Release(m, kKeySymbolShift);
      Release(m, Letter('B'));
      return;
    case kVkAdd:
      Release(m, kKeySymbolShift);
      Release(m, Letter('K'));
      return;
    case kVkSubtract:
      Release(m, kKeySymbolShift);
      Release(m, Letter('J'));
      return;
    case kVkDecimal:
      Release(m, kKeySymbolShift);
      Release(m, Letter('M'));
      return;
    case kVkDivide:
      Release(m, kKeySymbolShift);
      Release(m, Letter('V'));
      return;
    case kVkSlash:
      Release(m, kKeySymbolShift);
      Release(m, Letter('C'));
      Release(m, Letter('V'));
      return;
    default: break;
  }
  if (vk >= '0' && vk <= '9') {
    Release(m, DigitKey(vk - '0'));
  } else if (vk >= 96 && vk <= 105) {
    Release(m, DigitKey(vk - 96));
  } else if (vk >= 'A' && vk <= 'Z') {
    Release(m, Letter(static_cast<char>(vk)));
  } else if (const Punctuation* p = FindPunctuation(vk)) {
    Release(m, kKeySymbolShift);
    Release(m, p->plain);
    Release(m, p->shifted);
    rows[0] = 0xFF;
  }
}

void RecreatedChar(MachineState& m, uint8_t ch) {
  if (!m.settings.RecreatedSpectrum) return;
  InputState& in = m.input;
  // The keyboard latches its two shift keys: "8" / "9" press and let go of CAPS SHIFT, "!" / "$"
  // of SYMBOL SHIFT.
  switch (ch) {
    case '8':
      Press(m, kKeyCapsShift);
      in.CapsLatched = 1;
      return;
    case '!':
      Press(m, kKeySymbolShift);
      in.SymbolLatched = 1;
      return;
    case '9':
      in.KeyRows[0] = 0xFF;
      in.CapsLatched = 0;
      break;
    case '$':
      in.KeyRows[7] = 0xFF;
      in.SymbolLatched = 0;
      break;
    default: break;
  }
  // Each key sends one character when pressed and another when let go; only the press
  // characters below name a key.
  static constexpr struct {
    char ch;
    SpectrumKey key;
  } kPress[] = {
      {'a', DigitKey(1)}, {'c', DigitKey(2)}, {'e', DigitKey(3)}, {'g', DigitKey(4)},
      {'i', DigitKey(5)}, {'k', DigitKey(6)}, {'m', DigitKey(7)}, {'o', DigitKey(8)},
      {'q', DigitKey(9)}, {'s', DigitKey(0)}, {'u', {2, 0}},      {'w', {2, 1}},
      {'y', {2, 2}},      {'A', {2, 3}},      {'C', {2, 4}},      {'E', {5, 4}},
      {'G', {5, 3}},      {'I', {5, 2}},      {'K', {5, 1}},      {'M', {5, 0}},
      {'O', {1, 0}},      {'Q', {1, 1}},      {'S', {1, 2}},      {'U', {1, 3}},
      {'W', {1, 4}},      {'Y', {6, 4}},      {'0', {6, 3}},      {'2', {6, 2}},
      {'4', {6, 1}},      {'6', kKeyEnter},   {'<', {0, 1}},      {'-', {0, 2}},
      {'[', {0, 3}},      {';', {0, 4}},      {',', {7, 4}},      {'/', {7, 3}},
      {'{', {7, 2}},      {'%', kKeySpace},
  };
  if (!in.SymbolLatched) ReleaseAllKeys(m);
  if (in.CapsLatched) Press(m, kKeyCapsShift);
  if (in.SymbolLatched) Press(m, kKeySymbolShift);
  for (const auto& p : kPress) {
    if (p.ch == static_cast<char>(ch)) {
      Press(m, p.key);
      break;
    }
  }
}

uint8_t KeystickValue(const MachineState& m, uint8_t v, uint8_t high) {
  if (!m.input.KeystickActive) return v;
  return ApplyJoystick(m.settings.KeystickType, m.input.HostKeysHeld, v, high);
}

uint8_t JoystickValue(const MachineState& m, uint8_t v, uint8_t high) {
  if (!m.input.JoystickActive) return v;
  const InputState& in = m.input;
  uint8_t dirs = 0;
  if (in.JoystickX < 0) dirs |= kDirLeft;
  if (in.JoystickX > 0) dirs |= kDirRight;
  if (in.JoystickY < 0) dirs |= kDirUp;
  if (in.JoystickY > 0) dirs |= kDirDown;
  if (in.JoystickButton) dirs |= kDirFire;
  return ApplyJoystick(m.settings.JoystickType, dirs, v, high);
}

void SetJoystickState(MachineState& m, int32_t x, int32_t y, bool fire) {
  m.input.JoystickX = x;
  m.input.JoystickY = y;
  m.input.JoystickButton = fire ? 1 : 0;
}

void CaptureMouse(MachineState& m) {
  InputState& in = m.input;
  in.MouseCaptured = 1;
  in.AmxX = in.AmxY = 0;
  in.AmxLastX = in.AmxLastY = 0;
  in.AmxQueue.clear();
  in.MouseButtons = 0;
  in.AmxPendingVector = 0xFF;
}

void ReleaseMouse(MachineState& m) {
  m.input.MouseCaptured = 0;
}

void MouseButton(MachineState& m, int button, bool down) {
  InputState& in = m.input;
  if (!in.MouseCaptured) return;
  if (down && (button == 1 || button == 2)) {
    in.MouseButtons = static_cast<uint8_t>(button);
  } else if (!down) {
    in.MouseButtons = 0;
  }
}

bool MouseMoved(MachineState& m, int x, int y) {
  InputState& in = m.input;
  if (!in.MouseCaptured) return false;
  const bool recentre = !(x == 128 && y == 128);
  if (m.settings.MouseType == 2) {
    // Kempston: wrapping counters; moving down decreases Y.
    in.KempstonX = static_cast<uint8_t>(in.KempstonX + ((x & 0xFF) - 128));
    in.KempstonY = static_cast<uint8_t>(in.KempstonY + (128 - (y & 0xFF)));
  } else if (m.settings.MouseType == 1) {
    // AMX: each move reports at most one step, X before Y, through an interrupt whose vector the
    // program wrote to the control ports.
    // The frame loop runs the queued steps; a full queue keeps the movement in the
    // accumulators until there is room, so a fast mouse neither floods the machine nor loses
    // its way.
    in.AmxX = static_cast<uint8_t>(in.AmxX + (x - 128));
    in.AmxY = static_cast<uint8_t>(in.AmxY - (y - 128));
    if (in.AmxQueue.size() >= kAmxQueueLimit) return recentre;
    if (in.AmxX != in.AmxLastX) {
      const uint8_t dir = static_cast<int8_t>(in.AmxX - in.AmxLastX) < 0 ? 1 : 0;
      in.AmxLastX = in.AmxX;
      in.AmxQueue.push_back({dir, in.AmxControlA});
    } else if (in.AmxY != in.AmxLastY) {
      const uint8_t dir = static_cast<int8_t>(in.AmxY - in.AmxLastY) < 0 ? 1 : 0;
      in.AmxLastY = in.AmxY;
      in.AmxQueue.push_back({dir, in.AmxControlB});
    }
  }
  return recentre;
}

uint8_t MousePortValue(MachineState& m, uint16_t port, bool amxAllowed) {
  InputState& in = m.input;
  if (!in.MouseCaptured) return 0xFF;
  if (m.settings.MouseType == 1 && amxAllowed) {
    switch (in.MouseButtons) {
      case 1: return 0x7F;
      case 2: return 0xBF;
      default: return 0xFF;
    }
  }
  if (m.settings.MouseType != 2) return 0xFF;
  switch (port >> 8) {
    case 0xFA:
      // A button reads as held (its bit low) for as long as it is held: bit 1 left, bit 0 right.
      switch (in.MouseButtons) {
        case 1: return 0xFD;
        case 2: return 0xFE;
        default: return 0xFF;
      }
    case 0xFB: return in.KempstonX;
    case 0xFF: return in.KempstonY;
    default: return 0xFF;
  }
}

}  // namespace orvo
