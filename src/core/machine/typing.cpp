#include "machine/typing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "formats/file_io.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/model.h"

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

bool IsLetter(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A keyword is a word of its own: BASIC reads LET SCORE=5 as a variable called SCORE, not as
// S, C, OR, E, and FORMAT$ or ATTACK as names. So a keyword starts only where no letter comes
// before it, and one that ends in a letter is taken only where no letter or "$" follows it.
// Digits may touch a keyword on either side (10PRINT, TO10).
bool KeywordFits(const std::vector<uint8_t>& text, size_t at, const Keyword& k, size_t len) {
  if (!IsLetter(static_cast<uint8_t>(k.text[0]))) return true;  // <=, <>, >=
  if (at > 0 && IsLetter(text[at - 1])) return false;
  const uint8_t last = static_cast<uint8_t>(k.text[len - 1]);
  if (!IsLetter(last) || at + len >= text.size()) return true;
  const uint8_t next = text[at + len];
  return !IsLetter(next) && next != '$';
}

// c was just taken from position pos - 1; returns its token, consuming the rest of the keyword,
// or c itself when no keyword starts here.
uint8_t Tokenise(InputState& in, uint8_t c) {
  const std::vector<uint8_t>& text = in.TypingText;
  const size_t at = in.TypingPos - 1;
  for (const Keyword& k : KeywordsFor(c)) {
    const size_t len = std::strlen(k.text);
    if (at + len <= text.size() && std::memcmp(text.data() + at, k.text, len) == 0 &&
        KeywordFits(text, at, k, len)) {
      in.TypingPos = static_cast<uint32_t>(at + len);
      if (k.token == 0xEA) in.TypingInRem = 1;
      return k.token;
    }
  }
  // A capital that starts no keyword is a letter of a name: it goes in as it is.
  return c;
}

// Which ROM the typed keys go to: the 48K BASIC (keywords as tokens, also the 128K family's
// 48 BASIC ROM), the 128K family's editor (letter by letter), or neither (no key wait there).
enum class KeyRom { kNone, k48Basic, kEditor };

KeyRom PagedKeyRom(const MachineState& m) {
  const uint8_t* page = m.PageTable[0];
  if (m.MachineModel == kModelCustom) return KeyRom::kEditor;
  if (!Is128KFamily(m.MachineModel)) return KeyRom::k48Basic;
  if (m.SpecialMode) return KeyRom::kNone;
  const size_t basic48 = IsPlus2AFamily(m.MachineModel) ? 3 : 1;
  if (page == m.RomBuffer128.data() + basic48 * 0x4000) return KeyRom::k48Basic;
  return page == m.RomBuffer128.data() ? KeyRom::kEditor : KeyRom::kNone;
}

// The 128K family's editor waits for a key in two places: in the line being edited and, after a
// command has run, under its report (the key that clears the report is kept for the editor).
uint16_t ReportWaitAddress(uint8_t model) {
  switch (model) {
    case kModel128K: return 0x25E3;
    case kModelPlus2: return 0x2602;
    case kModelPlus2A:
    case kModelPlus3: return 0x0693;
    default: return 0;
  }
}

constexpr uint16_t kBasic48KeyWait = 0x10B0;

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

// The text is UTF-8; a byte that does not begin a well-formed sequence is taken as Latin-1, so
// files saved in either encoding type in. Returns the character at `i` and moves past it.
char32_t NextCharacter(std::span<const uint8_t> text, size_t& i) {
  const uint8_t lead = text[i];
  size_t length = 0;
  char32_t c = lead;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07;
  }
  if (length == 0 || i + length > text.size()) {
    ++i;
    return lead;
  }
  for (size_t k = 1; k < length; ++k) {
    if ((text[i + k] & 0xC0) != 0x80) {
      ++i;
      return lead;
    }
    c = (c << 6) | (text[i + k] & 0x3F);
  }
  i += length;
  return c;
}

// Adds the Spectrum's character for `c`: ASCII as it is (the Spectrum's own 0x60 and 0x7F are
// the pound sign and the copyright sign), typographic punctuation as its plain form, and nothing
// for a character the Spectrum cannot show or a control code other than the line end (a stray
// code such as 12 would be DELETE to the editor).
void AppendSpectrumCharacter(std::vector<uint8_t>& out, char32_t c) {
  static constexpr struct {
    char32_t from;
    const char* to;
  } kMapped[] = {
      {0x09, " "},   {0x0A, "\r"},   {0xA0, " "},     {0xA3, "\x60"}, {0xA9, "\x7F"},
      {0xD7, "*"},   {0xF7, "/"},    {0x2010, "-"},   {0x2011, "-"},  {0x2012, "-"},
      {0x2013, "-"}, {0x2014, "-"},  {0x2015, "-"},   {0x2018, "'"},  {0x2019, "'"},
      {0x201A, "'"}, {0x201B, "'"},  {0x201C, "\""},  {0x201D, "\""}, {0x201E, "\""},
      {0x2032, "'"}, {0x2033, "\""}, {0x2026, "..."}, {0x2191, "^"},  {0x2212, "-"},
  };
  if (c == 13 || (c >= 0x20 && c < 0x7F)) {
    out.push_back(static_cast<uint8_t>(c));
    return;
  }
  for (const auto& entry : kMapped) {
    if (entry.from == c) {
      for (const char* p = entry.to; *p; ++p) out.push_back(static_cast<uint8_t>(*p));
      return;
    }
  }
}

}  // namespace

void StartTyping(MachineState& m, std::span<const uint8_t> text, int32_t spoolSpeed) {
  InputState& in = m.input;
  in.TypingSpoolSpeed = spoolSpeed;
  in.TypingText.clear();
  in.TypingText.reserve(text.size() + 2);
  bool afterCr = false;
  for (size_t i = 0; i < text.size();) {
    const char32_t c = NextCharacter(text, i);
    // Every line end becomes one ENTER, whichever convention the text was written with.
    if (c == 10 && afterCr) {
      afterCr = false;
      continue;
    }
    afterCr = c == 13;
    AppendSpectrumCharacter(in.TypingText, c);
  }
  // A text that ends with its line end is entered once, not followed by an empty line.
  if (in.TypingText.empty() || in.TypingText.back() != 13) in.TypingText.push_back(13);
  in.TypingText.push_back(kEndMarker);
  in.TypingPos = 0;
  in.TypingActive = 1;
  in.TypingCounter = 2;
  in.TypingInString = 0;
  in.TypingInRem = 0;
  in.TypingFramesWaiting = 0;
  in.TypingFirstWaitFrame = UINT64_MAX;
  m.FullSpeed = 1;
}

bool StartTypingFile(MachineState& m, const std::string& path) {
  // Text to type is a listing at most: a few megabytes would take hours to type in.
  constexpr uint64_t kLargestText = 16u << 20;
  std::vector<uint8_t> bytes;
  if (ReadRegularFile(path, bytes, kLargestText) != ReadFailure::None) return false;
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

bool TypingWaitsHere(const MachineState& m) {
  // A ROM paged over the machine's own (TR-DOS) runs code of its own at the same addresses.
  if (OverlayMapped(m, OverlayLayer::kBeta128)) return false;
  const uint16_t pc = m.cpu.PC;
  switch (PagedKeyRom(m)) {
    case KeyRom::k48Basic:
      return pc == (Is128KFamily(m.MachineModel) ? kBasic48KeyWait : m.KeyWaitAddress);
    case KeyRom::kEditor: return pc == m.KeyWaitAddress || pc == ReportWaitAddress(m.MachineModel);
    case KeyRom::kNone: break;
  }
  return false;
}

void TypingStep(MachineState& m) {
  InputState& in = m.input;
  if (!in.TypingActive) return;
  in.TypingFramesWaiting = 0;
  // A ROM add-on may set itself up on one of the first interrupts after the machine's start and
  // clear the line being edited (the µSpeech does on the second one, printing its message): the
  // first character waits until the ROM has waited for a key across a few interrupts.
  constexpr uint64_t kSettleFrames = 3;
  if (in.TypingFirstWaitFrame == UINT64_MAX) in.TypingFirstWaitFrame = m.FrameCount;
  if (m.FrameCount - in.TypingFirstWaitFrame < kSettleFrames) return;
  if (in.TypingCounter == 1) {
    if (PagedKeyRom(m) == KeyRom::k48Basic) {
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

std::string TypingFrameEnd(MachineState& m) {
  InputState& in = m.input;
  if (!in.TypingActive || ++in.TypingFramesWaiting < kTypingStallFrames) return {};
  // The untyped rest, as far as the end marker, with its line ends shown as spaces.
  const size_t total = in.TypingText.empty() ? 0 : in.TypingText.size() - 1;
  const size_t typed = std::min<size_t>(in.TypingPos, total);
  std::string rest;
  for (size_t i = typed; i < total && rest.size() < 40; ++i) {
    const uint8_t c = in.TypingText[i];
    rest.push_back(c == 13 ? ' ' : c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  while (!rest.empty() && rest.back() == ' ') rest.pop_back();
  char text[200];
  std::snprintf(text, sizeof text,
                "Typing stopped: the machine has not asked for a key for %u seconds (PC %04X).\n"
                "%zu of %zu characters were typed.",
                kTypingStallFrames / 50, static_cast<unsigned>(m.cpu.PC), typed, total);
  std::string note = text;
  if (!rest.empty()) note += "\nNot typed: \"" + rest + (total - typed > 40 ? "...\"" : "\"");
  CancelTyping(m);
  return note;
}

}  // namespace orvo
