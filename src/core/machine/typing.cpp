#include "machine/typing.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "machine/machine_state.h"

namespace orvo {

namespace {

constexpr uint16_t kLastK = 0x5C08;  // LAST-K: the key the ROM reads next
constexpr uint16_t kFlags = 0x5C3B;  // FLAGS; bit 5 says a new key is in LAST-K
constexpr uint8_t kEndMarker = 128;  // closes the text after its final ENTER

void Poke(MachineState& m, uint16_t address, uint8_t value) {
  m.PageTable[address >> 13][address & 0x1FFF] = value;
}

void HandOver(MachineState& m, uint8_t c) {
  Poke(m, kFlags, static_cast<uint8_t>(m.Peek(kFlags) | 0x20));
  Poke(m, kLastK, c);
}

// The 48K ROM takes keywords as single tokens, not letter by letter. For each character that can
// begin one, its keywords in the order they are tried (a longer keyword before its prefix).
struct Keyword {
  const char* text;
  uint8_t token;
};

const std::vector<Keyword>& KeywordsFor(uint8_t c) {
  static const std::vector<Keyword> kNone;
  static const std::vector<Keyword> kLess = {{"<=", 0xC7}, {"<>", 0xC9}};
  static const std::vector<Keyword> kGreater = {{">=", 0xC8}};
  static const std::vector<Keyword> kRows[26] = {
      {{"ATTR", 0xAB},
       {"ATN", 0xB7},
       {"AT", 0xAC},
       {"ASN", 0xB5},
       {"ACS", 0xB6},
       {"ABS", 0xBD},
       {"AND", 0xC6}},
      {{"BORDER", 0xE7}, {"BIN", 0xC4}, {"BEEP", 0xD7}, {"BRIGHT", 0xDC}},
      {{"CONTINUE", 0xE8},
       {"COPY", 0xFF},
       {"CLS", 0xFB},
       {"CLEAR", 0xFD},
       {"COS", 0xB3},
       {"CHR$", 0xC2},
       {"CAT", 0xCF},
       {"CLOSE #", 0xD4},
       {"CIRCLE", 0xD8},
       {"CODE", 0xAF}},
      {{"DIM", 0xE9}, {"DRAW", 0xFC}, {"DEF FN", 0xCE}, {"DATA", 0xE4}},
      {{"EXP", 0xB9}, {"ERASE", 0xD2}},
      {{"FORMAT", 0xD0}, {"FOR", 0xEB}, {"FN", 0xA8}, {"FLASH", 0xDB}},
      {{"GO TO", 0xEC}, {"GO SUB", 0xED}, {"GOTO", 0xEC}, {"GOSUB", 0xED}},
      {},
      {{"INPUT", 0xEE},
       {"IF", 0xFA},
       {"INKEY$", 0xA6},
       {"INT", 0xBA},
       {"INVERSE", 0xDD},
       {"INK", 0xD9},
       {"IN", 0xBF}},
      {},
      {},
      {{"LET", 0xF1},
       {"LOAD", 0xEF},
       {"LIST", 0xF0},
       {"LN", 0xB8},
       {"LEN", 0xB1},
       {"LINE", 0xCA},
       {"LPRINT", 0xE0},
       {"LLIST", 0xE1}},
      {{"MOVE", 0xD1}, {"MERGE", 0xD5}},
      {{"NEXT", 0xF3}, {"NEW", 0xE6}, {"NOT", 0xC3}},
      {{"OR", 0xC5}, {"OPEN #", 0xD3}, {"OVER", 0xDE}, {"OUT", 0xDF}},
      {{"PRINT", 0xF5},
       {"POKE", 0xF4},
       {"PLOT", 0xF6},
       {"PAUSE", 0xF2},
       {"PI", 0xA7},
       {"POINT", 0xA9},
       {"PEEK", 0xBE},
       {"PAPER", 0xDA}},
      {},
      {{"RUN", 0xF7},
       {"RANDOMIZE", 0xF9},
       {"RETURN", 0xFE},
       {"REM ", 0xEA},
       {"RND", 0xA5},
       {"READ", 0xE3},
       {"RESTORE", 0xE5}},
      {{"SAVE", 0xF8},
       {"SCREEN$", 0xAA},
       {"SIN", 0xB2},
       {"SQR", 0xBB},
       {"SGN", 0xBC},
       {"STR$", 0xC1},
       {"STEP", 0xCD},
       {"STOP", 0xE2}},
      {{"TO", 0xCC}, {"TAB", 0xAD}, {"TAN", 0xB4}, {"THEN", 0xCB}},
      {{"USR", 0xC0}},
      {{"VAL$", 0xAE}, {"VAL", 0xB0}, {"VERIFY", 0xD6}},
      {},
      {},
      {},
      {},
  };
  if (c == '<') return kLess;
  if (c == '>') return kGreater;
  if (c >= 'A' && c <= 'Z') return kRows[c - 'A'];
  return kNone;
}

// c was just taken from position pos - 1; returns its token, consuming the rest of the keyword,
// or c itself when no keyword starts here.
uint8_t Tokenise(InputState& in, uint8_t c) {
  const std::vector<uint8_t>& text = in.TypingText;
  const size_t at = in.TypingPos - 1;
  for (const Keyword& k : KeywordsFor(c)) {
    const size_t len = std::strlen(k.text);
    if (at + len <= text.size() && std::memcmp(text.data() + at, k.text, len) == 0) {
      in.TypingPos = static_cast<uint32_t>(at + len);
      if (k.token == 0xEA) in.TypingInRem = 1;
      return k.token;
    }
  }
  // A capital that starts no keyword is a letter of a name: it goes in as it is.
  return c;
}

bool TextUsedUp(const InputState& in) {
  return in.TypingPos >= in.TypingText.size() || in.TypingText[in.TypingPos] == kEndMarker;
}

void Deliver48(MachineState& m) {
  InputState& in = m.input;
  for (;;) {
    if (TextUsedUp(in)) {
      CancelTyping(m);
      return;
    }
    uint8_t c = in.TypingText[in.TypingPos++];
    if (c == 10) continue;
    if (c == ' ' && !in.TypingInString && !in.TypingInRem) continue;
    if (!in.TypingInString && !in.TypingInRem && ((c >= 'A' && c <= 'Z') || c == '<' || c == '>')) {
      c = Tokenise(in, c);
    }
    if (c == '"' && !in.TypingInRem) in.TypingInString ^= 1;
    if (c == 13) in.TypingInString = in.TypingInRem = 0;
    HandOver(m, c);
    // The last character is on its way: typing is over.
    if (TextUsedUp(in)) CancelTyping(m);
    return;
  }
}

void DeliverOther(MachineState& m) {
  InputState& in = m.input;
  if (TextUsedUp(in)) {
    CancelTyping(m);
    return;
  }
  const uint8_t c = in.TypingText[in.TypingPos++];
  HandOver(m, c);
  if (c == 13 && in.TypingPos < in.TypingText.size() && in.TypingText[in.TypingPos] == 10) {
    ++in.TypingPos;
  }
  if (TextUsedUp(in)) CancelTyping(m);
}

}  // namespace

void StartTyping(MachineState& m, std::span<const uint8_t> text, int32_t spoolSpeed) {
  InputState& in = m.input;
  in.TypingSpoolSpeed = spoolSpeed;
  // Every line end becomes one ENTER, whichever convention the text was written with.
  in.TypingText.clear();
  in.TypingText.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t c = text[i];
    if (c == 10) {
      if (i > 0 && text[i - 1] == 13) continue;
      in.TypingText.push_back(13);
    } else {
      in.TypingText.push_back(c);
    }
  }
  in.TypingText.push_back(13);
  in.TypingText.push_back(kEndMarker);
  in.TypingPos = 0;
  in.TypingActive = 1;
  in.TypingCounter = 2;
  in.TypingInString = 0;
  in.TypingInRem = 0;
  m.FullSpeed = 1;
}

bool StartTypingFile(MachineState& m, const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  if (file.bad()) return false;
  StartTyping(m, bytes);
  return true;
}

void CancelTyping(MachineState& m) {
  InputState& in = m.input;
  if (in.TypingActive) m.FullSpeed = 0;
  in.TypingActive = 0;
  in.TypingText.clear();
  in.TypingText.shrink_to_fit();
  in.TypingPos = 0;
  in.TypingInString = in.TypingInRem = 0;
}

bool TypingActive(const MachineState& m) {
  return m.input.TypingActive != 0;
}

void TypingStep(MachineState& m) {
  InputState& in = m.input;
  if (!in.TypingActive) return;
  if (in.TypingCounter == 1) {
    if (m.MachineModel == kModel16K || m.MachineModel == kModel48K) {
      Deliver48(m);
    } else {
      DeliverOther(m);
    }
  }
  const int32_t speed = in.TypingSpoolSpeed > 0 ? in.TypingSpoolSpeed : m.settings.SpoolSpeed;
  if (static_cast<int64_t>(in.TypingCounter) > speed) {
    in.TypingCounter = 1;
  } else {
    ++in.TypingCounter;
  }
}

}  // namespace orvo
