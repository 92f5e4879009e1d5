// The two typed-number readers: the tool windows' and the debugger's. Both take "#" or "$" for
// hexadecimal and plain digits for decimal, and refuse anything else.
#include "tools/parse_number.h"

#include <gtest/gtest.h>

#include <optional>

#include "debugger/typed_number.h"

namespace orvo {
namespace {

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
