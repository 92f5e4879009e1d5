// The tape deck: inserting and ejecting tapes.
#include "tape/tape_deck.h"

#include "formats/tape_image.h"
#include "machine/machine_state.h"
#include "tape/tape_player.h"

namespace orvo {

namespace {

bool EndsWith(const std::string& name, const char* ext) {
  const std::string e(ext);
  return name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

TapeKind TapeKindOf(const std::string& name) {
  if (EndsWith(name, "tzx") || EndsWith(name, "TZX")) return TapeKind::Tzx;
  if (EndsWith(name, "tap") || EndsWith(name, "TAP")) return TapeKind::Tap;
  if (EndsWith(name, "csw") || EndsWith(name, "CSW")) return TapeKind::Csw;
  if (EndsWith(name, "wav") || EndsWith(name, "WAV")) return TapeKind::Wav;
  if (EndsWith(name, "pzx") || EndsWith(name, "PZX")) return TapeKind::Pzx;
  return TapeKind::None;
}

const char* TapeBootSnapshotName(uint8_t model) {
  switch (model) {
    case kModel128K: return "tape_128.z80";
    case kModelPlus2: return "tape_plus2.z80";
    case kModelPlus2A:
    case kModelPlus3: return "tape_plus3.z80";
    default: return "tape_48.z80";
  }
}

void InsertTape(MachineState& m, std::unique_ptr<TapeImage> image) {
  m.tape.image = std::move(image);
  m.tape.LoopStopped = 0;
  EnterTapeBlock(m, m.tape.image->first);
  UpdateTapeTraps(m);
  if (m.settings.Autoload) ResetTapeAutoStart(m);
}

void EjectTape(MachineState& m) {
  ClearTapePlayer(m);
  m.tape.image.reset();
  UpdateTapeTraps(m);
}

}  // namespace orvo
