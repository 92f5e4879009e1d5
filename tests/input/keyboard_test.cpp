// Host keys into the keyboard matrix, the Recreated Spectrum protocol and the key-name parser.
#include "machine/keyboard.h"

#include <gtest/gtest.h>

#include "machine/machine_state.h"

namespace orvo::test {
namespace {

bool Down(const MachineState& m, SpectrumKey k) {
  return !(m.input.KeyRows[k.row] & (1 << k.bit));
}

SpectrumKey Key(char c) {
  SpectrumKey k{};
  EXPECT_TRUE(SpectrumKeyFor(c, k)) << c;
  return k;
}

// The keys held, as "CS 2" style text, for readable failures.
std::string Held(const MachineState& m) {
  std::string s;
  const char* names[8][5] = {{"CS", "Z", "X", "C", "V"},    {"A", "S", "D", "F", "G"},
                             {"Q", "W", "E", "R", "T"},     {"1", "2", "3", "4", "5"},
                             {"0", "9", "8", "7", "6"},     {"P", "O", "I", "U", "Y"},
                             {"ENTER", "L", "K", "J", "H"}, {"SPACE", "SS", "M", "N", "B"}};
  for (int r = 0; r < 8; ++r) {
    for (int b = 0; b < 5; ++b) {
      if (!(m.input.KeyRows[r] & (1 << b))) s += std::string(s.empty() ? "" : " ") + names[r][b];
    }
  }
  return s;
}

TEST(Keyboard, MatrixPositions) {
  MachineState m;
  const std::pair<char, SpectrumKey> expected[] = {
      {'1', {3, 0}}, {'5', {3, 4}}, {'6', {4, 4}}, {'0', {4, 0}}, {'Q', {2, 0}}, {'T', {2, 4}},
      {'Y', {5, 4}}, {'P', {5, 0}}, {'A', {1, 0}}, {'G', {1, 4}}, {'H', {6, 4}}, {'L', {6, 1}},
      {'Z', {0, 1}}, {'V', {0, 4}}, {'B', {7, 4}}, {'M', {7, 2}}, {'n', {7, 3}}};
  for (const auto& [c, k] : expected) EXPECT_EQ(Key(c), k) << c;
  for (int vk = 'A'; vk <= 'Z'; ++vk) {
    KeyDown(m, vk, false);
    EXPECT_EQ(Held(m).size(), 1u) << static_cast<char>(vk);
    KeyUp(m, vk, false);
    EXPECT_EQ(Held(m), "");
  }
}

TEST(Keyboard, ShiftedDigitIsCapsShiftNotTheSymbol) {
  MachineState m;
  KeyDown(m, 16, true);  // Shift
  KeyDown(m, '2', true);
  EXPECT_EQ(Held(m), "CS 2");
  KeyUp(m, '2', true);
  KeyUp(m, 16, false);
  EXPECT_EQ(Held(m), "");
  // The host's shifted ' key is @: SYMBOL SHIFT + 2, with CAPS SHIFT let go.
  KeyDown(m, 16, true);
  KeyDown(m, 192, true);
  EXPECT_EQ(Held(m), "2 SS");
  KeyUp(m, 192, true);
  EXPECT_EQ(Held(m), "");
  KeyDown(m, 192, false);
  EXPECT_EQ(Held(m), "7 SS");
}

TEST(Keyboard, ShiftReleasesTheRestOfItsHalfRow) {
  MachineState m;
  KeyDown(m, 'Z', false);
  KeyDown(m, 'A', false);
  KeyDown(m, 16, true);
  EXPECT_EQ(Held(m), "CS A");
}

TEST(Keyboard, PunctuationAndEditingKeys) {
  MachineState m;
  const struct {
    int vk;
    bool shift;
    const char* held;
  } cases[] = {
      {186, false, "O SS"}, {186, true, "Z SS"},  {187, false, "L SS"}, {187, true, "K SS"},
      {188, false, "SS N"}, {188, true, "R SS"},  {189, false, "J SS"}, {189, true, "0 SS"},
      {190, false, "SS M"}, {190, true, "T SS"},  {191, false, "V SS"}, {191, true, "C SS"},
      {222, false, "3 SS"}, {8, false, "CS 0"},   {46, false, "CS 0"},  {37, false, "CS 5"},
      {38, false, "CS 7"},  {39, false, "CS 8"},  {40, false, "CS 6"},  {13, false, "ENTER"},
      {32, false, "SPACE"}, {17, false, "SS"},    {106, false, "SS B"}, {107, false, "K SS"},
      {109, false, "J SS"}, {110, false, "SS M"}, {111, false, "V SS"}, {96, false, "0"},
      {105, false, "9"},
  };
  for (const auto& c : cases) {
    ReleaseAllKeys(m);
    if (c.shift) KeyDown(m, 16, true);
    KeyDown(m, c.vk, c.shift);
    EXPECT_EQ(Held(m), c.held) << c.vk << (c.shift ? " shifted" : "");
    KeyUp(m, c.vk, c.shift);
    if (c.shift) KeyUp(m, 16, false);
    EXPECT_EQ(Held(m), "") << c.vk << " released";
  }
}

TEST(Keyboard, KeysOutsideTheWindowOrWhileTypingDoNothing) {
  MachineState m;
  m.input.TypingActive = 1;
  KeyDown(m, 'A', false);
  EXPECT_EQ(Held(m), "");
  m.input.TypingActive = 0;
  m.input.WindowForeground = 0;
  KeyDown(m, 'A', false);
  EXPECT_EQ(Held(m), "");
  m.input.WindowForeground = 1;
  KeyDown(m, 7, false);
  KeyDown(m, 223, false);
  KeyDown(m, 255, false);
  EXPECT_EQ(Held(m), "");
  // The keystick still sees its keys.
  m.input.TypingActive = 1;
  KeyDown(m, 38, false);
  EXPECT_EQ(m.input.HostKeysHeld, kDirUp);
}

TEST(Keyboard, RecreatedSpectrumProtocol) {
  MachineState m;
  m.settings.RecreatedSpectrum = 1;
  KeyDown(m, 'A', false);  // the normal mapping is off
  EXPECT_EQ(Held(m), "");
  RecreatedChar(m, 'u');
  EXPECT_EQ(Held(m), "Q");
  RecreatedChar(m, 'v');  // Q's release character
  EXPECT_EQ(Held(m), "");
  RecreatedChar(m, '!');
  RecreatedChar(m, 'a');
  EXPECT_EQ(Held(m), "1 SS");
  RecreatedChar(m, 'b');  // with SYMBOL SHIFT latched nothing is let go
  EXPECT_EQ(Held(m), "1 SS");
  RecreatedChar(m, '$');
  EXPECT_EQ(Held(m), "");
  RecreatedChar(m, '8');
  RecreatedChar(m, '6');
  EXPECT_EQ(Held(m), "CS ENTER");
  RecreatedChar(m, '%');
  EXPECT_EQ(Held(m), "CS SPACE");
  RecreatedChar(m, '9');
  EXPECT_EQ(Held(m), "");
  // Off: characters are ignored.
  m.settings.RecreatedSpectrum = 0;
  RecreatedChar(m, 'u');
  EXPECT_EQ(Held(m), "");
}

TEST(Keyboard, KeyNames) {
  std::vector<SpectrumKey> keys;
  ASSERT_TRUE(ParseSpectrumKeys("SS+P", keys));
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0], kKeySymbolShift);
  EXPECT_EQ(keys[1], Key('P'));
  ASSERT_TRUE(ParseSpectrumKeys("enter", keys));
  EXPECT_EQ(keys[0], kKeyEnter);
  ASSERT_TRUE(ParseSpectrumKeys("CAPS SHIFT+space+0", keys));
  EXPECT_EQ(keys.size(), 3u);
  EXPECT_FALSE(ParseSpectrumKeys("", keys));
  EXPECT_FALSE(ParseSpectrumKeys("SS+", keys));
  EXPECT_FALSE(ParseSpectrumKeys("F1", keys));
}

TEST(Joystick, KeystickTypesOnTheirPorts) {
  MachineState m;
  m.input.KeystickActive = 1;
  KeyDown(m, 39, false);  // Right
  KeyDown(m, 32, false);  // fire
  m.settings.KeystickType = 1;
  EXPECT_EQ(KeystickValue(m, 0, 0), 0x11);
  m.settings.KeystickType = 2;
  EXPECT_EQ(KeystickValue(m, 0, 0), 0x88);
  m.settings.KeystickType = 3;  // cursor: 8 and 0
  EXPECT_EQ(KeystickValue(m, 0xBF, 0xEF), 0xBA);
  EXPECT_EQ(KeystickValue(m, 0xBF, 0xF7), 0xBF);
  m.settings.KeystickType = 4;  // Interface II port 1: 7 and 0
  EXPECT_EQ(KeystickValue(m, 0xBF, 0xEF), 0xB6);
  m.settings.KeystickType = 5;  // Interface II port 2: 2 and 5
  EXPECT_EQ(KeystickValue(m, 0xBF, 0xF7), 0xAD);
  EXPECT_EQ(KeystickValue(m, 0xBF, 0x00), 0xBF);
  m.input.KeystickActive = 0;
  EXPECT_EQ(KeystickValue(m, 0xBF, 0xF7), 0xBF);
}

}  // namespace
}  // namespace orvo::test
