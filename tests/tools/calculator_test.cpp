// The calculator driven key by key, as a user types (each case a key sequence and the text the
// display ends with), and the two typed-number readers: the tool windows' and the debugger's.
#include "tools/calculator.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "debugger/typed_number.h"
#include "tools/parse_number.h"

namespace orvo {
namespace {

// Keys: digits and + - * / = as typed; words for the other buttons, separated by spaces.
void Keys(Calculator& calc, const std::string& keys) {
  size_t i = 0;
  while (i < keys.size()) {
    const size_t end = std::min(keys.find(' ', i), keys.size());
    const std::string key = keys.substr(i, end - i);
    i = end + 1;
    static const std::pair<const char*, CalcKey> kWords[] = {
        {"RL", CalcKey::Rl},         {"RR", CalcKey::Rr},         {"RLC", CalcKey::Rlc},
        {"RRC", CalcKey::Rrc},       {"SLA", CalcKey::Sla},       {"SRA", CalcKey::Sra},
        {"SLL", CalcKey::Sll},       {"SRL", CalcKey::Srl},       {"BIN", CalcKey::Bin},
        {"DEC", CalcKey::Dec},       {"HEX", CalcKey::Hex},       {"WORD", CalcKey::Size},
        {"+/-", CalcKey::PlusMinus}, {"SIGN", CalcKey::SignMode}, {"CA", CalcKey::ClearAll},
        {"AND", CalcKey::And},       {"OR", CalcKey::Or},         {"XOR", CalcKey::Xor},
        {"NOT", CalcKey::Not},       {"CARRY", CalcKey::Carry},
    };
    bool word = false;
    for (const auto& [name, k] : kWords) {
      if (key == name) {
        calc.Press(k);
        word = true;
      }
    }
    if (!word) {
      for (char c : key) ASSERT_TRUE(calc.Type(c)) << key;
    }
  }
}

std::string Shown(const Calculator& calc) {
  const std::string& d = calc.display();
  EXPECT_EQ(d.size(), 16u);
  return d.substr(d.find_first_not_of(' '));
}

TEST(Calculator, KeySequences) {
  struct Case {
    const char* keys;
    const char* shown;
    bool carry = false;
  };
  const Case cases[] = {
      {"", "0"},
      {"256", "25"},           // BYTE: 256 is out of range, the 6 is refused
      {"WORD 70000", "7000"},  // WORD limit 65535
      {"12 +/- 9", "-12"},     // after +/- the limits are -128..127: 9 refused
      {"200 + 100 =", "OVERFLOW"},
      {"WORD 200 + 100 =", "300"},
      {"5 - 7 =", "OVERFLOW"},  // unsigned
      {"SIGN 5 - 7 =", "-2"},
      {"7 / 0 =", "DIVIDE BY 0"},
      {"7 / 0 = 3 =", "3"},            // the division is gone: "=" has nothing pending
      {"7 / 0 + 1 =", "DIVIDE BY 0"},  // a chain does not lose the division by zero
      {"20 / 6 =", "3"},
      {"SIGN 20 +/- / 6 =", "-3"},  // truncates toward zero
      {"12 AND 10 =", "8"},
      {"12 XOR 10 =", "6"},
      {"WORD 12 AND 10", "1210"},  // logic is BYTE only: the key does nothing
      {"2 + 3 + 4 =", "9"},
      {"3 * =", "9"},            // nothing typed: squares
      {"2 + 3 = + 1 =", "6"},    // "=" stays pending: the result is the next first operand
      {"HEX 81 RL", "2", true},  // RL on 0x81: 0x02, carry out
      {"HEX 81 RL RL", "5", false},
      {"HEX 81 RLC", "3", true},
      {"HEX 81 RRC", "C0", true},
      {"HEX 81 SRA", "C0", true},
      {"HEX 81 SLL", "3", true},
      {"HEX 81 SRL", "40", true},
      {"CARRY HEX 80 RR", "C0", false},
      {"BIN 1012", "101"},    // only 0 and 1 in BIN
      {"5 BIN", "00000101"},  // a BYTE shows eight digits
      {"WORD 5 BIN", "0000000000000101"},
      {"SIGN 254 DEC", "-2"},  // a signed byte reads as -128..127
      {"WORD 4660 HEX", "1234"},
      {"HEX FF DEC", "255"},
      {"5 NOT", "-5"},
      {"HEX 5 NOT", "FB"},
      {"12 + 3 CA 4 =", "4"},  // CA drops the pending operation: "=" does nothing
  };
  for (const Case& c : cases) {
    Calculator calc;
    calc.Open();
    Keys(calc, c.keys);
    EXPECT_EQ(Shown(calc), c.shown) << c.keys;
    EXPECT_EQ(calc.carry(), c.carry) << c.keys;
  }
}

TEST(Calculator, SignModeOutlivesTheWindowButNotTheOperands) {
  Calculator calc;
  calc.Open();
  Keys(calc, "SIGN 7 +");
  calc.Close();
  calc.Open();
  EXPECT_TRUE(calc.signedMode());
  EXPECT_STREQ(calc.SignCaption(), "SIGNED");
  Keys(calc, "3 =");  // the pending "+" went with the window
  EXPECT_EQ(Shown(calc), "3");
  EXPECT_FALSE(calc.DigitEnabled(10));  // back in decimal
  Keys(calc, "HEX");
  EXPECT_TRUE(calc.DigitEnabled(15));
}

TEST(ParseNumber, HexWithEitherPrefixPlainDecimalAndNothingElse) {
  constexpr uint32_t kBad = kParseNumberInvalid;
  const struct {
    const char* text;
    uint32_t tools;                 // ParseNumber
    std::optional<uint32_t> typed;  // ParseHashHexOrDecimal
  } cases[] = {
      {"#5B00", 23296, 23296},
      {"$5b00", 23296, 23296},
      {"23296", 23296, 23296},
      {"0", 0, 0},
      {"#FFFFFFFF", 0xFFFFFFFFu, ~0u},
      {"4294967295", 0xFFFFFFFFu, ~0u},
      {"", kBad, {}},
      {"#", kBad, {}},
      {"5B00", kBad, {}},
      {"1F", kBad, {}},
      {"0x10", kBad, {}},
      {"-1", kBad, {}},
      {"#12G", kBad, {}},
      {"4294967296", kBad, {}},
      {"#100000000", kBad, {}},
      {" #c000 ", kBad, 0xC000},  // only the debugger trims
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseNumber(c.text), c.tools) << '"' << c.text << '"';
    EXPECT_EQ(ParseHashHexOrDecimal(c.text), c.typed) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace orvo
