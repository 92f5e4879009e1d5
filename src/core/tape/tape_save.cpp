// Saving to tape: the ROM's SA-BYTES trapped, each block it saves kept as a TAP block.
#include "cpu/fetch_traps.h"
#include "tape/tape_player.h"

namespace orvo {

namespace {

// SA-BYTES opens with LD HL,SA/LD-RET (0x053F) and PUSH HL: a ROM with those bytes there is the
// 48K BASIC ROM (alone, or as the 128K models' second ROM).
bool SaveRomPaged(const MachineState& m) {
  return m.Peek(kTapeSaveTrapAddress) == 0x21 && m.Peek(kTapeSaveTrapAddress + 1) == 0x3F &&
         m.Peek(kTapeSaveTrapAddress + 2) == 0x05;
}

FetchTrapResult SaveTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  CpuState& c = m.cpu;
  // A block too long for a TAP length word is saved as pulses, as without the trap.
  if (!m.tape.SaveTrap || !SaveRomPaged(m) || c.DE.w > 0xFFFD) return FetchTrapResult::Continue();
  const std::vector<uint8_t> block = TapBlockOf(m, c.AF.b.h, c.IX.w, c.DE.w);
  m.tape.SavedBlocks.insert(m.tape.SavedBlocks.end(), block.begin(), block.end());
  // As after the last bit: IX past the block, DE spent, interrupts enabled, and back to the caller
  // of SA-BYTES. The ROM's own ending (SA/LD-RET) is not run: it reports BREAK when SPACE is
  // held, and the key that started the save is still down at this instant.
  c.IX.w = static_cast<uint16_t>(c.IX.w + c.DE.w);
  c.DE.w = 0;
  c.IFF1 = c.IFF2 = 1;
  c.PC = static_cast<uint16_t>(m.Peek(c.SP) | (m.Peek(static_cast<uint16_t>(c.SP + 1)) << 8));
  c.SP = static_cast<uint16_t>(c.SP + 2);
  return FetchTrapResult::Skip();
}

}  // namespace

std::vector<uint8_t> TapBlockOf(const MachineState& m, uint8_t flag, uint16_t start,
                                uint16_t length) {
  const uint32_t size = static_cast<uint32_t>(length) + 2;
  std::vector<uint8_t> out;
  out.reserve(size + 2);
  out.push_back(static_cast<uint8_t>(size & 0xFF));
  out.push_back(static_cast<uint8_t>(size >> 8));
  out.push_back(flag);
  uint8_t parity = flag;
  for (uint32_t k = 0; k < length; ++k) {
    const uint8_t b = m.Peek(static_cast<uint16_t>(start + k));
    out.push_back(b);
    parity ^= b;
  }
  out.push_back(parity);
  return out;
}

void RecordMicEdge(MachineState& m, bool high) {
  TapeState& t = m.tape;
  const uint64_t now = MachineTime(m);
  if (t.MicLastEdge == 0 || now - t.MicLastEdge > kMicSilenceTStates) {
    // The first edge after a silence opens a recording, at the level it sets.
    t.MicPulses.clear();
    t.MicFirstHigh = high;
  } else {
    t.MicPulses.push_back(static_cast<uint32_t>(now - t.MicLastEdge));
  }
  t.MicLastEdge = now;
}

void SetTapeSaveTrap(MachineState& m, bool on) {
  m.tape.SaveTrap = on;
  m.FetchTraps.Set(kTapeSaveTrapAddress, SaveTrap, &m, on);
}

}  // namespace orvo
