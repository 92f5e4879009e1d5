// The recording tapes on arbitrary bytes: CSW, WAV and PZX each parse the input (every parser
// gets every input: each recognises its own signature). A tape that is accepted holds only
// recording blocks whose pulse stream decodes whole, and is played for a bounded number of
// pulses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "formats/csw_format.h"
#include "formats/pulse_tapes.h"
#include "tape/tape_player.h"

using namespace orvo;

namespace {

void Play(MachineState& m) {
  for (const auto& b : m.tape.image->blocks) {
    uint32_t pulses = 0;
    if (b->id == kBlockCsw &&
        (!CountCswPulses({b->data, b->length}, pulses) || pulses != b->p[6])) {
      std::abort();
    }
  }
  m.TapePlaying = 0;
  EnterTapeBlock(m, m.tape.image->first);
  StartTape(m);
  for (int round = 0; round < 20000 && m.TapePlaying; ++round) {
    TapeState& t = m.tape;
    RunTape(m, t.Pulse > t.Elapsed ? t.Pulse - t.Elapsed : 0);
    if (t.EarBit != 0 && t.EarBit != kEarHigh) std::abort();
  }
  ClearTapePlayer(m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<MachineState> m = std::make_unique<MachineState>();
  const std::span<const uint8_t> bytes(data, size);
  for (int kind = 0; kind < 3; ++kind) {
    m->tape.image = std::make_unique<TapeImage>();
    TapeImage& tape = *m->tape.image;
    const FormatStatus s = kind == 0   ? ParseCSW(tape, bytes, size > 30 && (data[30] & 1))
                           : kind == 1 ? ParseWAV(tape, bytes, false)
                                       : ParsePZX(tape, bytes);
    if (s.Ok() || !tape.blocks.empty()) Play(*m);
    m->tape.image.reset();
  }
  return 0;
}
