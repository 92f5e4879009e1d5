#include "ui/key_translation.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

namespace orvo::ui {
namespace {

int Vk(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
  return VirtualKeyFromQtKey(key, mods, text);
}

TEST(KeyTranslation, KeypadKeysHaveTheirOwnNumbers) {
  EXPECT_EQ(Vk(Qt::Key_7, Qt::KeypadModifier), 103);
  EXPECT_EQ(Vk(Qt::Key_7), '7');
  EXPECT_EQ(Vk(Qt::Key_Minus, Qt::KeypadModifier, "-"), 109);
  EXPECT_EQ(Vk(Qt::Key_Minus, Qt::NoModifier, "-"), 189);
  EXPECT_EQ(Vk(Qt::Key_Enter, Qt::KeypadModifier), 13);
}

TEST(KeyTranslation, PunctuationBothVariantsGiveTheKeysNumber) {
  const struct {
    int key;
    const char* text;
    int vk;
  } cases[] = {
      {Qt::Key_Semicolon, ";", 186},  {Qt::Key_Colon, ":", 186},
      {Qt::Key_Equal, "=", 187},      {Qt::Key_Plus, "+", 187},
      {Qt::Key_Comma, ",", 188},      {Qt::Key_Less, "<", 188},
      {Qt::Key_Minus, "-", 189},      {Qt::Key_Underscore, "_", 189},
      {Qt::Key_Period, ".", 190},     {Qt::Key_Greater, ">", 190},
      {Qt::Key_Slash, "/", 191},      {Qt::Key_Question, "?", 191},
      {Qt::Key_Apostrophe, "'", 192}, {Qt::Key_At, "@", 192},
      {Qt::Key_NumberSign, "#", 222}, {Qt::Key_AsciiTilde, "~", 222},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Vk(c.key, Qt::NoModifier, c.text), c.vk) << c.text;
    // Without the event's text the Qt key alone decides.
    EXPECT_EQ(Vk(c.key), c.vk) << c.text;
  }
}

TEST(KeyTranslation, ShiftedDigitSymbolsGoBackToTheirDigit) {
  EXPECT_EQ(Vk(Qt::Key_Exclam, Qt::ShiftModifier, "!"), '1');
  EXPECT_EQ(Vk(Qt::Key_QuoteDbl, Qt::ShiftModifier, "\""), '2');
  EXPECT_EQ(Vk(Qt::Key_sterling, Qt::ShiftModifier, QString(QChar(0xA3))), '3');
  EXPECT_EQ(Vk(Qt::Key_Dollar, Qt::ShiftModifier, "$"), '4');
  EXPECT_EQ(Vk(Qt::Key_ParenLeft, Qt::ShiftModifier, "("), '9');
  EXPECT_EQ(Vk(Qt::Key_ParenRight, Qt::ShiftModifier, ")"), '0');
  EXPECT_EQ(Vk(Qt::Key_unknown), 0);
}

TEST(KeyTranslation, ScanCodesGiveTheKeysPlaceOnAUkKeyboard) {
  // X11 keycodes are evdev codes + 8.
  EXPECT_EQ(VirtualKeyFromScanCode(2 + 8), '1');
  EXPECT_EQ(VirtualKeyFromScanCode(3 + 8), '2');
  EXPECT_EQ(VirtualKeyFromScanCode(11 + 8), '0');
  EXPECT_EQ(VirtualKeyFromScanCode(12 + 8), 189);
  EXPECT_EQ(VirtualKeyFromScanCode(39 + 8), 186);
  EXPECT_EQ(VirtualKeyFromScanCode(40 + 8), 192);
  EXPECT_EQ(VirtualKeyFromScanCode(43 + 8), 222);
  EXPECT_EQ(VirtualKeyFromScanCode(53 + 8), 191);
  // Letters and named keys are left to the Qt key.
  EXPECT_EQ(VirtualKeyFromScanCode(30 + 8), 0);
  EXPECT_EQ(VirtualKeyFromScanCode(0), 0);
  EXPECT_EQ(VirtualKeyFromScanCode(5), 0);
}

TEST(KeyTranslation, ShiftTwoOnAUsLayoutStaysTheTwoKey) {
  // What X11 reports for Shift+2 on a US layout: the '@' key symbol, keycode of the 2 key.
  QKeyEvent event(QEvent::KeyPress, Qt::Key_At, Qt::ShiftModifier, 3 + 8, 0x40, 0, "@");
  EXPECT_EQ(VirtualKeyFor(event, true), '2');
  // Without physical keys the character decides.
  EXPECT_EQ(VirtualKeyFor(event, false), 192);
  // Keypad keys keep their numbers even when a scan code is known.
  QKeyEvent keypad(QEvent::KeyPress, Qt::Key_2, Qt::KeypadModifier, 80 + 8, 0, 0, "2");
  EXPECT_EQ(VirtualKeyFor(keypad, true), 98);
}

}  // namespace
}  // namespace orvo::ui
