// Typing text into the machine: the 48K tokeniser, delivery on the other models, the spool speed
// and the end of the text.
#include "machine/typing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/machine_state.h"

namespace orvo::test {
namespace {

constexpr uint16_t kLastK = 0x5C08, kFlags = 0x5C3B;

// Runs the delivery hook until the text is used up and returns every byte handed to the ROM.
std::vector<uint8_t> TypeAll(MachineState& m, const std::string& text) {
  StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  std::vector<uint8_t> got;
  for (int visits = 0; TypingActive(m) && visits < 100000; ++visits) {
    m.PageTable[kFlags >> 13][kFlags & 0x1FFF] = 0;
    TypingStep(m);
    if (m.Peek(kFlags) & 0x20) got.push_back(m.Peek(kLastK));
  }
  return got;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(static_cast<uint8_t>(b));
  return v;
}

struct TypingMachine {
  explicit TypingMachine(uint8_t model) {
    m.MachineModel = model;
    m.settings.SpoolSpeed = 5;
  }
  MachineState m;
};

TEST(Typing48K, KeywordsBecomeTokensAndSpacesOutsideStringsGo) {
  TypingMachine t(kModel48K);
  EXPECT_EQ(TypeAll(t.m, "10 PRINT \"HI THERE\""),
            Bytes({'1', '0', 0xF5, '"', 'H', 'I', ' ', 'T', 'H', 'E', 'R', 'E', '"', 13}));
}

TEST(Typing48K, TokeniserCases) {
  const struct {
    const char* text;
    std::vector<uint8_t> expected;
  } cases[] = {
      // Two-word keywords and the one-word spellings.
      {"GO TO 10", Bytes({0xEC, '1', '0', 13})},
      {"GOSUB 9", Bytes({0xED, '9', 13})},
      // A longer keyword before its prefix: INKEY$ and INK, ATTR and AT.
      {"INKEY$", Bytes({0xA6, 13})},
      {"INK 2", Bytes({0xD9, '2', 13})},
      {"AT 1,2", Bytes({0xAC, '1', ',', '2', 13})},
      // Comparisons.
      {"A<>B", Bytes({'A', 0xC9, 'B', 13})},
      {"X<=1", Bytes({'X', 0xC7, '1', 13})},
      {"X<1", Bytes({'X', '<', '1', 13})},
      {"X>=1", Bytes({'X', 0xC8, '1', 13})},
      // A capital that starts no keyword is a variable name.
      {"LET A=BIN 1", Bytes({0xF1, 'A', '=', 0xC4, '1', 13})},
      // CODE is not tokenised; lower case never is.
      {"CODE", Bytes({'C', 'O', 'D', 'E', 13})},
      {"print", Bytes({'p', 'r', 'i', 'n', 't', 13})},
      // REM keeps the rest of the line as it is.
      {"REM GO TO  IT", Bytes({0xEA, 'G', 'O', ' ', 'T', 'O', ' ', ' ', 'I', 'T', 13})},
      // Inside a string nothing is tokenised.
      {"PRINT \"PRINT\"", Bytes({0xF5, '"', 'P', 'R', 'I', 'N', 'T', '"', 13})},
  };
  for (const auto& c : cases) {
    TypingMachine t(kModel48K);
    EXPECT_EQ(TypeAll(t.m, c.text), c.expected) << c.text;
  }
}

TEST(Typing48K, EnterEndsStringsAndRemsAndLineEndsOfEveryKind) {
  TypingMachine t(kModel48K);
  EXPECT_EQ(TypeAll(t.m, "REM A\r\nPRINT \"X\nRUN\rRUN"),
            Bytes({0xEA, 'A', 13, 0xF5, '"', 'X', 13, 0xF7, 13, 0xF7, 13}));
}

TEST(Typing128K, CharactersGoAsTheyAreOneLineEndPerLine) {
  TypingMachine t(kModel128K);
  EXPECT_EQ(TypeAll(t.m, "10 PRINT 1\r\n20 GO TO 10\nRUN"),
            Bytes({'1', '0', ' ', 'P', 'R', 'I', 'N', 'T', ' ', '1', 13,  '2', '0', ' ',
                   'G', 'O', ' ', 'T', 'O', ' ', '1', '0', 13,  'R', 'U', 'N', 13}));
}

TEST(Typing, OneCharacterEverySpoolSpeedPlusOneVisits) {
  TypingMachine t(kModel128K);
  t.m.settings.SpoolSpeed = 7;
  const std::string text = "ABC";
  StartTyping(t.m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  EXPECT_EQ(t.m.FullSpeed, 1u);
  std::vector<int> deliveredAt;
  for (int visit = 1; visit <= 40 && TypingActive(t.m); ++visit) {
    t.m.PageTable[kFlags >> 13][kFlags & 0x1FFF] = 0;
    TypingStep(t.m);
    if (t.m.Peek(kFlags) & 0x20) deliveredAt.push_back(visit);
  }
  // The counter starts at 2: A, B, C and ENTER every 8 visits; the last one ends typing.
  EXPECT_EQ(deliveredAt, (std::vector<int>{8, 16, 24, 32}));
  EXPECT_FALSE(TypingActive(t.m));
  EXPECT_EQ(t.m.FullSpeed, 0u);
  EXPECT_TRUE(t.m.input.TypingText.empty());
}

TEST(Typing, CancelStopsAndNothingMoreIsDelivered) {
  TypingMachine t(kModel48K);
  const std::string text = "PRINT";
  StartTyping(t.m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  CancelTyping(t.m);
  EXPECT_FALSE(TypingActive(t.m));
  EXPECT_EQ(t.m.FullSpeed, 0u);
  t.m.PageTable[kLastK >> 13][kLastK & 0x1FFF] = 0;
  for (int i = 0; i < 20; ++i) TypingStep(t.m);
  EXPECT_EQ(t.m.Peek(kLastK), 0);
}

TEST(Typing, MissingFileTypesNothing) {
  TypingMachine t(kModel48K);
  EXPECT_FALSE(StartTypingFile(t.m, "/nonexistent/orvo/listing.txt"));
  EXPECT_FALSE(TypingActive(t.m));
}

}  // namespace
}  // namespace orvo::test
