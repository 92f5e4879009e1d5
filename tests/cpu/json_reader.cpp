#include "cpu/json_reader.h"

#include <zlib.h>

#include <cstdlib>

namespace orvo::test {

JsonValue::JsonValue() = default;
JsonValue::JsonValue(const JsonValue&) = default;
JsonValue::JsonValue(JsonValue&&) noexcept = default;
JsonValue& JsonValue::operator=(const JsonValue&) = default;
JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;
JsonValue::~JsonValue() = default;

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
    bool ok = Value(out, 0);
    SkipSpace();
    if (ok && pos_ != s_.size()) ok = Fail("trailing characters");
    if (!ok) error = error_ + " at offset " + std::to_string(pos_);
    return ok;
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
    while (pos_ < s_.size() && (s_[pos_] == ' ' || (s_[pos_] >= '\t' && s_[pos_] <= '\r'))) ++pos_;
  }
  // Skips spaces and the character `ch` if it comes next.
  bool Take(char ch) {
    SkipSpace();
    if (pos_ >= s_.size() || s_[pos_] != ch) return false;
    ++pos_;
    return true;
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
    switch (s_[pos_]) {
      case '{': v.kind = JsonValue::Kind::kObject; return List(v, '}', depth);
      case '[': v.kind = JsonValue::Kind::kArray; return List(v, ']', depth);
      case '"': v.kind = JsonValue::Kind::kString; return String(v.text);
      case 't':
      case 'f':
        v.kind = JsonValue::Kind::kBool;
        v.boolean = s_[pos_] == 't';
        return Literal(v.boolean ? "true" : "false");
      case 'n': v.kind = JsonValue::Kind::kNull; return Literal("null");
      default: return Number(v);
    }
  }

  bool Number(JsonValue& v) {
    const size_t start = pos_;
    bool integral = true;
    if (s_[pos_] == '-') ++pos_;
    for (; pos_ < s_.size(); ++pos_) {
      const char ch = s_[pos_];
      if (ch == '.' || ch == 'e' || ch == 'E' || ch == '+' || ch == '-') {
        integral = false;
      } else if (ch < '0' || ch > '9') {
        break;
      }
    }
    if (pos_ == start || (pos_ == start + 1 && s_[start] == '-')) return Fail("bad number");
    v.kind = JsonValue::Kind::kNumber;
    if (integral && pos_ - start < 18) {
      // Integers are by far the most common: convert them without a locale-aware call.
      int64_t n = 0;
      for (size_t i = start + (s_[start] == '-'); i < pos_; ++i) n = n * 10 + (s_[i] - '0');
      v.number = static_cast<double>(s_[start] == '-' ? -n : n);
    } else {
      v.number = std::strtod(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr);
    }
    return true;
  }

  // The suites' strings are plain: of the escapes only \" \\ and \/ are read.
  bool String(std::string& out) {
    ++pos_;  // opening quote
    out.clear();
    while (pos_ < s_.size()) {
      char ch = s_[pos_++];
      if (ch == '"') return true;
      if (ch == '\\') {
        if (pos_ >= s_.size()) break;
        ch = s_[pos_++];
        if (ch != '"' && ch != '\\' && ch != '/') return Fail("unsupported escape");
      }
      out.push_back(ch);
    }
    return Fail("unterminated string");
  }

  // The members of an object or the items of an array, up to `close`.
  bool List(JsonValue& v, char close, int depth) {
    ++pos_;
    if (Take(close)) return true;
    do {
      JsonValue* item;
      if (close == '}') {
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a member name");
        v.members.emplace_back();
        if (!String(v.members.back().first)) return false;
        if (!Take(':')) return Fail("expected :");
        item = &v.members.back().second;
      } else {
        item = &v.items.emplace_back();
      }
      if (!Value(*item, depth + 1)) return false;
    } while (Take(','));
    return Take(close) || Fail(close == '}' ? "expected , or }" : "expected , or ]");
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
  int n;
  while ((n = gzread(file, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  // gzread reports a truncated stream as a plain end of file: ask gzerror.
  int code = Z_OK;
  gzerror(file, &code);
  gzclose(file);
  return n == 0 && (code == Z_OK || code == Z_STREAM_END);
}

}  // namespace orvo::test
