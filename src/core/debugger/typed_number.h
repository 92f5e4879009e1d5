#pragma once
// Numbers typed into the debugger and the tools' fields: after upper-casing, a leading "$" or "#"
// makes the rest hexadecimal, otherwise it is decimal. Blanks around the text are ignored.
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvo {

// The value, or nothing when the text is empty, holds a character that is no digit of its base,
// or exceeds 0xFFFFFFFF.
std::optional<uint32_t> ParseHashHexOrDecimal(std::string_view text);

}  // namespace orvo
