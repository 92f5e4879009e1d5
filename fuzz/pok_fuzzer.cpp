// ParsePok on arbitrary bytes: no crash and no read outside the file. A file it accepts has at
// least one trainer, and a refused one names a line and keeps nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/pok_format.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const PokParseResult pok = ParsePok(std::span<const uint8_t>(data, size));
  if (pok.Ok() && pok.trainers.empty()) std::abort();
  if (!pok.Ok() && !pok.trainers.empty()) std::abort();
  for (const PokTrainer& t : pok.trainers)
    for (const PokEntry& p : t.pokes)
      if (p.value > kPokAskValue || (p.bank > 7 && p.bank != kPokNoBank)) std::abort();
  return 0;
}
