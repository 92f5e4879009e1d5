#include "debugger/user_labels.h"

namespace orvo {

void UserLabels::Set(const std::vector<std::pair<std::string, uint16_t>>& labels) {
  Clear();
  for (const auto& [name, address] : labels) {
    byName_.emplace(name, address);
    byAddress_.emplace(address, name);
  }
}

void UserLabels::Clear() {
  byAddress_.clear();
  byName_.clear();
}

const char* UserLabels::At(uint16_t address) const {
  auto it = byAddress_.find(address);
  return it == byAddress_.end() ? nullptr : it->second.c_str();
}

std::optional<uint16_t> UserLabels::Find(std::string_view name) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) return std::nullopt;
  return it->second;
}

}  // namespace orvo
