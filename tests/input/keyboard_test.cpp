// Host keys into the keyboard matrix, the Recreated Spectrum protocol and the key-name parser.
#include "machine/keyboard.h"

#include <gtest/gtest.h>

#include "machine/machine_state.h"

namespace orvo::test {
namespace {

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
      // Host punctuation is SYMBOL SHIFT with one key or, shifted, another; / ? is V or C.
      {186, false, "O SS"}, {186, true, "Z SS"}, {188, true, "R SS"},  {189, true, "0 SS"},
      {191, false, "V SS"}, {191, true, "C SS"}, {222, true, "3 SS"},  {8, false, "CS 0"},
      {39, false, "CS 8"},  {40, false, "CS 6"}, {106, false, "SS B"}, {105, false, "9"},
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

}  // namespace
}  // namespace orvo::test
