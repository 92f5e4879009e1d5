#include "tools/parse_number.h"

namespace orvo {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint32_t ParseNumber(std::string_view text) {
  if (text.empty()) return kParseNumberInvalid;
  uint64_t value = 0;
  if (text[0] == '#' || text[0] == '$') {
    if (text.size() == 1) return kParseNumberInvalid;
    for (char c : text.substr(1)) {
      const int digit = HexDigit(c);
      if (digit < 0) return kParseNumberInvalid;
      value = value * 16 + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return kParseNumberInvalid;
    }
    return static_cast<uint32_t>(value);
  }
  // Every character is checked, the first too: a conversion that stopped at a leading letter or
  // sign would turn "x12" into 0 and "-1" into a huge number, both accepted by some caller.
  for (char c : text) {
    if (c < '0' || c > '9') return kParseNumberInvalid;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return kParseNumberInvalid;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace orvo
