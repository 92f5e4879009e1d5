#pragma once
// Labels a program brought with it (the assembler's symbols): names for addresses in the
// disassembly, and addresses for the names a breakpoint may be given by.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvo {

class UserLabels {
 public:
  // Replaces the table. Where several names share an address, the first one given names it.
  void Set(const std::vector<std::pair<std::string, uint16_t>>& labels);
  void Clear();
  bool Empty() const { return byName_.empty(); }
  size_t Size() const { return byName_.size(); }

  // The name at `address`, or null.
  const char* At(uint16_t address) const;
  // The address of `name` (exact case), or nothing.
  std::optional<uint16_t> Find(std::string_view name) const;

 private:
  std::map<uint16_t, std::string> byAddress_;
  std::map<std::string, uint16_t, std::less<>> byName_;
};

}  // namespace orvo
