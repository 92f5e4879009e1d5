#include "tools/parse_number.h"

#include <gtest/gtest.h>

namespace orvo {
namespace {

TEST(ParseNumber, AcceptsHexWithEitherPrefixAndPlainDecimal) {
  struct Case {
    const char* text;
    uint32_t expected;
  };
  const Case cases[] = {
      {"#5B00", 23296},
      {"$5b00", 23296},
      {"23296", 23296},
      {"0", 0},
      {"65535", 65535},
      {"#FFFFFFFF", 0xFFFFFFFFu},
      // Refused: empty, bare prefix, hex without a prefix, a C prefix, signs, spaces, overflow.
      {"", kParseNumberInvalid},
      {"#", kParseNumberInvalid},
      {"5B00", kParseNumberInvalid},
      {"0x10", kParseNumberInvalid},
      {"-1", kParseNumberInvalid},
      {"x12", kParseNumberInvalid},
      {" 5", kParseNumberInvalid},
      {"#12G", kParseNumberInvalid},
      {"4294967296", kParseNumberInvalid},
      {"#100000000", kParseNumberInvalid},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseNumber(c.text), c.expected) << '"' << c.text << '"';
}

}  // namespace
}  // namespace orvo
