// A loader's wait for the tape's next edge, run on in one step.
//
// Between two edges a loader spins in a short loop: count B, read the ULA's port, test the EAR
// bit, jump back (the ROM's LD-SAMPLE and the many turbo loaders built after it). Every pass of
// such a loop does the same thing: B moves by one, R by the pass's fetches, the clock by the
// pass's T-states, and the read gives the same byte until the tape's level changes. Once a quiet
// run has stopped at the loop's IN, the passes that must come before the next thing that can
// change (the tape's edge, the batch's end, a sound sample) are counted out here instead of run,
// leaving the machine exactly as running them would: the same registers, the same T-state, the
// same tape and automatic-deck state.
//
// A loop qualifies when its code, read from memory, is made of the few instructions below, none
// of them contended or trapped, and one pass run on a copy of the registers comes back to the IN
// with nothing changed but B and the flags. Anything else is left to the core.
#include <algorithm>

#include "cpu/z80.h"
#include "devices/standard_devices.h"
#include "machine/io_cycle.h"
#include "machine/machine_state.h"
#include "video/ula.h"

namespace orvo {

namespace {

using z80_detail::kF53;
using z80_detail::kFC;
using z80_detail::kFH;
using z80_detail::kFN;
using z80_detail::kFPV;
using z80_detail::kFS;
using z80_detail::kFSZPV;
using z80_detail::kFZ;

constexpr int kMaxInstructions = 16;
// A read further from the last than this counts as irregular polling to the automatic deck.
constexpr uint32_t kAutoDeckGap = 1000;

// Which instruction last set a flag a condition tests: one before the pass (its value may differ
// between passes), the counter's step (it changes with B), or one of the pass's own.
enum class FlagFrom : uint8_t { kBefore, kCounter, kPass };

// One pass of the loop, from the instruction after the IN round to the IN again.
struct Pass {
  uint8_t f = 0, b = 0;  // F and B at the pass's end (A is the byte read)
  uint16_t memptr = 0;
  uint16_t port = 0;
  uint32_t inStart = 0;   // T-states from the pass's start to the IN's opcode fetch
  uint32_t beforeIo = 0;  // ... to its I/O cycle
  uint8_t fetches = 0;    // M1 cycles
  int8_t step = 0;        // what the pass adds to B
  bool zeroEnds = false;  // a condition tested whether the counter reached zero
  bool carryIn = false;   // a carry set before the pass was used
};

// Runs one pass from `start` (the instruction after the loop's IN) on A, F and B, the IN reading
// `v`. False when the code there is not such a loop or the pass leaves it.
bool RunPass(const MachineState& m, uint16_t start, uint8_t a, uint8_t f, uint8_t b, uint8_t v,
             Pass& p) {
  const CpuState& c = m.cpu;
  const uint16_t inPc = static_cast<uint16_t>(start - 2);
  const bool contention = m.settings.Contention != 0;
  const auto held = [&](uint16_t address) { return contention && m.IsContended(address); };
  const bool irHeld = held(static_cast<uint16_t>(c.IR.w & 0xFF00));
  uint16_t pc = start;
  uint32_t t = 0;
  FlagFrom zFrom = FlagFrom::kBefore, cFrom = FlagFrom::kBefore;
  bool szpvSet = false;  // S, Z and P/V were set within the pass
  int counters = 0;
  p = Pass{};
  // Byte `k` of the instruction at pc, false when the ULA would hold its read.
  uint8_t operand = 0;
  const auto imm = [&](int k) {
    const uint16_t address = static_cast<uint16_t>(pc + k);
    operand = m.Peek(address);
    return !held(address);
  };
  // A condition's outcome, when every pass may be counted on to take the same way.
  bool ok = true;
  // Z as the pass before left it, tested before the pass sets it (the counter stepped before
  // the IN, tested after it).
  bool zBefore = false;
  const auto zero = [&] {
    if (zFrom == FlagFrom::kBefore) zBefore = true;
    if (zFrom != FlagFrom::kPass) {
      // A counter's Z: the same way in every pass short of the counter's zero.
      p.zeroEnds = true;
      if (f & kFZ) ok = false;
    }
    return (f & kFZ) != 0;
  };
  const auto carry = [&] {
    if (cFrom == FlagFrom::kBefore) p.carryIn = true;
    return (f & kFC) != 0;
  };
  const auto counterStep = [&](int step) {
    p.step = static_cast<int8_t>(step);
    return ++counters == 1;
  };
  const auto logic = [&](uint8_t r, uint8_t flags) {
    a = r;
    f = flags;
    zFrom = cFrom = FlagFrom::kPass;
    szpvSet = true;
  };
  // The operand of an 8-bit logic instruction: a register the loop leaves alone, or n.
  const auto source = [&](uint8_t op, uint8_t& x) {
    if ((op & 0xC0) == 0xC0) {
      if (!imm(1)) return false;
      x = operand;
      t += 7;
      pc = static_cast<uint16_t>(pc + 2);
      return true;
    }
    switch (op & 7) {
      case 1: x = c.BC.b.l; break;
      case 2: x = c.DE.b.h; break;
      case 3: x = c.DE.b.l; break;
      case 4: x = c.HL.b.h; break;
      case 5: x = c.HL.b.l; break;
      case 7: x = a; break;
      default: return false;  // B is the counter; (HL) reads memory
    }
    t += 4;
    pc = static_cast<uint16_t>(pc + 1);
    return true;
  };
  const auto jumpRelative = [&](bool taken) {
    if (!imm(1)) return false;
    if (taken) {
      pc = static_cast<uint16_t>(pc + 2 + static_cast<int8_t>(operand));
      p.memptr = pc;
      t += 12;
    } else {
      pc = static_cast<uint16_t>(pc + 2);
      t += 7;
    }
    return true;
  };
  const auto jumpAbsolute = [&](bool taken) {
    if (!imm(1)) return false;
    const uint8_t lo = operand;
    if (!imm(2)) return false;
    const uint16_t nn = static_cast<uint16_t>(lo | operand << 8);
    p.memptr = nn;
    pc = taken ? nn : static_cast<uint16_t>(pc + 3);
    t += 10;
    return true;
  };
  const auto returnIf = [&](bool taken) {
    if (taken || irHeld) return false;
    pc = static_cast<uint16_t>(pc + 1);
    t += 5;
    return true;
  };

  for (int n = 0; n < kMaxInstructions && ok; ++n) {
    if (held(pc) || (m.FetchTraps.Armed() && m.FetchTraps.Has(pc))) return false;
    const uint8_t op = m.Peek(pc);
    ++p.fetches;
    uint8_t x = 0;
    bool stepped = true;
    switch (op) {
      case 0x00:  // NOP
        t += 4;
        ++pc;
        break;
      case 0x04:  // INC B
        ++b;
        f = static_cast<uint8_t>((f & kFC) | (b == 0x80 ? kFPV : 0) | ((b & 0x0F) ? 0 : kFH) |
                                 SZ53Table[b]);
        zFrom = FlagFrom::kCounter;
        szpvSet = true;
        stepped = counterStep(1);
        t += 4;
        ++pc;
        break;
      case 0x05: {  // DEC B
        const uint8_t h = (b & 0x0F) ? 0 : kFH;
        --b;
        f = static_cast<uint8_t>((f & kFC) | h | kFN | (b == 0x7F ? kFPV : 0) | SZ53Table[b]);
        zFrom = FlagFrom::kCounter;
        szpvSet = true;
        stepped = counterStep(-1);
        t += 4;
        ++pc;
        break;
      }
      case 0x10:  // DJNZ: the loop goes on the same way while B is not zero
        if (irHeld) return false;
        --b;
        stepped = counterStep(-1) && b != 0;
        p.zeroEnds = true;
        t += 1;
        stepped = stepped && jumpRelative(true);
        break;
      case 0x17: {  // RLA
        const uint8_t old = a;
        a = static_cast<uint8_t>((a << 1) | (carry() ? 1 : 0));
        f = static_cast<uint8_t>((f & kFSZPV) | (a & kF53) | (old >> 7));
        cFrom = FlagFrom::kPass;
        t += 4;
        ++pc;
        break;
      }
      case 0x1F: {  // RRA
        const uint8_t old = a;
        a = static_cast<uint8_t>((a >> 1) | (carry() ? 0x80 : 0));
        f = static_cast<uint8_t>((f & kFSZPV) | (a & kF53) | (old & kFC));
        cFrom = FlagFrom::kPass;
        t += 4;
        ++pc;
        break;
      }
      case 0x18: stepped = jumpRelative(true); break;
      case 0x20: stepped = jumpRelative(!zero()); break;
      case 0x28: stepped = jumpRelative(zero()); break;
      case 0x30: stepped = jumpRelative(!carry()); break;
      case 0x38: stepped = jumpRelative(carry()); break;
      case 0x3E:  // LD A,n
        stepped = imm(1);
        a = operand;
        t += 7;
        pc = static_cast<uint16_t>(pc + 2);
        break;
      case 0xA1:
      case 0xA2:
      case 0xA3:
      case 0xA4:
      case 0xA5:
      case 0xA7:
      case 0xE6:  // AND
        stepped = source(op, x);
        logic(static_cast<uint8_t>(a & x), static_cast<uint8_t>(kFH | SZ53PTable[a & x]));
        break;
      case 0xA9:
      case 0xAA:
      case 0xAB:
      case 0xAC:
      case 0xAD:
      case 0xAF:
      case 0xEE:  // XOR
        stepped = source(op, x);
        logic(static_cast<uint8_t>(a ^ x), SZ53PTable[a ^ x]);
        break;
      case 0xB1:
      case 0xB2:
      case 0xB3:
      case 0xB4:
      case 0xB5:
      case 0xB7:
      case 0xF6:  // OR
        stepped = source(op, x);
        logic(static_cast<uint8_t>(a | x), SZ53PTable[a | x]);
        break;
      case 0xB9:
      case 0xBA:
      case 0xBB:
      case 0xBC:
      case 0xBD:
      case 0xBF:
      case 0xFE: {  // CP
        stepped = source(op, x);
        const unsigned r = unsigned{a} - x;
        const unsigned lk = ((a & 0x88u) >> 3) | ((x & 0x88u) >> 2) | ((r & 0x88u) >> 1);
        logic(a, static_cast<uint8_t>(((r >> 8) & kFC) | kFN | HalfcarrySubTable[lk & 7] |
                                      OverflowSubTable[lk >> 4] |
                                      (SZ53Table[r & 0xFF] & (kFS | kFZ)) | (x & kF53)));
        break;
      }
      case 0xC0: stepped = returnIf(!zero()); break;
      case 0xC8: stepped = returnIf(zero()); break;
      case 0xD0: stepped = returnIf(!carry()); break;
      case 0xD8: stepped = returnIf(carry()); break;
      case 0xC2: stepped = jumpAbsolute(!zero()); break;
      case 0xC3: stepped = jumpAbsolute(true); break;
      case 0xCA: stepped = jumpAbsolute(zero()); break;
      case 0xD2: stepped = jumpAbsolute(!carry()); break;
      case 0xDA: stepped = jumpAbsolute(carry()); break;
      case 0xDB:  // IN A,(n): the pass ends with the loop's own
        if (pc != inPc || !imm(1)) return false;
        p.port = static_cast<uint16_t>(operand | a << 8);
        p.memptr = static_cast<uint16_t>(p.port + 1);
        p.inStart = t;
        p.beforeIo = t + 7;
        a = v;
        p.f = f;
        p.b = b;
        // With S, Z and P/V set within the pass F does not hang on the pass before, and a
        // carry taken from before must come out as it went in. A Z taken from before is the
        // counter's, as the pass leaves it.
        return ok && szpvSet && !(p.carryIn && ((f ^ m.cpu.AF.b.l) & kFC)) &&
               !(zBefore && zFrom != FlagFrom::kCounter);
      default: return false;
    }
    if (!stepped) return false;
  }
  return false;
}

// The ULA answers `port` alone: no other device's read handler applies to it.
bool UlaAloneReads(const PortDecoder& d, uint16_t port) {
  if (port & 1) return false;
  for (const PortDecoder::ExactRead& row : d.exactReads) {
    if (row.port == port) return false;
  }
  if (d.evenReads.size() != 1 || !IsUlaPortRead(d.evenReads[0])) return false;
  const PortDecoder::LowByte& low = d.low[port & 0xFF];
  if (low.reads != 0 || low.readAs >= 0) return false;
  for (const PortDecoder::LineRead& row : d.lineReads) {
    if ((port & row.mask) == row.value) return false;
  }
  return true;
}

}  // namespace

void MachineState::SkipTapePollingLoop(uint32_t until) {
  CpuState& c = cpu;
  const uint16_t start = c.PC;
  if (Peek(static_cast<uint16_t>(start - 2)) != 0xDB) return;
  const uint8_t v = c.AF.b.h;
  Pass first;
  if (!RunPass(*this, start, v, c.AF.b.l, c.BC.b.h, v, first)) return;
  if (!UlaAloneReads(decoder, first.port)) return;
  const ModelGroup group = decoder.group;
  const uint8_t ula = UlaPortValue(*this, first.port);
  const bool floats = io_cycle::ReadFloats(*this, group, ula);
  if (!floats && ula != v) return;

  // Every counted pass ends by `until` (its instructions all begin before it, the tape's next
  // edge among them) and before the next sample is due.
  const uint32_t mark = QuietSampleMark();
  const uint32_t end = std::min(until, mark == 0 ? 0 : mark - 1);
  uint32_t passes = UINT32_MAX;
  if (first.zeroEnds) {
    // B after the counter's step in pass j is B + j*step: stop short of zero.
    const uint8_t b = c.BC.b.h;
    uint32_t toZero = first.step > 0 ? (256u - b) & 0xFF : b;
    if (toZero == 0) toZero = 256;
    passes = toZero - 1;
  }
  uint32_t t = FrameTState;
  uint32_t lastRead = static_cast<uint32_t>(tape.LastReadTime);
  uint32_t n = 0, inStart = 0;
  while (n < passes) {
    const uint32_t read = io_cycle::ReadMoment(*this, group, first.port, t + first.beforeIo);
    if (read + 1 > end || read - lastRead > kAutoDeckGap) break;
    if (floats) {
      const uint32_t now = FrameTState;
      FrameTState = read;
      const uint8_t bus = FloatingBusValue(*this);
      FrameTState = now;
      if (bus != v) break;
    }
    inStart = t + first.inStart;
    lastRead = read;
    t = read + 1;
    ++n;
  }
  if (n == 0) return;

  // The last pass, run from B as the ones before leave it, gives the flags.
  Pass last = first;
  if (n > 1 &&
      !RunPass(*this, start, v, first.f,
               static_cast<uint8_t>(c.BC.b.h + static_cast<int>(n - 1) * first.step), v, last))
    return;
  c.AF.b.l = last.f;
  c.BC.b.h = last.b;
  c.MEMPTR = last.memptr;
  c.IR.b.l = static_cast<uint8_t>(c.IR.b.l + n * first.fetches);
  FetchCount += n * first.fetches;
  InstructionStartTState = inStart;
  InstructionTStates = t - inStart;
  FrameTState = t;
  // The reads' effect on the automatic deck: each was a regular one.
  if (tape.image) {
    tape.LastB = last.b;
    tape.LastReadTime = static_cast<int32_t>(lastRead);
    tape.AutoCount = 0;
  }
}

}  // namespace orvo
