#pragma once
// The one number parser of the tool windows (POKE finder, POKE memory, binary files, debugger).
#include <cstdint>
#include <string_view>

namespace orvo {

// Returned for anything that is not a number. It is above every address and byte, so a caller
// that checks the result against its own limit refuses it without a separate test.
constexpr uint32_t kParseNumberInvalid = 0x10000;

// "#" or "$" followed by hexadecimal digits, or decimal digits alone. An empty text, any other
// character (a sign or a letter anywhere, "0x" included) or a value that does not fit in 32 bits
// gives kParseNumberInvalid.
uint32_t ParseNumber(std::string_view text);

}  // namespace orvo
