#include "assembler/asm_lexer.h"

#include <cctype>

namespace orvo::asm_detail {

namespace {

bool IsIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '@' ||
         c == '?';
}
bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '@' ||
         c == '?';
}
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads digits of `base` from `digits`; false on any other character or an overflow past 32 bits.
bool ParseDigits(std::string_view digits, int base, int64_t& out) {
  if (digits.empty()) return false;
  int64_t v = 0;
  for (char c : digits) {
    if (c == '_') continue;
    const int d = HexDigit(c);
    if (d < 0 || d >= base) return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return false;
  }
  out = v;
  return true;
}

// A number that starts with a decimal digit: 123, 0x1F, 1Fh, 1010b, 17o/17q.
bool ParseNumberWord(std::string_view w, int64_t& out) {
  if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X'))
    return ParseDigits(w.substr(2), 16, out);
  const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(w.back())));
  const std::string_view body = w.substr(0, w.size() - 1);
  if (last == 'H') return ParseDigits(body, 16, out);
  if (last == 'B' && ParseDigits(body, 2, out)) return true;
  if (last == 'O' || last == 'Q') return ParseDigits(body, 8, out);
  if (last == 'D' && ParseDigits(body, 10, out)) return true;
  return ParseDigits(w, 10, out);
}

// A token after which a value has ended, so '&' and '%' are operators rather than prefixes.
bool EndsValue(const std::vector<Token>& tokens) {
  if (tokens.empty()) return false;
  const Token& t = tokens.back();
  if (t.kind != TokenKind::kPunct) return true;
  return t.text == ")" || t.text == "$";
}

}  // namespace

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::vector<Token> Tokenize(std::string_view line, LexError* error) {
  std::vector<Token> tokens;
  size_t i = 0;
  const size_t n = line.size();
  auto fail = [&](size_t at, std::string message) {
    if (error) {
      error->column = static_cast<int>(at) + 1;
      error->message = std::move(message);
    }
    return tokens;
  };
  while (i < n) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == ';') break;
    Token t;
    t.column = static_cast<int>(i) + 1;
    const size_t start = i;
    if (IsIdentStart(c)) {
      while (i < n && IsIdentChar(line[i])) ++i;
      t.kind = TokenKind::kIdent;
      t.text = std::string(line.substr(start, i - start));
      // The shadow pair is written AF'.
      if (i < n && line[i] == '\'' && Upper(t.text) == "AF") {
        t.text += '\'';
        ++i;
      }
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (i < n && std::isalnum(static_cast<unsigned char>(line[i]))) ++i;
      t.kind = TokenKind::kNumber;
      t.text = std::string(line.substr(start, i - start));
      if (!ParseNumberWord(t.text, t.value)) return fail(start, "bad number '" + t.text + "'");
    } else if ((c == '#' || c == '$' || (c == '&' && !EndsValue(tokens))) && i + 1 < n &&
               HexDigit(line[i + 1]) >= 0) {
      ++i;
      while (i < n && std::isalnum(static_cast<unsigned char>(line[i]))) ++i;
      t.kind = TokenKind::kNumber;
      t.text = std::string(line.substr(start, i - start));
      if (!ParseDigits(t.text.substr(1), 16, t.value))
        return fail(start, "bad number '" + t.text + "'");
    } else if (c == '%' && !EndsValue(tokens) && i + 1 < n &&
               (line[i + 1] == '0' || line[i + 1] == '1')) {
      ++i;
      while (i < n && std::isalnum(static_cast<unsigned char>(line[i]))) ++i;
      t.kind = TokenKind::kNumber;
      t.text = std::string(line.substr(start, i - start));
      if (!ParseDigits(t.text.substr(1), 2, t.value))
        return fail(start, "bad number '" + t.text + "'");
    } else if (c == '"' || c == '\'') {
      // A doubled quote stands for the quote itself.
      ++i;
      bool closed = false;
      while (i < n) {
        if (line[i] == c) {
          if (i + 1 < n && line[i + 1] == c) {
            t.text += c;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        t.text += line[i++];
      }
      if (!closed) return fail(start, "unterminated string");
      t.kind = TokenKind::kString;
    } else {
      static constexpr const char* kTwo[] = {"<<", ">>", "<=", ">=", "==", "!=", "&&", "||", "<>"};
      t.kind = TokenKind::kPunct;
      size_t width = 0;
      for (const char* op : kTwo) {
        if (line.substr(i, 2) == op) width = 2;
      }
      if (width == 2) {
        t.text = line.substr(i, 2) == "<>" ? std::string("!=") : std::string(line.substr(i, 2));
      } else {
        if (std::string_view("()+-*/%&|^~!<>=,:$[]").find(c) == std::string_view::npos)
          return fail(i, std::string("unexpected character '") + c + "'");
        t.text.assign(1, c);
        width = 1;
      }
      i += width;
    }
    t.end = static_cast<int>(i) + 1;
    tokens.push_back(std::move(t));
  }
  return tokens;
}

}  // namespace orvo::asm_detail
