// Host keys into the keyboard matrix and the Recreated Spectrum protocol (the key names are read by
// orvo-run's --key, run whole), and typing text into the machine: the 48K tokeniser, delivery on
// the other models, the spool speed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/keyboard.h"
#include "machine/machine_state.h"
#include "machine/typing.h"

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
  for (int r = 0; r < 8; ++r)
    for (int b = 0; b < 5; ++b)
      if (!(m.input.KeyRows[r] & (1 << b))) s += std::string(s.empty() ? "" : " ") + names[r][b];
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
      {186, true, "Z SS"}, {8, false, "CS 0"}, {39, false, "CS 8"}, {106, false, "SS B"},
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

// A punctuation key types the character the host's layout made: a US keyboard's Shift+' is ",
// SYMBOL SHIFT + P, with the CAPS SHIFT the host Shift put down let go.
TEST(Keyboard, PunctuationTypesTheHostLayoutsCharacter) {
  MachineState m;
  m.input.WindowForeground = 1;
  const std::pair<char32_t, const char*> cases[] = {{'"', "P SS"},       {'@', "2 SS"},
                                                    {'#', "3 SS"},       {':', "Z SS"},
                                                    {U'\u00A3', "X SS"}, {'^', "H SS"}};
  for (const auto& [c, held] : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(c));
    KeyDown(m, kShift, true);
    EXPECT_TRUE(CharacterKeyDown(m, c));
    EXPECT_EQ(Held(m), held);
    CharacterKeyUp(m, c);
    KeyUp(m, kShift, false);
    EXPECT_EQ(Held(m), "");
  }
  // Characters no SYMBOL SHIFT key types fall back to the key's own mapping; nothing is pressed.
  for (char32_t c : {U'\u00E9', U'|', U'A'}) EXPECT_FALSE(CharacterKeyDown(m, c));
  EXPECT_EQ(Held(m), "");
  m.input.TypingActive = 1;
  EXPECT_FALSE(CharacterKeyDown(m, '"'));
}

TEST(Keyboard, KeysOutsideTheWindowOrWhileTypingDoNothing) {
  MachineState m;
  for (const auto& [typing, foreground] : {std::pair{1, 1}, {0, 0}}) {
    m.input.TypingActive = typing;
    m.input.WindowForeground = foreground;
    KeyDown(m, 'A', false);
    EXPECT_EQ(Held(m), "");
  }
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

constexpr uint16_t kLastK = 0x5C08, kFlags = 0x5C3B;

void Start(MachineState& m, const std::string& text) {
  StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Visits the delivery hook as the ROM's key wait would; returns whether a key was handed over.
bool Visit(MachineState& m) {
  m.PageTable[kFlags >> 13][kFlags & 0x1FFF] = 0;
  // A machine long past its start: the ROM has waited for keys for frames already.
  if (m.input.TypingFirstWaitFrame == UINT64_MAX) {
    m.FrameCount += 10;
    m.input.TypingFirstWaitFrame = m.FrameCount - 10;
  }
  TypingStep(m);
  return m.Peek(kFlags) & 0x20;
}

// Types `text` on `model` to the end and returns every byte handed to the ROM.
std::string TypeAll(uint8_t model, const std::string& text) {
  MachineState m;
  m.MachineModel = model;
  m.settings.SpoolSpeed = 5;
  Start(m, text);
  std::string got;
  for (int visits = 0; TypingActive(m) && visits < 100000; ++visits)
    if (Visit(m)) got.push_back(static_cast<char>(m.Peek(kLastK)));
  return got;
}

TEST(Typing, TokeniserOn48KAndPlainCharactersOnThe128K) {
  const struct {
    uint8_t model;
    const char *text, *expected;  // ENTER is \r; tokens in octal where digits follow
  } cases[] = {
      // Keywords become tokens and the spaces around them go; two-word keywords; a longer keyword
      // before its prefix (INKEY$, not INK).
      {kModel48K, "GO TO 10", "\35410\r"},
      {kModel48K, "INKEY$", "\xA6\r"},
      {kModel48K, "PRINT ATN 1;AT 0,0", "\xF5\2671;\2540,0\r"},
      // Comparisons of two characters.
      {kModel48K, "X<=1<>2", "X\3071\3112\r"},
      // A capital that starts no keyword is a variable name; lower case stays letters.
      {kModel48K, "LET A=BIN 1", "\361A=\3041\r"},
      {kModel48K, "print", "print\r"},
      // REM keeps the rest of the line as it is; a line end of any kind ends strings and REMs.
      {kModel48K, "REM A\r\nPRINT \"X\nRUN\rRUN", "\352A\r\xF5\"X\r\xF7\r\xF7\r"},
      // A keyword ends where the next begins (names that hold one, UTF-8 punctuation and a final
      // line end are typed whole by orvo-run); what is not UTF-8 is left out.
      {kModel48K, "FOR I=1TO 9", "\xEBI=1\3149\r"},
      {kModel48K, "REM \xA3\x80\xE2\x80", "\xEA\x60\r"},
      // The 128K family takes the characters as they are, one ENTER per line.
      {kModel128K, "A\r\n\r\n", "A\r\r"},
  };
  for (const auto& c : cases) EXPECT_EQ(TypeAll(c.model, c.text), c.expected) << c.text;
}

TEST(Typing, OneCharacterEverySpoolSpeedPlusOneVisits) {
  // A paste types at its own pace without touching the setting; the next text goes back to it.
  const struct {
    int32_t ownSpeed;  // 0: the setting
    std::vector<int> deliveredAt;
  } cases[] = {{0, {8, 16, 24, 32}}, {4, {5, 10, 15, 20}}, {0, {8, 16, 24, 32}}};
  MachineState m;
  m.MachineModel = kModel128K;
  m.settings.SpoolSpeed = 7;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ownSpeed);
    const uint8_t text[] = {'A', 'B', 'C'};
    StartTyping(m, text, c.ownSpeed);
    EXPECT_EQ(m.FullSpeed, 1u);
    std::vector<int> deliveredAt;
    for (int visit = 1; visit <= 40 && TypingActive(m); ++visit)
      if (Visit(m)) deliveredAt.push_back(visit);
    // The counter starts at 2: A, B, C and ENTER; the last one ends typing.
    EXPECT_EQ(deliveredAt, c.deliveredAt);
    EXPECT_FALSE(TypingActive(m));
    EXPECT_EQ(m.FullSpeed, 0u);
    EXPECT_TRUE(m.input.TypingText.empty());
    EXPECT_EQ(m.settings.SpoolSpeed, 7);
  }
}

TEST(Typing, CancelOrAMissingFileTypesNothing) {
  MachineState m;
  m.MachineModel = kModel48K;
  Start(m, "PRINT");
  CancelTyping(m);
  EXPECT_EQ(m.FullSpeed, 0u);
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(Visit(m));

  EXPECT_FALSE(StartTypingFile(m, "/nonexistent/orvo/listing.txt"));
  EXPECT_FALSE(TypingActive(m));
}

}  // namespace
}  // namespace orvo::test
