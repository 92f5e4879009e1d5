// Block stepping: entering a block (loading its parameters into the player), the flow-control
// blocks (jumps, loops, calls), and the step that hands the end of a pulse to the current block.
#include "formats/tape_image.h"
#include "tape/tape_player.h"
#include "tape/tape_player_internal.h"

namespace orvo {

namespace tape_detail {

void NextBlock(MachineState& m) {
  TapeBlock* current = m.tape.image ? m.tape.image->current : nullptr;
  EnterTapeBlock(m, current ? current->next : nullptr);
}

}  // namespace tape_detail

namespace {

using namespace tape_detail;

TapeBlock* BlockAt(const TapeImage& image, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(image.blocks.size())) return nullptr;
  return image.blocks[static_cast<size_t>(index)].get();
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

}  // namespace

namespace tape_detail {

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
    case kBlockCsw: StepRecording(m); break;
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

}  // namespace tape_detail

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
    case kBlockCsw: EnterRecording(t, b); break;
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

}  // namespace orvo
