// The pulse player. Each block is a square wave: the level toggles at the end of every pulse, so
// a block of n pulses makes n edges, the last one closing its final pulse. Lengths are T-states
// of the emulated CPU; pauses are counted in milliseconds of 3500 T-states.
#include "tape/tape_player.h"

#include <cmath>

#include "shell/emulator.h"
#include "sound/sound_output.h"
#include "video/ula.h"

namespace orvo {

namespace {

// Steps in a row that take no time before the player gives up: a tape whose control blocks jump
// in a circle, or whose pulses are all of length 0, would otherwise never let the CPU run again.
constexpr uint32_t kMaxIdleSteps = 1u << 20;
// Empty symbols a generalized data block may skip in one step, for the same reason.
constexpr uint32_t kMaxEmptySymbols = 1u << 20;

void Toggle(TapeState& t) {
  t.EarBit ^= kEarHigh;
}

uint32_t BitPulse(const TapeState& t, uint8_t byte) {
  return (byte & t.BitMask) ? t.OnePulse : t.ZeroPulse;
}

void NextBlock(MachineState& m) {
  TapeBlock* current = m.tape.image ? m.tape.image->current : nullptr;
  EnterTapeBlock(m, current ? current->next : nullptr);
}

TapeBlock* BlockAt(const TapeImage& image, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(image.blocks.size())) return nullptr;
  return image.blocks[static_cast<size_t>(index)].get();
}

// Loads the masks for the byte at Position of a data block.
void StartByte(TapeState& t) {
  t.BitMask = 0x80;
  t.EndMask = (t.Position + 1 == t.DataLength) ? t.LastByteMask : 1;
  t.PulseCount = 2;
}

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

const GeneralizedData::Alphabet& CurrentAlphabet(const TapeState& t, const GeneralizedData& g) {
  return t.State == kTapePilot ? g.pilot : g.data;
}

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

// ---- flow control ----

void StepJump(MachineState& m, const TapeBlock& b) {
  const int32_t offset = m.tape.JumpOffset;
  if (offset == 0) {  // a jump to itself would hold the tape for ever: go on instead
    NextBlock(m);
    return;
  }
  EnterTapeBlock(m, BlockAt(*m.tape.image, static_cast<int64_t>(b.index) + offset));
}

void StepLoopStart(MachineState& m, TapeBlock& b) {
  TapeState& t = m.tape;
  t.LoopCounter = b.p[0];
  t.LoopStart = b.next;
  NextBlock(m);
}

void StepLoopEnd(MachineState& m) {
  TapeState& t = m.tape;
  if (t.LoopStart && t.LoopCounter > 1) {
    --t.LoopCounter;
    EnterTapeBlock(m, t.LoopStart);
  } else {
    t.LoopCounter = 0;
    t.LoopStart = nullptr;
    NextBlock(m);
  }
}

void StepCall(MachineState& m, TapeBlock& b) {
  TapeState& t = m.tape;
  if (b.calls.empty()) {
    NextBlock(m);
    return;
  }
  t.ReturnBlock = &b;
  t.CallsLeft = static_cast<uint32_t>(b.calls.size());
  t.CallIndex = 0;
  EnterTapeBlock(m, BlockAt(*t.image, static_cast<int64_t>(b.index) + b.calls[0]));
}

void StepReturn(MachineState& m) {
  TapeState& t = m.tape;
  TapeBlock* ret = t.ReturnBlock;
  if (!ret) {  // a return without a call
    NextBlock(m);
    return;
  }
  if (t.CallsLeft > 0) --t.CallsLeft;
  if (t.CallsLeft > 0 && t.CallIndex + 1 < ret->calls.size()) {
    ++t.CallIndex;
    EnterTapeBlock(m,
                   BlockAt(*t.image, static_cast<int64_t>(ret->index) + ret->calls[t.CallIndex]));
  } else {
    t.ReturnBlock = nullptr;
    t.CallsLeft = 0;
    EnterTapeBlock(m, ret->next);
  }
}

// One step of the current block: the pulse in progress has ended; set up the next.
void StepBlock(MachineState& m) {
  TapeState& t = m.tape;
  if (t.Holding) {
    t.Holding = false;
    EnterTapeBlock(m, t.HoldNext);
    return;
  }
  TapeBlock* b = t.image->current;
  switch (b->id) {
    case kBlockStandard:
    case kBlockTurbo:
    case kBlockPureData: StepDataBlock(m, b->id); break;
    case kBlockPureTone:
      if (t.ToneCount == 0) {
        NextBlock(m);
        break;
      }
      Toggle(t);
      if (++t.PulseCount >= t.ToneCount) {
        NextBlock(m);
      } else {
        t.Pulse = t.TonePulse;
      }
      break;
    case kBlockPulses:
      if (t.PulseListLength == 0) {
        NextBlock(m);
        break;
      }
      Toggle(t);
      if (t.PulseCount >= t.PulseListLength) {
        NextBlock(m);
      } else {
        t.Pulse = t.PulseList[t.PulseCount++];
      }
      break;
    case kBlockDirect: StepDirect(m); break;
    case kBlockGeneralized: StepGeneralized(m, *b); break;
    case kBlockJump: StepJump(m, *b); break;
    case kBlockLoopStart: StepLoopStart(m, *b); break;
    case kBlockLoopEnd: StepLoopEnd(m); break;
    case kBlockCallSequence: StepCall(m, *b); break;
    case kBlockReturn: StepReturn(m); break;
    case kBlockSignalLevel:
      t.EarBit = b->p[0] ? kEarHigh : 0;
      NextBlock(m);
      break;
    default:  // pauses (their pulse was the whole pause), information and unknown blocks
      NextBlock(m);
      break;
  }
}

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
    if (m.emulator) {
      t.RandomState ^= m.emulator->host.GetClock().NowNanoseconds() | 1;
    }
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

TapeBlock* EnterTapeBlock(MachineState& m, TapeBlock* block) {
  TapeState& t = m.tape;
  if (!t.image) return nullptr;
  t.Holding = false;
  const bool stops =
      !block || (block->id == kBlockPause && block->p[0] == 0) ||
      (block->id == kBlockStop48 && (m.MachineModel == kModel16K || m.MachineModel == kModel48K));
  if (stops && m.TapePlaying && t.EarBit != t.InstantLevel) {
    // The tape is about to stop at the instant of an edge: hold the new level for a moment first.
    t.Holding = true;
    t.HoldNext = block;
    t.Pulse = kTStatesPerMillisecond;
    return block;
  }
  t.image->current = block;
  if (!block) {
    StopTape(m);
    return nullptr;
  }
  const TapeBlock& b = *block;
  t.State = b.state;
  t.Pulse = b.pulse;
  t.Data = b.data;
  t.DataLength = b.length;
  t.Position = b.position;
  t.Progress = 0;
  t.PulseCount = 0;
  switch (b.id) {
    case kBlockStandard:
      t.PilotPulse = b.p[1];
      t.PilotCount = b.p[2];
      t.Sync1 = kStandardSync1;
      t.Sync2 = kStandardSync2;
      t.ZeroPulse = kStandardZeroBit;
      t.OnePulse = kStandardOneBit;
      t.PauseLeft = b.p[5];
      t.UsedBits = 8;
      t.LastByteMask = 1;
      break;
    case kBlockTurbo:
      t.UsedBits = static_cast<uint8_t>(b.p[0]);
      t.LastByteMask = LastByteEndMask(b.p[0]);
      t.PilotPulse = b.p[1];
      t.PilotCount = b.p[2];
      t.Sync1 = b.p[3];
      t.Sync2 = b.p[4];
      t.ZeroPulse = b.p[5];
      t.OnePulse = b.p[6];
      t.PauseLeft = b.p[7];
      if (t.PilotCount == 0) {  // no leader: the block opens with its sync pulses
        t.State = kTapeSync1;
        t.Pulse = t.Sync1;
      }
      break;
    case kBlockPureTone:
      t.TonePulse = b.p[0];
      t.ToneCount = b.p[1];
      if (t.ToneCount == 0) t.Pulse = 0;  // an empty tone takes no time
      break;
    case kBlockPulses:
      t.PulseList = b.pulses.data();
      t.PulseListLength = static_cast<uint32_t>(b.pulses.size());
      t.PulseCount = 1;
      break;
    case kBlockPureData:
      t.UsedBits = static_cast<uint8_t>(b.p[0]);
      t.ZeroPulse = b.p[1];
      t.OnePulse = b.p[2];
      t.LastByteMask = static_cast<uint8_t>(b.p[7]);
      t.PauseLeft = b.p[6];
      t.Position = 0;
      if (t.DataLength > 0) StartByte(t);
      break;
    case kBlockDirect:
      t.OnePulse = b.p[2];
      t.PauseLeft = b.p[1];
      t.UsedBits = static_cast<uint8_t>(b.p[0]);
      t.LastByteMask = static_cast<uint8_t>(b.p[3]);
      t.Position = 0;
      t.BitMask = 0x80;
      t.EndMask = t.DataLength == 1 ? t.LastByteMask : 1;
      if (t.DataLength > 0) SetLevelFromBit(t);
      break;
    case kBlockGeneralized:
      t.PauseLeft = b.p[0];
      t.InSymbol = false;
      t.FirstPulse = true;
      t.SymbolPulse = 0;
      t.RunIndex = 0;
      t.RunRepeat = 0;
      t.Position = 0;
      // A block that opens by forcing the level does so at once.
      if (b.gdb) {
        const GeneralizedData::Alphabet& a = b.state == kTapePilot ? b.gdb->pilot : b.gdb->data;
        uint32_t symbol = 0;
        if (b.state == kTapePilot && !b.gdb->runs.empty()) symbol = b.gdb->runs[0].first;
        if (b.state == kTapeData) symbol = ReadDataSymbol(t, *b.gdb);
        if (symbol < a.flags.size() && a.flags[symbol] >= 2) {
          t.EarBit = a.flags[symbol] == 3 ? kEarHigh : 0;
        }
      }
      break;
    case kBlockPause:
      t.Pulse = b.p[0] * kTStatesPerMillisecond;
      if (b.p[0] == 0 && m.TapePlaying) StopTape(m);
      break;
    case kBlockJump: t.JumpOffset = static_cast<int16_t>(b.p[0]); break;
    case kBlockLoopStart: t.LoopCounter = b.p[0]; break;
    case kBlockStop48:
      if (m.TapePlaying && (m.MachineModel == kModel16K || m.MachineModel == kModel48K)) {
        StopTape(m);
      }
      break;
    default: break;
  }
  return block;
}

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
        StopTape(m);
        break;
      }
    } else {
      t.IdleSteps = 0;
      t.InstantLevel = t.EarBit;
    }
    t.Elapsed -= t.Pulse;
    StepBlock(m);
    if (!t.image->current) break;
    // A direct recording is already a sampled signal: jitter of this size would swamp its
    // samples.
    if (wobble && t.image->current->id != kBlockDirect) Wobble(m);
  }
}

namespace {

// Starts the deck whatever the trap setting says.
void StartPlaying(MachineState& m) {
  TapeState& t = m.tape;
  if (!t.image || !t.image->current) return;
  if (!m.TapePlaying) {
    m.TapePlaying = 1;
    t.EarBit = 0;
    t.InstantLevel = 0;
    t.AutoCount = 0;
    t.Elapsed = 0;
    t.IdleSteps = 0;
    if (m.settings.Fastload) {
      // Fast loading: run unthrottled, draw one frame in 11, and let the sound rest.
      t.FastLoading = true;
      t.SavedFullSpeed = m.FullSpeed;
      t.SavedFrameskip = m.settings.Frameskip;
      m.FullSpeed = 1;
      m.settings.Frameskip = 11;
      PauseSound(m, 1);
    }
  }
  RunTape(m, m.InstructionTStates);
}

}  // namespace

void StartTape(MachineState& m) {
  if (m.settings.TapeTraps) return;  // the trap loads standard blocks itself
  StartPlaying(m);
}

void StopTape(MachineState& m) {
  TapeState& t = m.tape;
  if (!m.TapePlaying) return;
  m.TapePlaying = 0;
  t.EarBit = 0;
  t.AutoCount = 0;
  if (t.FastLoading) {
    t.FastLoading = false;
    m.FullSpeed = t.SavedFullSpeed;
    m.settings.Frameskip = t.SavedFrameskip;
    PauseSound(m, 0);
  }
}

void ToggleTape(MachineState& m) {
  if (m.TapePlaying) {
    StopTape(m);
  } else {
    StartTape(m);
  }
}

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
  if (t.LastReadTime > -100000) t.LastReadTime -= static_cast<int32_t>(frameLength);
}

void ResetTapeAutoStart(MachineState& m) {
  m.tape.LastReadTime = -100000;
  m.tape.LastB = 0;
  m.tape.AutoCount = 0;
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
    case kBlockGeneralized:
      return m.tape.State == kTapePauseState || m.tape.State == kTapeAfterData;
    case kBlockPureTone:
    case kBlockPulses:
    case kBlockCsw: return false;
    default: return true;
  }
}

void UpdateTapeTrapFlag(MachineState& m) {
  if (m.tape.image) {
    m.TrapFlags |= kTrapTape;
  } else {
    m.TrapFlags &= ~static_cast<uint32_t>(kTrapTape);
  }
}

// ---- the ROM loader trap ----

namespace {

// Blocks the trap stops at when it looks for the next block to load; the others (texts, groups,
// loop starts, calls, selections) are passed over.
// Pauses and stop marks carry nothing to load: the trap passes over them to the next block.
bool TrapStopsAt(uint8_t id) {
  return (id >= kBlockStandard && id <= kBlockDirect) || id == kBlockGeneralized ||
         id == kBlockJump || id == kBlockLoopEnd;
}

// A store through the write map (protected ROM and missing memory take nothing), without timing,
// as the ROM's own stores would land.
void TrapStore(MachineState& m, uint16_t address, uint8_t value) {
  m.WritePages[address >> 13][address & 0x1FFF] = value;
}

// The end of LD-BYTES: PC at its final RET, carry set for success.
void FinishLoad(MachineState& m, bool ok) {
  CpuState& c = m.cpu;
  c.PC = 0x05E2;
  if (ok) {
    c.AF.b.l |= 0x01;
  } else {
    c.AF.b.l &= static_cast<uint8_t>(~0x01);
  }
}

}  // namespace

bool TapeTrap(MachineState& m) {
  TapeState& t = m.tape;
  if (!m.settings.TapeTraps || m.TapePlaying || !t.image) return false;
  TapeBlock* b = t.image->current;
  while (b && !TrapStopsAt(b->id)) b = b->next;
  if (!b) return false;

  // A block that the player has started on is not fresh.
  const bool partPlayed =
      b == t.image->current && (t.State != b->state || t.PulseCount != 0 || t.Position != 0);
  if (b->id != kBlockStandard || partPlayed) {
    // Turbo, direct-recording and flow-control blocks, and a block already under way, are
    // played: the loader reads them as pulses, as it would without the trap.
    if (b != t.image->current) EnterTapeBlock(m, b);
    StartPlaying(m);
    return false;
  }

  CpuState& c = m.cpu;
  const uint8_t expectedFlag = c.AF_.b.h;     // LD-BYTES keeps the flag byte in A'
  const bool load = (c.AF_.b.l & 0x01) != 0;  // and LOAD (carry) or VERIFY in F'
  const uint32_t requested = c.DE.w;

  if (b->length == 0 || b->data[0] != expectedFlag) {
    // The ROM reads the flag byte first and gives up on a block of another kind; the block has
    // gone past the tape head all the same.
    EnterTapeBlock(m, b->next);
    FinishLoad(m, false);
    return true;
  }
  if (b->length != requested + 2) {
    // A block of another length than the header promised: played, so the ROM meets it as on a
    // real machine (a loading error, or a loader that reads what it finds).
    EnterTapeBlock(m, b);
    StartPlaying(m);
    return false;
  }

  const uint8_t* bytes = b->data;
  uint8_t parity = 0;
  for (uint32_t k = 0; k < b->length; ++k) parity ^= bytes[k];
  bool ok = parity == 0;
  uint16_t address = c.IX.w;
  RenderDisplayUpTo(m, m.FrameTState);  // the picture so far shows memory as it was
  for (uint32_t k = 0; k < requested; ++k) {
    const uint8_t value = bytes[1 + k];
    if (load) {
      TrapStore(m, address, value);
    } else if (m.Peek(address) != value) {
      ok = false;
    }
    ++address;
  }
  c.IX.w = address;
  c.DE.w = 0;
  c.BC.w = 0xCB01;
  c.HL.w = 0;
  FinishLoad(m, ok);
  EnterTapeBlock(m, b->next);
  return true;
}

}  // namespace orvo
