#pragma once
// Qt key events as the Windows virtual-key numbers the keyboard tables are written against.
#include <QtCore/qnamespace.h>

#include <cstdint>

class QKeyEvent;
class QString;

namespace orvo::ui {

// The virtual key of a key event, 0 when it has none. Where the platform reports the physical
// key (xcb, wayland), the digit row and the punctuation keys are taken from their position on a
// UK keyboard, so Shift+2 stays the 2 key whatever character the layout puts on it; letters and
// named keys follow the Qt key.
int VirtualKeyFor(const QKeyEvent& event, bool usePhysicalKeys);

// From the Qt key alone (with the keypad modifier telling keypad keys apart) and the event's text
// for punctuation. Shifted digit symbols of UK and US layouts map back to their digit.
int VirtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers, const QString& text);

// From an evdev-based native scan code (X11 keycode = evdev code + 8): the digit row and the
// punctuation keys by position; 0 for any other key.
int VirtualKeyFromScanCode(uint32_t nativeScanCode);

// True on platforms whose native scan codes are evdev + 8.
bool PlatformHasEvdevScanCodes();

}  // namespace orvo::ui
