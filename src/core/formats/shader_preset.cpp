#include "formats/shader_preset.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace orvo {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The next blank-separated word of `s`, taken off its front.
std::string_view NextWord(std::string_view& s) {
  s = Trim(s);
  size_t end = 0;
  while (end < s.size() && !IsBlank(s[end])) ++end;
  const std::string_view word = s.substr(0, end);
  s.remove_prefix(end);
  return word;
}

std::optional<float> ToFloat(std::string_view s) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  float v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  // A trailing 'f' (as in 1.0f) is common in hand-written sources.
  if (ec != std::errc() || !std::isfinite(v)) return std::nullopt;
  const std::string_view rest = s.substr(static_cast<size_t>(end - s.data()));
  if (!rest.empty() && rest != "f" && rest != "F") return std::nullopt;
  return v;
}

template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  uint32_t number = 0;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    ++number;
    if (!fn(line, number)) return;
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
}

std::string_view Unquote(std::string_view v) {
  v = Trim(v);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return Trim(v);
}

std::optional<bool> ToBool(std::string_view v) {
  if (v == "true" || v == "1") return true;
  if (v == "false" || v == "0") return false;
  return std::nullopt;
}

std::optional<ShaderScaleType> ToScaleType(std::string_view v) {
  if (v == "source") return ShaderScaleType::Source;
  if (v == "viewport") return ShaderScaleType::Viewport;
  if (v == "absolute") return ShaderScaleType::Absolute;
  return std::nullopt;
}

// "scale_type_x12" with prefix "scale_type_x" gives 12; anything else nothing.
std::optional<size_t> PassIndex(std::string_view key, std::string_view prefix) {
  if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix) return std::nullopt;
  const std::string_view digits = key.substr(prefix.size());
  size_t index = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return index;
}

// "scale_x3" gives ('x', 3), "scale3" (0, 3); a key of another kind no index.
std::pair<char, std::optional<size_t>> ScaleKey(std::string_view key, const std::string& base) {
  if (auto i = PassIndex(key, base + "_x")) return {'x', i};
  if (auto i = PassIndex(key, base + "_y")) return {'y', i};
  return {0, PassIndex(key, base)};
}

}  // namespace

float ClampParameter(const ShaderParameter& p, float value) {
  if (!std::isfinite(value)) return p.initial;
  return std::clamp(value, p.minimum, p.maximum);
}

size_t ReadShaderParameters(std::string_view source, std::vector<ShaderParameter>& table) {
  constexpr std::string_view kPragma = "#pragma parameter";
  size_t skipped = 0;
  ForEachLine(source, [&](std::string_view line, uint32_t) {
    line = Trim(line);
    if (line.substr(0, kPragma.size()) != kPragma) return true;
    std::string_view rest = line.substr(kPragma.size());
    if (!rest.empty() && !IsBlank(rest.front())) return true;  // "#pragma parameters" is not one
    ShaderParameter p;
    p.name = std::string(NextWord(rest));
    rest = Trim(rest);
    const size_t close = rest.size() > 1 ? rest.find('"', 1) : std::string_view::npos;
    if (p.name.empty() || rest.empty() || rest.front() != '"' || close == std::string_view::npos) {
      ++skipped;
      return true;
    }
    p.description = std::string(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    float numbers[4] = {0, 0, 0, 0};
    int count = 0;
    for (std::string_view word = NextWord(rest); !word.empty() && count < 4;
         word = NextWord(rest)) {
      const std::optional<float> v = ToFloat(word);
      if (!v) break;
      numbers[count++] = *v;
    }
    if (count < 3 || numbers[1] > numbers[2]) {
      ++skipped;
      return true;
    }
    p.minimum = numbers[1];
    p.maximum = numbers[2];
    p.initial = std::clamp(numbers[0], p.minimum, p.maximum);
    p.step = count == 4 && numbers[3] > 0 ? numbers[3] : 0;
    p.value = p.initial;
    const bool known = std::any_of(table.begin(), table.end(),
                                   [&](const ShaderParameter& q) { return q.name == p.name; });
    if (known) return true;
    if (table.size() >= kMaxShaderParameters) {
      ++skipped;
      return true;
    }
    table.push_back(std::move(p));
    return true;
  });
  return skipped;
}

std::string FormatParameterValues(const std::vector<std::pair<std::string, float>>& values) {
  std::string text;
  for (const auto& [name, value] : values) {
    if (name.empty() || name.find_first_of("=; \t\r\n") != std::string::npos) continue;
    char number[32];
    const auto [end, ec] = std::to_chars(number, number + sizeof number, value);
    if (ec != std::errc()) continue;
    if (!text.empty()) text += ';';
    text += name + "=" + std::string(number, end);
  }
  return text;
}

std::vector<std::pair<std::string, float>> ParseParameterValues(std::string_view text) {
  std::vector<std::pair<std::string, float>> values;
  while (!text.empty()) {
    const size_t semi = text.find(';');
    const std::string_view piece = text.substr(0, semi);
    const size_t eq = piece.find('=');
    if (eq != std::string_view::npos) {
      const std::string_view name = Trim(piece.substr(0, eq));
      const std::optional<float> v = ToFloat(piece.substr(eq + 1));
      if (!name.empty() && v && values.size() < kMaxShaderParameters)
        values.emplace_back(std::string(name), *v);
    }
    if (semi == std::string_view::npos) break;
    text.remove_prefix(semi + 1);
  }
  return values;
}

void ApplyParameterValues(const ShaderPreset& preset, std::vector<ShaderParameter>& table) {
  for (const auto& [name, value] : preset.parameterValues)
    for (ShaderParameter& p : table)
      if (p.name == name) p.value = ClampParameter(p, value);
}

ShaderPresetResult ParseShaderPreset(std::span<const uint8_t> data) {
  ShaderPresetResult result;
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  std::vector<std::pair<std::string, std::string>> entries;
  ForEachLine(text, [&](std::string_view line, uint32_t number) {
    // A comment runs to the end of the line unless it sits inside a quoted value.
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') quoted = !quoted;
      if (line[i] == '#' && !quoted) {
        line = line.substr(0, i);
        break;
      }
    }
    line = Trim(line);
    if (line.empty()) return true;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || Trim(line.substr(0, eq)).empty()) {
      result.errorLine = number;
      result.error = "not a \"key = value\" line";
      return false;
    }
    entries.emplace_back(std::string(Trim(line.substr(0, eq))),
                         std::string(Unquote(line.substr(eq + 1))));
    return true;
  });
  if (!result.Ok()) return result;

  auto find = [&](std::string_view key) -> const std::string* {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)  // the last one given wins
      if (it->first == key) return &it->second;
    return nullptr;
  };
  const std::string* count = find("shaders");
  const std::optional<float> n = count ? ToFloat(*count) : std::nullopt;
  if (!n || *n < 1 || *n > static_cast<float>(kMaxShaderPasses) || *n != std::floor(*n)) {
    result.error = "\"shaders\" must give the number of passes, 1 to 25";
    return result;
  }
  std::vector<ShaderPass>& passes = result.preset.passes;
  passes.resize(static_cast<size_t>(*n));
  for (size_t i = 0; i < passes.size(); ++i) {
    const std::string index = std::to_string(i);
    const std::string* shader = find("shader" + index);
    if (shader == nullptr || shader->empty()) {
      result.error = "no file for pass " + index;
      return result;
    }
    passes[i].path = *shader;
  }

  for (const auto& entry : entries) {
    const std::string& key = entry.first;
    const std::string& value = entry.second;
    std::optional<size_t> index;
    auto bad = [&] {
      result.error = "bad value \"" + value + "\" for " + key;
      return result;
    };
    if ((index = PassIndex(key, "filter_linear")) && *index < passes.size()) {
      const std::optional<bool> b = ToBool(value);
      if (!b) return bad();
      passes[*index].filterLinear = *b;
    } else if ((index = PassIndex(key, "alias")) && *index < passes.size()) {
      passes[*index].alias = value;
    } else if (const auto [axis, at] = ScaleKey(key, "scale_type"); at && *at < passes.size()) {
      const std::optional<ShaderScaleType> t = ToScaleType(value);
      if (!t) return bad();
      ShaderPass& p = passes[*at];
      if (axis != 'y') p.scaleTypeX = *t;
      if (axis != 'x') p.scaleTypeY = *t;
      p.scaleGiven = true;
    } else if (const auto [axis2, at2] = ScaleKey(key, "scale"); at2 && *at2 < passes.size()) {
      const std::optional<float> f = ToFloat(value);
      if (!f || *f <= 0 || *f > 16384) return bad();
      ShaderPass& p = passes[*at2];
      if (axis2 != 'y') p.scaleX = *f;
      if (axis2 != 'x') p.scaleY = *f;
      p.scaleGiven = true;
    }
  }

  if (const std::string* names = find("parameters")) {
    std::string_view list = *names;
    while (!list.empty()) {
      const size_t semi = list.find(';');
      const std::string_view name = Trim(list.substr(0, semi));
      if (!name.empty()) {
        if (const std::string* v = find(name)) {
          const std::optional<float> f = ToFloat(*v);
          if (!f) {
            result.error = "bad value \"" + *v + "\" for parameter " + std::string(name);
            return result;
          }
          result.preset.parameterValues.emplace_back(std::string(name), *f);
        }
      }
      if (semi == std::string_view::npos) break;
      list.remove_prefix(semi + 1);
    }
  }
  return result;
}

}  // namespace orvo
