// Host keys into the keyboard matrix, the Recreated Spectrum protocol and the key-name parser.
#include "machine/keyboard.h"

#include <gtest/gtest.h>

#include "machine/machine_state.h"

namespace orvo::test {
namespace {

constexpr int kShift = 16;

// The keys held, as "CS 2" style text, for readable failures.
std::string Held(const MachineState& m) {
  static const char* const names[8][5] = {
      {"CS", "Z", "X", "C", "V"},    {"A", "S", "D", "F", "G"},     {"Q", "W", "E", "R", "T"},
      {"1", "2", "3", "4", "5"},     {"0", "9", "8", "7", "6"},     {"P", "O", "I", "U", "Y"},
      {"ENTER", "L", "K", "J", "H"}, {"SPACE", "SS", "M", "N", "B"}};
  std::string s;
  for (int r = 0; r < 8; ++r) {
    for (int b = 0; b < 5; ++b) {
      if (!(m.input.KeyRows[r] & (1 << b))) s += std::string(s.empty() ? "" : " ") + names[r][b];
    }
  }
  return s;
}

TEST(Keyboard, HostKeysWithAndWithoutShift) {
  const struct {
    int vk;
    bool shift;
    const char* held;
  } cases[] = {
      {'2', true, "CS 2"},  // a shifted digit is CAPS SHIFT, not the host's symbol
      {192, true, "2 SS"},  // the shifted ' key is @: SYMBOL SHIFT + 2, CAPS SHIFT let go
      {192, false, "7 SS"}, {186, false, "O SS"}, {186, true, "Z SS"},  {191, true, "C SS"},
      {8, false, "CS 0"},   {39, false, "CS 8"},  {106, false, "SS B"}, {105, false, "9"},
  };
  MachineState m;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.vk << (c.shift ? " shifted" : ""));
    ReleaseAllKeys(m);
    if (c.shift) KeyDown(m, kShift, true);
    KeyDown(m, c.vk, c.shift);
    EXPECT_EQ(Held(m), c.held);
    KeyUp(m, c.vk, c.shift);
    if (c.shift) KeyUp(m, kShift, false);
    EXPECT_EQ(Held(m), "");
  }
  // Shift lets go of the rest of its half row.
  KeyDown(m, 'Z', false);
  KeyDown(m, 'A', false);
  KeyDown(m, kShift, true);
  EXPECT_EQ(Held(m), "CS A");
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
  for (int vk : {7, 223, 255}) KeyDown(m, vk, false);  // no Spectrum key
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
  const struct {
    char ch;
    const char* held;
  } steps[] = {
      {'u', "Q"},  {'v', ""},                     // Q and its release character
      {'!', "SS"}, {'a', "1 SS"}, {'b', "1 SS"},  // with SYMBOL SHIFT latched nothing is let go
      {'$', ""},   {'8', "CS"},   {'6', "CS ENTER"}, {'%', "CS SPACE"}, {'9', ""},
  };
  for (const auto& s : steps) {
    RecreatedChar(m, s.ch);
    EXPECT_EQ(Held(m), s.held) << s.ch;
  }
}

TEST(Keyboard, KeyNames) {
  std::vector<SpectrumKey> keys;
  SpectrumKey p{};
  ASSERT_TRUE(SpectrumKeyFor('P', p));
  ASSERT_TRUE(ParseSpectrumKeys("SS+P", keys));
  EXPECT_EQ(keys, (std::vector<SpectrumKey>{kKeySymbolShift, p}));
  ASSERT_TRUE(ParseSpectrumKeys("CAPS SHIFT+enter+0", keys));
  EXPECT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[1], kKeyEnter);
  for (const char* bad : {"", "SS+", "F1"}) EXPECT_FALSE(ParseSpectrumKeys(bad, keys)) << bad;
}

}  // namespace
}  // namespace orvo::test
