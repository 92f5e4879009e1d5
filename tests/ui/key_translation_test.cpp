#include "ui/key_translation.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

namespace orvo::ui {
namespace {

// The key numbers the keyboard code reads: keypad keys have their own, punctuation gives the
// key's number with or without Shift (and with or without the event's text), shifted digit
// symbols go back to their digit.
TEST(KeyTranslation, QtKeysGiveTheKeysNumber) {
  const struct {
    int key;
    Qt::KeyboardModifiers mods;
    const char* text;
    int vk;
  } cases[] = {{Qt::Key_7, Qt::KeypadModifier, "", 103},
               {Qt::Key_7, Qt::NoModifier, "", '7'},
               {Qt::Key_Minus, Qt::KeypadModifier, "-", 109},
               {Qt::Key_Minus, Qt::NoModifier, "-", 189},
               {Qt::Key_Enter, Qt::KeypadModifier, "", 13},
               {Qt::Key_Colon, Qt::NoModifier, ":", 186},
               {Qt::Key_Semicolon, Qt::NoModifier, "", 186},
               {Qt::Key_Question, Qt::NoModifier, "", 191},
               {Qt::Key_At, Qt::NoModifier, "@", 192},
               {Qt::Key_AsciiTilde, Qt::NoModifier, "", 222},
               {Qt::Key_Exclam, Qt::ShiftModifier, "!", '1'},
               {Qt::Key_ParenRight, Qt::ShiftModifier, ")", '0'},
               {Qt::Key_unknown, Qt::NoModifier, "", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyFromQtKey(c.key, c.mods, QString::fromUtf8(c.text)), c.vk) << c.key;
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_sterling, Qt::ShiftModifier, QString(QChar(0xA3))), '3');
}

TEST(KeyTranslation, ScanCodesGiveTheKeysPlaceOnAUkKeyboard) {
  // X11 keycodes are evdev codes + 8; letters and named keys are left to the Qt key (0).
  const std::pair<int, int> cases[] = {{2, '1'},  {11, '0'}, {12, 189}, {39, 186}, {40, 192},
                                       {43, 222}, {53, 191}, {30, 0},   {-8, 0},   {-3, 0}};
  for (const auto& [evdev, vk] : cases) EXPECT_EQ(VirtualKeyFromScanCode(evdev + 8), vk) << evdev;
  // What X11 reports for Shift+2 on a US layout: the '@' key symbol, keycode of the 2 key.
  QKeyEvent event(QEvent::KeyPress, Qt::Key_At, Qt::ShiftModifier, 3 + 8, 0x40, 0, "@");
  EXPECT_EQ(VirtualKeyFor(event, true), '2');
  EXPECT_EQ(VirtualKeyFor(event, false), 192);  // without physical keys the character decides
  // Keypad keys keep their numbers even when a scan code is known.
  QKeyEvent keypad(QEvent::KeyPress, Qt::Key_2, Qt::KeypadModifier, 80 + 8, 0, 0, "2");
  EXPECT_EQ(VirtualKeyFor(keypad, true), 98);
}

}  // namespace
}  // namespace orvo::ui
