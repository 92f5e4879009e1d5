#pragma once
// The assembler's tokens: one source line becomes a list of identifiers, numbers, strings and
// punctuation, each with the column it starts at.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::asm_detail {

enum class TokenKind : uint8_t { kIdent, kNumber, kString, kPunct };

struct Token {
  TokenKind kind = TokenKind::kPunct;
  std::string text;   // identifier as written, string contents, or the punctuation
  int64_t value = 0;  // numbers
  int column = 1;     // from 1
  int end = 1;        // the column after its last character
};

struct LexError {
  int column = 1;
  std::string message;
};

// Splits a line (without its end of line) into tokens up to a ';' comment. A problem (an
// unterminated string, a bad number) ends the line there and is returned in `error`.
std::vector<Token> Tokenize(std::string_view line, LexError* error);

// Upper-case copy (ASCII).
std::string Upper(std::string_view s);

}  // namespace orvo::asm_detail
