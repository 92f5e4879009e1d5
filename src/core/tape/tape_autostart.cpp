// Automatic start and stop: with "Autoload" on, the deck follows the program's polling of the EAR
// bit, as a loader reads the ULA port in a tight loop while it waits for the tape.
#include "tape/tape_player.h"

namespace orvo {

void TapeAutoStartStop(MachineState& m) {
  TapeState& t = m.tape;
  if (!t.image) return;
  const uint8_t b = m.cpu.BC.b.h;
  const uint8_t d = static_cast<uint8_t>(b - t.LastB);
  const int32_t now = static_cast<int32_t>(m.FrameTState);
  const int64_t since = static_cast<int64_t>(now) - t.LastReadTime;
  t.LastB = b;
  t.LastReadTime = now;
  if (!m.settings.Autoload) {
    t.AutoCount = 0;
    return;
  }
  if (m.TapePlaying) {
    // A loader polls the EAR bit in a tight loop that counts B by one (the ROM counts up, many
    // custom loaders count down): anything else for three reads in a row means it has finished.
    if (since > 1000 || (d != 0 && d != 1 && d != 0xFF)) {
      if (++t.AutoCount > 2) StopTape(m);
    } else {
      t.AutoCount = 0;
    }
  } else {
    if (since <= 500 && d == 1) {
      if (++t.AutoCount > 9) StartTape(m);
    } else {
      t.AutoCount = 0;
    }
  }
}

void AgeTapeReadTime(MachineState& m, uint32_t frameLength) {
  TapeState& t = m.tape;
  // The first frame in which the loader did not read the tape, if the tape did not sound in it
  // either, is a gap between loads: the loader has finished with the tape for now (it is unpacking
  // what it loaded) and the tape is in its pause before the next block. The deck stops, as it does
  // when the reads turn irregular, and starts again when the polling comes back, so the next leader
  // waits for the loader. A tape that goes on sounding while the loader does not read is in the
  // middle of a loader's wait (the ROM waits a second once its first edge has come, to let the tape
  // settle); a deck runs on through it, or a recording's noise or leader would be held back until
  // the loader returns, and the tape would never get past it.
  const bool sounded = t.EdgeCount != t.EdgesAtFrameStart;
  t.EdgesAtFrameStart = t.EdgeCount;
  if (m.settings.Autoload && m.TapePlaying && t.image && !sounded && t.LastReadTime < 0 &&
      t.LastReadTime > -100000) {
    StopTape(m);
  }
  if (t.LastReadTime > -100000) t.LastReadTime -= static_cast<int32_t>(frameLength);
}

void ResetTapeAutoStart(MachineState& m) {
  m.tape.LastReadTime = -100000;
  m.tape.LastB = 0;
  m.tape.AutoCount = 0;
}

}  // namespace orvo
