#include "ui/key_translation.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QString>

namespace orvo::ui {

namespace {

// Windows virtual-key numbers used below.
constexpr int kVkBack = 8, kVkTab = 9, kVkReturn = 13, kVkShift = 16, kVkControl = 17, kVkMenu = 18,
              kVkPause = 19, kVkCapital = 20, kVkEscape = 27, kVkSpace = 32, kVkPrior = 33,
              kVkNext = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38, kVkRight = 39,
              kVkDown = 40, kVkInsert = 45, kVkDelete = 46, kVkLWin = 91, kVkApps = 93,
              kVkNumpad0 = 96, kVkMultiply = 106, kVkAdd = 107, kVkSubtract = 109, kVkDecimal = 110,
              kVkDivide = 111, kVkF1 = 112, kVkNumLock = 144, kVkScroll = 145;
constexpr int kVkOem1 = 186;       // ; :
constexpr int kVkOemPlus = 187;    // = +
constexpr int kVkOemComma = 188;   // , <
constexpr int kVkOemMinus = 189;   // - _
constexpr int kVkOemPeriod = 190;  // . >
constexpr int kVkOem2 = 191;       // / ?
constexpr int kVkOem3 = 192;       // ' @ (UK)
constexpr int kVkOem4 = 219;       // [ {
constexpr int kVkOem5 = 220;       // \ | (UK: the key beside the left Shift)
constexpr int kVkOem6 = 221;       // ] }
constexpr int kVkOem7 = 222;       // # ~ (UK)
constexpr int kVkOem8 = 223;       // ` (UK: the key left of 1)

int VirtualKeyFromCharacter(char32_t c) {
  switch (c) {
    case ';':
    case ':': return kVkOem1;
    case '=':
    case '+': return kVkOemPlus;
    case ',':
    case '<': return kVkOemComma;
    case '-':
    case '_': return kVkOemMinus;
    case '.':
    case '>': return kVkOemPeriod;
    case '/':
    case '?': return kVkOem2;
    case '\'':
    case '@': return kVkOem3;
    case '#':
    case '~': return kVkOem7;
    case '[':
    case '{': return kVkOem4;
    case ']':
    case '}': return kVkOem6;
    case '\\':
    case '|': return kVkOem5;
    case '`':
    case U'\u00AC':
    case U'\u00A6': return kVkOem8;
    // Shifted digits (UK and US layouts).
    case '!': return '1';
    case '"': return '2';
    case U'\u00A3': return '3';
    case '$': return '4';
    case '%': return '5';
    case '^': return '6';
    case '&': return '7';
    case '*': return '8';
    case '(': return '9';
    case ')': return '0';
    case ' ': return kVkSpace;
    default: return 0;
  }
}

}  // namespace

int VirtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    return keypad ? kVkNumpad0 + (key - Qt::Key_0) : '0' + (key - Qt::Key_0);
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return kVkF1 + (key - Qt::Key_F1);
  if (keypad) {
    switch (key) {
      case Qt::Key_Asterisk: return kVkMultiply;
      case Qt::Key_Plus: return kVkAdd;
      case Qt::Key_Minus: return kVkSubtract;
      case Qt::Key_Period:
      case Qt::Key_Comma: return kVkDecimal;
      case Qt::Key_Slash: return kVkDivide;
      default: break;
    }
  }
  switch (key) {
    case Qt::Key_Backspace: return kVkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return kVkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkReturn;
    case Qt::Key_Shift: return kVkShift;
    case Qt::Key_Control: return kVkControl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return kVkMenu;
    case Qt::Key_Pause: return kVkPause;
    case Qt::Key_CapsLock: return kVkCapital;
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_Space: return kVkSpace;
    case Qt::Key_PageUp: return kVkPrior;
    case Qt::Key_PageDown: return kVkNext;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Down: return kVkDown;
    case Qt::Key_Insert: return kVkInsert;
    case Qt::Key_Delete: return kVkDelete;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R: return kVkLWin;
    case Qt::Key_Menu: return kVkApps;
    case Qt::Key_NumLock: return kVkNumLock;
    case Qt::Key_ScrollLock: return kVkScroll;
    default: break;
  }
  // Punctuation: by the character the key produced, or by the Qt key when there is no text
  // (Qt's keys for printable characters are their Latin-1 codes).
  if (!text.isEmpty()) {
    const char32_t c = text.toUcs4().value(0);
    if (int vk = VirtualKeyFromCharacter(c)) return vk;
  }
  if (key > 0x20 && key < 0x100) return VirtualKeyFromCharacter(static_cast<char32_t>(key));
  return 0;
}

int VirtualKeyFromScanCode(uint32_t nativeScanCode) {
  if (nativeScanCode < 8) return 0;
  const uint32_t evdev = nativeScanCode - 8;
  if (evdev >= 2 && evdev <= 10) return '1' + static_cast<int>(evdev - 2);  // 1..9
  switch (evdev) {
    case 11: return '0';
    case 12: return kVkOemMinus;
    case 13: return kVkOemPlus;
    case 26: return kVkOem4;
    case 27: return kVkOem6;
    case 39: return kVkOem1;
    case 40: return kVkOem3;  // the ' @ key of a UK keyboard
    case 41: return kVkOem8;
    case 43: return kVkOem7;  // the # ~ key of a UK keyboard
    case 51: return kVkOemComma;
    case 52: return kVkOemPeriod;
    case 53: return kVkOem2;
    case 86: return kVkOem5;
    default: return 0;
  }
}

bool PlatformHasEvdevScanCodes() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

int VirtualKeyFor(const QKeyEvent& event, bool usePhysicalKeys) {
  // Keypad keys keep their own numbers; the digit row and punctuation come from the key's place.
  if (usePhysicalKeys && !event.modifiers().testFlag(Qt::KeypadModifier)) {
    if (int vk = VirtualKeyFromScanCode(event.nativeScanCode())) return vk;
  }
  return VirtualKeyFromQtKey(event.key(), event.modifiers(), event.text());
}

}  // namespace orvo::ui
