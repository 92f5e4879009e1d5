// Pulse generation: how each kind of data block turns its bytes into pulses, the tape wobble, and
// the loop that plays the pulses due. Each block is a square wave: the level toggles at the end of
// every pulse, so a block of n pulses makes n edges, the last one closing its final pulse. Lengths
// are T-states of the emulated CPU; pauses are counted in milliseconds of 3500 T-states.
#include <cmath>

#include "formats/csw_format.h"
#include "tape/tape_player.h"
#include "tape/tape_player_internal.h"

namespace orvo {

namespace {

// Steps in a row that take no time before the player gives up: a tape whose control blocks jump
// in a circle, or whose pulses are all of length 0, would otherwise never let the CPU run again.
constexpr uint32_t kMaxIdleSteps = 1u << 20;
// Empty symbols a generalized data block may skip in one step, for the same reason.
constexpr uint32_t kMaxEmptySymbols = 1u << 20;

uint32_t BitPulse(const TapeState& t, uint8_t byte) {
  return (byte & t.BitMask) ? t.OnePulse : t.ZeroPulse;
}

}  // namespace

namespace tape_detail {

void Toggle(TapeState& t) {
  t.EarBit ^= kEarHigh;
}

// Loads the masks for the byte at Position of a data block.
void StartByte(TapeState& t) {
  t.BitMask = 0x80;
  t.EndMask = (t.Position + 1 == t.DataLength) ? t.LastByteMask : 1;
  t.PulseCount = 2;
}

}  // namespace tape_detail

namespace {

using namespace tape_detail;

// After the last pulse of a data block: its pause, or the next block.
void EndOfData(MachineState& m) {
  TapeState& t = m.tape;
  if (t.PauseLeft == 0) {
    t.State = kTapePilot;
    NextBlock(m);
  } else {
    --t.PauseLeft;
    t.State = kTapePauseState;
    t.Pulse = kTStatesPerMillisecond;
  }
}

// A byte of a standard, turbo or pure data block has played its last bit.
void ByteDone(MachineState& m) {
  TapeState& t = m.tape;
  ++t.Position;
  t.Progress = t.Position;
  if (t.Position < t.DataLength) {
    StartByte(t);
    t.Pulse = BitPulse(t, t.Data[t.Position]);
  } else {
    EndOfData(m);
  }
}

}  // namespace

namespace tape_detail {

// Standard (0x10), turbo (0x11) and pure data (0x14) blocks.
void StepDataBlock(MachineState& m, uint8_t id) {
  TapeState& t = m.tape;
  switch (t.State) {
    case kTapePilot:
      Toggle(t);
      ++t.PulseCount;
      t.Pulse = t.PilotPulse;
      if (t.PulseCount >= t.PilotCount) {
        t.State = kTapeSync1;
        t.Pulse = t.Sync1;
      }
      break;
    case kTapeSync1:
      Toggle(t);
      t.State = kTapeSync2;
      t.Pulse = t.Sync2;
      break;
    case kTapeSync2:
      Toggle(t);
      t.State = kTapeData;
      t.Position = 0;
      t.Progress = 0;
      if (t.DataLength == 0) {
        EndOfData(m);
        break;
      }
      StartByte(t);
      t.Pulse = BitPulse(t, t.Data[0]);
      break;
    case kTapeData:
      if (t.Position >= t.DataLength) {  // an empty pure data block
        EndOfData(m);
        break;
      }
      Toggle(t);
      if (--t.PulseCount == 0) {
        if (t.BitMask <= t.EndMask) {
          ByteDone(m);
        } else {
          t.BitMask >>= 1;
          t.PulseCount = 2;
          t.Pulse = BitPulse(t, t.Data[t.Position]);
        }
      } else {
        t.Pulse = BitPulse(t, t.Data[t.Position]);
      }
      break;
    case kTapePauseState:
    default:
      if (id != kBlockStandard) t.EarBit = 0;
      if (t.PauseLeft == 0) {
        t.State = kTapePilot;
        NextBlock(m);
      } else {
        --t.PauseLeft;
        t.Pulse = kTStatesPerMillisecond;
      }
      break;
  }
}

void SetLevelFromBit(TapeState& t) {
  t.EarBit = (t.Data[t.Position] & t.BitMask) ? kEarHigh : 0;
}

// Direct recording (0x15): each sample is one bit of the data, most significant first.
void EnterRecording(TapeState& t, const TapeBlock& b) {
  t.SampleRate = b.p[0];
  t.PauseLeft = b.p[2];
  t.Position = 0;
  t.SampleCount = 0;
  t.PulseCount = 0;
  t.EarBit = b.p[1] ? kEarHigh : 0;
  uint32_t samples = 0;
  size_t pos = 0;
  if (NextCswPulse({t.Data, t.DataLength}, pos, samples)) {
    t.Position = static_cast<uint32_t>(pos);
    t.SampleCount = samples;
    t.Pulse = static_cast<uint32_t>(CswSampleTime(samples, t.SampleRate));
  } else {
    t.Pulse = 0;
  }
}

void StepRecording(MachineState& m) {
  TapeState& t = m.tape;
  if (t.State != kTapeData) {
    StepDirect(m);  // the pause after the recording plays as a direct recording's
    return;
  }
  size_t pos = t.Position;
  uint32_t samples = 0;
  if (!NextCswPulse({t.Data, t.DataLength}, pos, samples)) {
    // The last pulse has ended: its closing edge, then the pause (if any).
    Toggle(t);
    if (t.PauseLeft == 0) {
      NextBlock(m);
    } else {
      t.State = kTapeAfterData;
      t.Pulse = kTStatesPerMillisecond;
    }
    return;
  }
  Toggle(t);
  ++t.PulseCount;
  t.Position = static_cast<uint32_t>(pos);
  t.Progress = t.Position;
  // Pulse lengths are differences of exact times from the start of the recording: the rounding
  // of one pulse never adds up over the tape.
  const uint64_t before = CswSampleTime(t.SampleCount, t.SampleRate);
  t.SampleCount += samples;
  t.Pulse = static_cast<uint32_t>(CswSampleTime(t.SampleCount, t.SampleRate) - before);
}

void StepDirect(MachineState& m) {
  TapeState& t = m.tape;
  switch (t.State) {
    case kTapeData:
      if (t.Position < t.DataLength && t.BitMask > t.EndMask) {
        t.BitMask >>= 1;
        SetLevelFromBit(t);
        t.Pulse = t.OnePulse;
        break;
      }
      if (t.Position < t.DataLength) {
        ++t.Position;
        t.Progress = t.Position;
      }
      if (t.Position < t.DataLength) {
        t.BitMask = 0x80;
        t.EndMask = (t.Position + 1 == t.DataLength) ? t.LastByteMask : 1;
        SetLevelFromBit(t);
        t.Pulse = t.OnePulse;
      } else if (t.PauseLeft == 0) {
        NextBlock(m);
      } else {
        // The last sample's level holds for a millisecond, then the pause is silent (low).
        t.State = kTapeAfterData;
        t.Pulse = kTStatesPerMillisecond;
      }
      break;
    case kTapeAfterData:
      --t.PauseLeft;
      t.EarBit = 0;
      if (t.PauseLeft == 0) {
        NextBlock(m);
      } else {
        t.State = kTapePauseState;
        t.Pulse = t.PauseLeft * kTStatesPerMillisecond;
      }
      break;
    default: NextBlock(m); break;
  }
}

// ---- generalized data (0x19) ----
//
// A symbol is a row of up to NPP (pilot/sync) or NPD (data) pulses; a 0 ends a shorter row. The
// first pulse of a symbol starts by the symbol's rule (an edge, no edge, force low, force high);
// every later pulse starts with an edge. In this player an edge that starts a pulse is made when
// the pulse before it ends, so each step finds the next pulse and applies its starting rule.

}  // namespace tape_detail

namespace {

using namespace tape_detail;

const GeneralizedData::Alphabet& CurrentAlphabet(const TapeState& t, const GeneralizedData& g) {
  return t.State == kTapePilot ? g.pilot : g.data;
}

}  // namespace

namespace tape_detail {

uint32_t ReadDataSymbol(const TapeState& t, const GeneralizedData& g) {
  const uint32_t nb = g.bitsPerSymbol;
  if (nb == 0) return 0;
  const uint64_t first = static_cast<uint64_t>(t.Position) * nb;
  uint32_t symbol = 0;
  for (uint32_t k = 0; k < nb; ++k) {
    const uint64_t bit = first + k;
    const uint64_t byte = bit >> 3;
    const uint32_t value = byte < t.DataLength ? (t.Data[byte] >> (7 - (bit & 7))) & 1 : 0;
    symbol = (symbol << 1) | value;
  }
  return symbol;
}

}  // namespace tape_detail

namespace {

// Moves to the next symbol of the block. Returns false at the end of the symbols.
bool NextSymbol(TapeState& t, const GeneralizedData& g) {
  if (t.State == kTapePilot) {
    if (t.InSymbol) {
      ++t.RunRepeat;
    } else {
      t.RunIndex = 0;
      t.RunRepeat = 0;
    }
    while (t.RunIndex < g.runs.size() && t.RunRepeat >= g.runs[t.RunIndex].second) {
      ++t.RunIndex;
      t.RunRepeat = 0;
    }
    if (t.RunIndex < g.runs.size()) {
      t.Symbol = g.runs[t.RunIndex].first;
      t.InSymbol = true;
      return true;
    }
    // Pilot and sync are over: the data symbols follow.
    t.State = kTapeData;
    t.InSymbol = false;
  }
  if (t.InSymbol) {
    ++t.Position;
  } else {
    t.Position = 0;
  }
  t.Progress = (t.Position * g.bitsPerSymbol) >> 3;
  if (t.Position >= g.dataSymbols) return false;
  t.Symbol = ReadDataSymbol(t, g);
  t.InSymbol = true;
  return true;
}

// Finds the pulse that starts now: its length and the rule of its start (-1 an edge inside a
// symbol, else the symbol's flags). Returns false when the block has no pulses left.
bool NextGdbPulse(TapeState& t, const GeneralizedData& g, uint32_t& length, int& rule) {
  if (t.InSymbol) {
    const GeneralizedData::Alphabet& a = CurrentAlphabet(t, g);
    const uint32_t next = t.SymbolPulse + 1;
    if (t.Symbol < a.symbols && next < a.maxPulses) {
      const uint16_t len = a.pulses[static_cast<size_t>(t.Symbol) * a.maxPulses + next];
      if (len != 0) {
        t.SymbolPulse = next;
        length = len;
        rule = -1;
        return true;
      }
    }
  }
  for (uint32_t empty = 0; empty < kMaxEmptySymbols; ++empty) {
    if (!NextSymbol(t, g)) return false;
    const GeneralizedData::Alphabet& a = CurrentAlphabet(t, g);
    t.SymbolPulse = 0;
    if (t.Symbol >= a.symbols || a.maxPulses == 0) continue;  // not in the table: nothing to play
    const uint8_t flags = a.flags[t.Symbol];
    const uint16_t len = a.pulses[static_cast<size_t>(t.Symbol) * a.maxPulses];
    if (len == 0) {
      // A symbol without pulses can still set the level.
      if (flags == 2) t.EarBit = 0;
      if (flags == 3) t.EarBit = kEarHigh;
      continue;
    }
    length = len;
    rule = flags;
    return true;
  }
  return false;
}

}  // namespace

namespace tape_detail {

void StepGeneralized(MachineState& m, const TapeBlock& b) {
  TapeState& t = m.tape;
  if (t.State == kTapePauseState) {
    t.EarBit = 0;
    if (t.PauseLeft == 0) {
      NextBlock(m);
    } else {
      --t.PauseLeft;
      t.Pulse = kTStatesPerMillisecond;
    }
    return;
  }
  uint32_t length = 0;
  int rule = 0;
  if (b.gdb && NextGdbPulse(t, *b.gdb, length, rule)) {
    if (rule == 2) {
      t.EarBit = 0;
    } else if (rule == 3) {
      t.EarBit = kEarHigh;
    } else if (rule == -1 || (rule == 0 && !t.FirstPulse)) {
      Toggle(t);
    }
    t.FirstPulse = false;
    t.Pulse = length;
    return;
  }
  // The block's last pulse ends with an edge.
  if (!t.FirstPulse) Toggle(t);
  t.FirstPulse = true;
  if (t.PauseLeft == 0) {
    NextBlock(m);
  } else {
    --t.PauseLeft;
    t.State = kTapePauseState;
    t.Pulse = kTStatesPerMillisecond;
  }
}

}  // namespace tape_detail

namespace {

// Tape wobble: a slow sine of random amplitude with random jitter added to each pulse, like a
// worn tape on a stretched belt.
uint32_t NextRandom(TapeState& t) {
  uint64_t x = t.RandomState;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  t.RandomState = x;
  return static_cast<uint32_t>((x * 0x2545F4914F6CDD1Dull) >> 33);
}

void Wobble(MachineState& m) {
  TapeState& t = m.tape;
  if (++t.WobbleCounter >= 10000) {
    t.WobbleCounter = 0;
    if (m.clock) t.RandomState ^= m.clock->NowNanoseconds() | 1;
    t.WobbleAmplitude = static_cast<int32_t>(NextRandom(t) % 20) + 5;
  }
  if (t.Pulse == 0) return;  // an immediate step stays immediate
  constexpr double kDegree = 3.14159265358979323846 / 180.0;
  const int32_t jitter =
      static_cast<int32_t>(NextRandom(t) % 100) +
      static_cast<int32_t>(std::ceil(std::sin(static_cast<double>(t.WobbleCounter / 27) * kDegree) *
                                     t.WobbleAmplitude)) -
      50;
  const int64_t wobbled = static_cast<int64_t>(t.Pulse) + jitter;
  if (wobbled > 0) t.Pulse = static_cast<uint32_t>(wobbled);
}

}  // namespace

void RunTapePulses(MachineState& m) {
  TapeState& t = m.tape;
  if (!t.image || !t.image->current) {
    StopTape(m);
    return;
  }
  const bool wobble = m.settings.TapeWobble != 0;
  while (m.TapePlaying && t.Elapsed >= t.Pulse) {
    if (t.Pulse == 0) {
      if (++t.IdleSteps > kMaxIdleSteps) {
        t.LoopStopped = 1;
        StopTape(m);
        break;
      }
    } else {
      t.IdleSteps = 0;
      t.InstantLevel = t.EarBit;
    }
    t.Elapsed -= t.Pulse;
    const uint8_t level = t.EarBit;
    StepBlock(m);
    if (t.EarBit != level) ++t.EdgeCount;
    if (!t.image->current) break;
    // A direct recording is already a sampled signal: jitter of this size would swamp its
    // samples.
    if (wobble && t.image->current->id != kBlockDirect && t.image->current->id != kBlockCsw) {
      Wobble(m);
    }
  }
}

}  // namespace orvo
