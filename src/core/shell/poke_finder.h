#pragma once
// The POKE finder: lists the addresses that hold a counter's value, then narrows the list each
// time the counter changes in the game, until one address is left.
#include <cstdint>
#include <string_view>
#include <vector>

#include "shell/messages.h"

namespace orvo {

struct MachineState;

struct PokeCandidate {
  uint32_t address;
  uint8_t value;  // the byte the address held at the last press
};

// How "Next" narrows the list: the counter went down by one (the classic lives search), up by
// one, stayed as it was, or changed in any way.
enum class PokeNext : uint8_t { Decreased, Increased, Unchanged, Changed };

class PokeSearch {
 public:
  // Parses the three entries and searches start <= address < end, reading memory as the Z80
  // sees it now (ROM below 0x4000, the bank paged at 0xC000). Returns kMsgNone, or the message
  // for a bad entry (140 for an address, 136 for a value) with nothing searched.
  MessageId Search(const MachineState& m, std::string_view value, std::string_view start,
                   std::string_view end);
  // Keeps the candidates whose byte now matches `how`, in their order; memory is read with the
  // paging of this moment.
  void Next(const MachineState& m, PokeNext how = PokeNext::Decreased);

  bool searched() const { return searched_; }
  uint8_t value() const { return value_; }   // the value the last "Decreased" press expected
  uint32_t count() const { return count_; }  // how many candidates the search found
  const std::vector<PokeCandidate>& candidates() const { return candidates_; }

 private:
  std::vector<PokeCandidate> candidates_;
  uint32_t count_ = 0;
  uint32_t start_ = 0;
  uint32_t end_ = 0;
  uint8_t value_ = 0;
  bool searched_ = false;
};

}  // namespace orvo
