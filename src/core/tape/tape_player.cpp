// The deck's transport: start, stop and the play command, and what is left when a tape goes.
#include "tape/tape_player.h"

#include "formats/tape_image.h"
#include "tape/tape_player_internal.h"

namespace orvo {

namespace tape_detail {

namespace {

// The level a stopped deck starts at: low, except inside a recording (a direct recording or a
// CSW block), whose every sample says its level: starting there keeps it, from its first sample
// on, so the first edge comes where the recording has it.
uint8_t RecordedLevel(TapeState& t) {
  const TapeBlock& b = *t.image->current;
  if (t.State != kTapeData || t.DataLength == 0) return 0;
  if (b.id == kBlockDirect) {
    SetLevelFromBit(t);
    return t.EarBit;
  }
  if (b.id == kBlockCsw) {
    const uint8_t first = b.p[1] ? kEarHigh : 0;
    return (t.PulseCount & 1) ? static_cast<uint8_t>(first ^ kEarHigh) : first;
  }
  return 0;
}

}  // namespace

void StartPlaying(MachineState& m) {
  TapeState& t = m.tape;
  // A deck already playing goes on as it is: the tape does not move twice for one instruction.
  if (!t.image || !t.image->current || t.LoopStopped || m.TapePlaying) return;
  m.TapePlaying = 1;
  t.EarBit = RecordedLevel(t);
  t.InstantLevel = t.EarBit;
  t.AutoCount = 0;
  t.Elapsed = 0;
  t.IdleSteps = 0;
  if (m.settings.Fastload) BeginFastLoad(m);
  UpdateTapeTraps(m);
  RunTape(m, m.InstructionTStates);
}

}  // namespace tape_detail

void StartTape(MachineState& m) {
  tape_detail::StartPlaying(m);
}

void StopTape(MachineState& m) {
  TapeState& t = m.tape;
  if (!m.TapePlaying) return;
  m.TapePlaying = 0;
  t.EarBit = 0;
  t.AutoCount = 0;
  if (t.FastLoading) tape_detail::EndFastLoad(m);
  UpdateTapeTraps(m);
}

void ToggleTape(MachineState& m) {
  if (m.TapePlaying) {
    StopTape(m);
  } else {
    m.tape.LoopStopped = 0;  // the user asks for the tape again
    StartTape(m);
  }
}

void ClearTapePlayer(MachineState& m) {
  StopTape(m);
  TapeState& t = m.tape;
  if (t.image) t.image->current = nullptr;
  t.EarBit = 0;
  t.Elapsed = t.Pulse = 0;
  t.State = kTapePilot;
  t.Data = nullptr;
  t.DataLength = t.Position = t.PulseCount = 0;
  t.PulseList = nullptr;
  t.PulseListLength = 0;
  t.LoopCounter = 0;
  t.LoopStart = nullptr;
  t.CallsLeft = t.CallIndex = 0;
  t.ReturnBlock = nullptr;
  t.Holding = false;
  t.HoldNext = nullptr;
  t.IdleSteps = 0;
  t.InSymbol = false;
  t.FirstPulse = true;
  t.Progress = 0;
}

bool TapeAtEnd(const MachineState& m) {
  if (!m.tape.image || m.TapePlaying) return false;
  const TapeBlock* b = m.tape.image->current;
  if (!b) return true;
  if (b != m.tape.image->last) return false;
  switch (b->id) {
    case kBlockStandard:
    case kBlockTurbo:
    case kBlockPureData:
    case kBlockDirect:
    case kBlockCsw:
    case kBlockGeneralized:
      return m.tape.State == kTapePauseState || m.tape.State == kTapeAfterData;
    case kBlockPureTone:
    case kBlockPulses: return false;
    default: return true;
  }
}

}  // namespace orvo
