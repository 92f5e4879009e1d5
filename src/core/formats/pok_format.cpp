#include "formats/pok_format.h"

#include <string_view>

namespace orvo {

namespace {

// The next blank-separated decimal field, or false when there is none or it exceeds `limit`.
bool NextField(std::string_view& line, uint32_t limit, uint32_t& out) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  const size_t begin = i;
  uint32_t value = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    value = value * 10 + static_cast<uint32_t>(line[i] - '0');
    if (value > limit) return false;
    ++i;
  }
  if (i == begin) return false;
  if (i < line.size() && line[i] != ' ' && line[i] != '\t') return false;
  line.remove_prefix(i);
  out = value;
  return true;
}

bool OnlyBlanks(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

PokParseResult ParsePok(std::span<const uint8_t> data) {
  PokParseResult result;
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  bool inTrainer = false;
  uint32_t lineNumber = 0;
  size_t position = 0;
  auto fail = [&](uint32_t line) {
    PokParseResult failed;
    failed.errorLine = line;
    return failed;
  };
  while (position < text.size()) {
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(position, end - position);
    position = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (OnlyBlanks(line)) continue;
    const char kind = line[0];
    line.remove_prefix(1);
    if (kind == 'Y') {
      if (inTrainer || result.trainers.empty()) return fail(lineNumber);
      return result;  // anything after the end mark is not read
    }
    if (kind == 'N') {
      if (inTrainer) return fail(lineNumber);
      result.trainers.push_back({std::string(line), {}});
      inTrainer = true;
      continue;
    }
    if (kind != 'M' && kind != 'Z') return fail(lineNumber);
    if (!inTrainer) return fail(lineNumber);
    uint32_t bank = 0, address = 0, value = 0, original = 0;
    if (!NextField(line, 255, bank) || !NextField(line, 0xFFFF, address) ||
        !NextField(line, kPokAskValue, value) || !NextField(line, 255, original) ||
        !OnlyBlanks(line))
      return fail(lineNumber);
    result.trainers.back().pokes.push_back(
        {static_cast<uint8_t>(bank & 8 ? kPokNoBank : bank & 7), static_cast<uint16_t>(address),
         static_cast<uint16_t>(value), static_cast<uint8_t>(original)});
    if (kind == 'Z') inTrainer = false;
  }
  // A file that stops inside a trainer has lost its end; one without the closing "Y" but with
  // every trainer complete is taken as it is.
  if (inTrainer || result.trainers.empty()) return fail(lineNumber == 0 ? 1 : lineNumber);
  return result;
}

}  // namespace orvo
