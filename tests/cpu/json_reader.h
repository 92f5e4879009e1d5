#pragma once
// A small JSON reader for the test suites' data files: objects, arrays, numbers, strings (with
// the \" \\ and \/ escapes only), true, false and null into a tree. A malformed file gives an
// error text instead of a tree.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvo::test {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  double number = 0;
  bool boolean = false;
  std::string text;
  std::vector<JsonValue> items;                            // array elements
  std::vector<std::pair<std::string, JsonValue>> members;  // object members, in file order

  // Defined where JsonValue is complete: the pair above holds the type being declared, and clang
  // with libstdc++ refuses to instantiate its destructor inside this declaration.
  JsonValue();
  JsonValue(const JsonValue&);
  JsonValue(JsonValue&&) noexcept;
  JsonValue& operator=(const JsonValue&);
  JsonValue& operator=(JsonValue&&) noexcept;
  ~JsonValue();

  // The member named `key`, or nullptr.
  const JsonValue* Find(std::string_view key) const;
  // The member's number as an integer (0 when missing or not a number).
  int64_t Int(std::string_view key) const;
  bool IsNull() const { return kind == Kind::kNull; }
};

// Parses `text` whole. On failure returns false and describes the position in `error`.
bool ParseJson(std::string_view text, JsonValue& out, std::string& error);

// Reads a gzip-compressed (or plain) file whole through zlib. False on a missing, unreadable or
// truncated file.
bool ReadGzipFile(const std::string& path, std::string& out);

}  // namespace orvo::test
