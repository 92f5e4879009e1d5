#include "cpu/json_reader.h"

#include <zlib.h>

#include <cstdlib>

namespace orvo::test {

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return &value;
  }
  return nullptr;
}

int64_t JsonValue::Int(std::string_view key) const {
  const JsonValue* v = Find(key);
  return (v && v->kind == Kind::kNumber) ? static_cast<int64_t>(v->number) : 0;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  bool Document(JsonValue& out, std::string& error) {
    if (!Value(out, 0)) {
      error = error_ + " at offset " + std::to_string(pos_);
      return false;
    }
    SkipSpace();
    if (pos_ != s_.size()) {
      error = "trailing characters at offset " + std::to_string(pos_);
      return false;
    }
    return true;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
  std::string error_;

  bool Fail(const char* what) {
    error_ = what;
    return false;
  }
  void SkipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
      ++pos_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return Fail("unknown literal");
    pos_ += word.size();
    return true;
  }

  bool Value(JsonValue& v, int depth) {
    if (depth > 64) return Fail("nesting too deep");
    SkipSpace();
    if (pos_ >= s_.size()) return Fail("unexpected end");
    const char ch = s_[pos_];
    if (ch == '{') return Object(v, depth);
    if (ch == '[') return Array(v, depth);
    if (ch == '"') {
      v.kind = JsonValue::Kind::kString;
      return String(v.text);
    }
    if (ch == 't' || ch == 'f') {
      v.kind = JsonValue::Kind::kBool;
      v.boolean = ch == 't';
      return Literal(ch == 't' ? "true" : "false");
    }
    if (ch == 'n') {
      v.kind = JsonValue::Kind::kNull;
      return Literal("null");
    }
    return Number(v);
  }

  bool Number(JsonValue& v) {
    const size_t start = pos_;
    bool integral = true;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    while (pos_ < s_.size()) {
      const char ch = s_[pos_];
      if (ch >= '0' && ch <= '9') {
        ++pos_;
      } else if (ch == '.' || ch == 'e' || ch == 'E' || ch == '+' || ch == '-') {
        integral = false;
        ++pos_;
      } else {
        break;
      }
    }
    if (pos_ == start || (pos_ == start + 1 && s_[start] == '-')) return Fail("bad number");
    v.kind = JsonValue::Kind::kNumber;
    if (integral && pos_ - start < 18) {
      // Integers are by far the most common: convert them without a locale-aware call.
      int64_t n = 0;
      size_t i = start;
      const bool negative = s_[i] == '-';
      if (negative) ++i;
      for (; i < pos_; ++i) n = n * 10 + (s_[i] - '0');
      v.number = static_cast<double>(negative ? -n : n);
    } else {
      v.number = std::strtod(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr);
    }
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // opening quote
    out.clear();
    while (pos_ < s_.size()) {
      const char ch = s_[pos_++];
      if (ch == '"') return true;
      if (ch != '\\') {
        out.push_back(ch);
        continue;
      }
      if (pos_ >= s_.size()) break;
      const char esc = s_[pos_++];
      switch (esc) {
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          if (pos_ + 4 > s_.size()) return Fail("short \\u escape");
          const unsigned code = static_cast<unsigned>(
              std::strtoul(std::string(s_.substr(pos_, 4)).c_str(), nullptr, 16));
          pos_ += 4;
          if (code < 0x80) {
            out.push_back(static_cast<char>(code));
          } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
          } else {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
          }
          break;
        }
        default: out.push_back(esc); break;  // \" \\ \/
      }
    }
    return Fail("unterminated string");
  }

  bool Array(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::kArray;
    ++pos_;
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      v.items.emplace_back();
      if (!Value(v.items.back(), depth + 1)) return false;
      SkipSpace();
      if (pos_ >= s_.size()) return Fail("unterminated array");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return Fail("expected , or ]");
    }
  }

  bool Object(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::kObject;
    ++pos_;
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a member name");
      v.members.emplace_back();
      if (!String(v.members.back().first)) return false;
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Fail("expected :");
      ++pos_;
      if (!Value(v.members.back().second, depth + 1)) return false;
      SkipSpace();
      if (pos_ >= s_.size()) return Fail("unterminated object");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return Fail("expected , or }");
    }
  }
};

}  // namespace

bool ParseJson(std::string_view text, JsonValue& out, std::string& error) {
  out = JsonValue{};
  return Parser(text).Document(out, error);
}

bool ReadGzipFile(const std::string& path, std::string& out) {
  out.clear();
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const int n = gzread(file, buffer, sizeof buffer);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) {
      // gzread reports a truncated stream as a plain end of file: ask gzerror.
      int code = Z_OK;
      gzerror(file, &code);
      if (code != Z_OK && code != Z_STREAM_END) ok = false;
      break;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  gzclose(file);
  return ok;
}

}  // namespace orvo::test
