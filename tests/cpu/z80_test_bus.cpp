#include "cpu/z80_test_bus.h"

#include <cstdio>

namespace orvo::test {

std::string Describe(const BusEvent& e) {
  char text[48];
  if (e.data < 0) {
    std::snprintf(text, sizeof text, "%5u %s %04x", e.time, e.type.c_str(), e.address);
  } else {
    std::snprintf(text, sizeof text, "%5u %s %04x %02x", e.time, e.type.c_str(), e.address, e.data);
  }
  return text;
}

std::vector<uint8_t> Make48KContentionTable() {
  static const uint8_t kPattern[8] = {6, 5, 4, 3, 2, 1, 0, 0};
  std::vector<uint8_t> table(71000, 0);
  for (uint32_t line = 0; line < 192; ++line) {
    const uint32_t start = 14335 + line * 224;
    for (uint32_t t = 0; t < 128; ++t) table[start + t] = kPattern[t & 7];
  }
  return table;
}

}  // namespace orvo::test
