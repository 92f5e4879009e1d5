#include "shell/config_set.h"

#include <charconv>
#include <cstdint>

#include "shell/config.h"
#include "shell/config_internal.h"

namespace orvo {

namespace {

// "<what> '<text>'"; built by appending (GCC 12 warns wrongly on chains of string + string).
std::string Quoted(const char* what, std::string_view text) {
  std::string out(what);
  out.append(" '").append(text).append("'");
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool SetSettingByName(Settings& settings, std::string_view assignment, std::string* error) {
  using namespace config_detail;
  const size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) {
    *error = Quoted("not Key=Value:", assignment);
    return false;
  }
  const std::string_view name = Trim(assignment.substr(0, equals));
  const std::string_view value = Trim(assignment.substr(equals + 1));
  for (const NumericSection& section : kNumericSections) {
    for (const NumericKey& key : section.keys) {
      // Keys match without regard to the blanks the file writes around some of them.
      if (Trim(key.key) != name) continue;
      if (key.field == nullptr) {
        double speed = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), speed);
        if (ec != std::errc() || end != value.data() + value.size()) {
          *error = Quoted("not a number:", assignment);
          return false;
        }
        settings.EmulationSpeed = static_cast<float>(speed);
        ClampSettings(settings);
        return true;
      }
      int32_t number = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
      if (ec != std::errc() || end != value.data() + value.size() || value.empty()) {
        *error = Quoted("not a whole number:", assignment);
        return false;
      }
      settings.*key.field = number;
      ClampSettings(settings);
      return true;
    }
  }
  *error = Quoted("unknown setting", name);
  return false;
}

}  // namespace orvo
