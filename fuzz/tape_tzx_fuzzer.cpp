// ParseTZX on arbitrary bytes: no crash and no read outside the file; every block's data lies
// inside the tape's own copy of the file and the block list is consistent. The tape is then played
// for a bounded number of pulses, which walks the player through whatever the blocks say
// (generalized data tables, jumps, loops, calls).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "formats/tape_parsers.h"
#include "fuzz_machine.h"
#include "tape/tape_player.h"

using namespace orvo;

namespace {

void RequireConsistent(const TapeImage& tape) {
  const uint8_t* begin = tape.bytes.data();
  const uint8_t* end = begin + tape.bytes.size();
  const TapeBlock* previous = nullptr;
  for (size_t i = 0; i < tape.blocks.size(); ++i) {
    const TapeBlock& b = *tape.blocks[i];
    if (b.index != i || b.previous != previous) std::abort();
    if (previous && previous->next != &b) std::abort();
    // Data lie in the file, or (an unpacked recording) in the block's own buffer.
    const bool owned = !b.owned.empty() && b.data == b.owned.data() && b.length == b.owned.size();
    if (b.data && !owned && (b.data < begin || b.data + b.length > end)) std::abort();
    if (!b.data && b.length != 0 && b.id != kBlockGeneralized) std::abort();
    if (b.gdb) {
      const GeneralizedData& g = *b.gdb;
      if (g.pilot.flags.size() * g.pilot.maxPulses != g.pilot.pulses.size()) std::abort();
      if (g.data.flags.size() * g.data.maxPulses != g.data.pulses.size()) std::abort();
    }
    previous = &b;
  }
  if (tape.last != previous || (tape.first == nullptr) != tape.blocks.empty()) std::abort();
  if (previous && previous->next != nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<MachineState> m = std::make_unique<MachineState>();
  m->tape.image = std::make_unique<TapeImage>();
  ParseTZX(*m->tape.image, std::span<const uint8_t>(data, size));
  RequireConsistent(*m->tape.image);

  // Play it: each round lets the pulse in progress run out.
  m->TapePlaying = 0;
  m->MachineModel = size > 10 && (data[10] & 1) ? kModel128K : kModel48K;
  m->settings.TapeWobble = size > 11 && (data[11] & 1);
  EnterTapeBlock(*m, m->tape.image->first);
  StartTape(*m);
  for (int round = 0; round < 20000 && m->TapePlaying; ++round) {
    TapeState& t = m->tape;
    RunTape(*m, t.Pulse > t.Elapsed ? t.Pulse - t.Elapsed : 0);
    if (t.EarBit != 0 && t.EarBit != kEarHigh) std::abort();
  }
  ClearTapePlayer(*m);
  m->tape.image.reset();
  return 0;
}
