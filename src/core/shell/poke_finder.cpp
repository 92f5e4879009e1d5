#include "shell/poke_finder.h"

#include "machine/machine_state.h"
#include "tools/parse_number.h"

namespace orvo {

MessageId PokeSearch::Search(const MachineState& m, std::string_view value, std::string_view start,
                             std::string_view end) {
  const uint32_t first = ParseNumber(start);
  if (first > 0xFFFF) return kMsgPokeFindAddress;
  const uint32_t after = ParseNumber(end);
  if (after > 0xFFFF) return kMsgPokeFindAddress;
  const uint32_t wanted = ParseNumber(value);
  if (wanted > 0xFF) return kMsgPokeValue;
  candidates_.clear();
  // The end address itself is not searched; an end at or below the start finds nothing.
  for (uint32_t a = first; a < after; ++a)
    if (m.Peek(static_cast<uint16_t>(a)) == wanted)
      candidates_.push_back({a, static_cast<uint8_t>(wanted)});
  count_ = static_cast<uint32_t>(candidates_.size());
  start_ = first;
  end_ = after;
  value_ = static_cast<uint8_t>(wanted);
  searched_ = true;
  return kMsgNone;
}

void PokeSearch::Next(const MachineState& m, PokeNext how) {
  if (how == PokeNext::Decreased) value_ = static_cast<uint8_t>(value_ - 1);
  std::erase_if(candidates_, [&](PokeCandidate& c) {
    const uint8_t now = m.Peek(static_cast<uint16_t>(c.address));
    bool keep = false;
    switch (how) {
      case PokeNext::Decreased: keep = now == static_cast<uint8_t>(c.value - 1); break;
      case PokeNext::Increased: keep = now == static_cast<uint8_t>(c.value + 1); break;
      case PokeNext::Unchanged: keep = now == c.value; break;
      case PokeNext::Changed: keep = now != c.value; break;
    }
    c.value = now;
    return !keep;
  });
}

}  // namespace orvo
