#pragma once
// The Z80 core (EXECUTE_Z80).
//
// ExecuteZ80(bus) runs one step of the CPU: one instruction, one 4 T-state HALT step, or one lone
// DD/FD prefix. A maskable interrupt due at the start of the call is accepted first and the same
// call goes on with the first instruction of the interrupt routine. Every M1, memory read, memory
// write, internal and I/O cycle is charged through the bus at the moment the real CPU performs it,
// in the order of the Z80's machine cycles, so contention and everything that watches the bus see
// each access at its own T-state.
//
// The bus type provides the members listed in cpu/bus.h. Everything is inline and resolved at
// compile time; the per-instruction path allocates nothing and makes no indirect calls.
//
// Flags come from the tables below. The undocumented bits 3 and 5, MEMPTR (the internal address
// latch) and Q (the flags written by the previous instruction, which SCF and CCF read on the NMOS
// part) are maintained as the silicon does.
#include <array>
#include <concepts>
#include <cstdint>
#include <type_traits>

#include "cpu/bus.h"
#include "cpu/cpu_state.h"
#include "cpu/fetch_traps.h"

// The helpers are forced inline into the one big dispatch, and the entry point is flattened so
// that the bus's memory cycles are inlined at every call site too: the compiler would otherwise
// give up inlining them into a function this size, and a call per memory access costs about a
// third of the whole machine's speed.
#if defined(__GNUC__)
#define ORVO_Z80_INLINE inline __attribute__((always_inline))
#define ORVO_Z80_FLATTEN __attribute__((flatten))
#else
#define ORVO_Z80_INLINE inline
#define ORVO_Z80_FLATTEN
#endif

namespace orvo {

// ---- flag tables ----

namespace z80_detail {

constexpr uint8_t kFC = 0x01;   // carry
constexpr uint8_t kFN = 0x02;   // subtract
constexpr uint8_t kFPV = 0x04;  // parity / overflow
constexpr uint8_t kF3 = 0x08;   // undocumented bit 3
constexpr uint8_t kFH = 0x10;   // half carry
constexpr uint8_t kF5 = 0x20;   // undocumented bit 5
constexpr uint8_t kFZ = 0x40;   // zero
constexpr uint8_t kFS = 0x80;   // sign
constexpr uint8_t kF53 = kF3 | kF5;
constexpr uint8_t kFSZPV = kFS | kFZ | kFPV;

constexpr std::array<uint8_t, 256> MakeSZ53() {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) t[v] = static_cast<uint8_t>((v & 0xA8) | (v == 0 ? kFZ : 0));
  return t;
}

constexpr std::array<uint8_t, 256> MakeParity() {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int bits = 0;
    for (int b = 0; b < 8; ++b) bits += (v >> b) & 1;
    t[v] = (bits & 1) ? 0 : kFPV;
  }
  return t;
}

constexpr std::array<uint8_t, 256> MakeSZ53P() {
  const auto sz53 = MakeSZ53();
  const auto parity = MakeParity();
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) t[v] = static_cast<uint8_t>(sz53[v] | parity[v]);
  return t;
}

}  // namespace z80_detail

// S, bits 5 and 3 of a byte, plus Z for 0.
inline constexpr std::array<uint8_t, 256> SZ53Table = z80_detail::MakeSZ53();
// P/V (0x04) for a byte with an even number of set bits.
inline constexpr std::array<uint8_t, 256> ParityTable = z80_detail::MakeParity();
inline constexpr std::array<uint8_t, 256> SZ53PTable = z80_detail::MakeSZ53P();
// Indexed by bits 3 (or 11) of the first operand, the second operand and the result, as index bits
// 0, 1 and 2; the overflow tables by bits 7 (or 15) in the same arrangement.
inline constexpr std::array<uint8_t, 8> HalfcarryAddTable = {0, 0x10, 0x10, 0x10, 0, 0, 0, 0x10};
inline constexpr std::array<uint8_t, 8> HalfcarrySubTable = {0, 0, 0x10, 0, 0x10, 0, 0x10, 0x10};
inline constexpr std::array<uint8_t, 8> OverflowAddTable = {0, 0, 0, 0x04, 0x04, 0, 0, 0};
inline constexpr std::array<uint8_t, 8> OverflowSubTable = {0, 0x04, 0, 0, 0, 0, 0x04, 0};

// The M1 cycle of the instruction at PC exactly as ExecuteZ80 makes it: LastFetchPC, the bus's
// FetchOpcode (contention, 4 T-states, whatever the bus does on a fetch), PC + 1, R + 1. A fetch
// trap that takes over an instruction starts with it (cpu/fetch_traps.h).
template <class Bus>
ORVO_Z80_INLINE uint8_t Z80FetchCycle(Bus& bus) {
  CpuState& c = bus.cpu;
  c.LastFetchPC = c.PC;
  const uint8_t op = bus.FetchOpcode(c.PC);
  ++c.PC;
  ++c.IR.b.l;
  return op;
}

namespace z80_detail {

// Keeps the compiler from merging neighbouring 16-bit register moves into one 32-bit (or vector)
// access: a 32-bit load of two pairs that were stored apart cannot be forwarded from the store
// buffer and stalls (EX DE,HL and EXX run often enough in the ROM's calculator to show).
template <class V>
ORVO_Z80_INLINE void KeepApart(V& v) {
  asm("" : "+r"(v));
}
ORVO_Z80_INLINE void Exchange(uint16_t& a, uint16_t& b) {
  uint16_t t = a;
  KeepApart(t);
  uint16_t u = b;
  KeepApart(u);
  a = u;
  b = t;
}

// Register shorthands for the bodies below; undefined again at the end of this header.
#define ORVO_A c.AF.b.h
#define ORVO_F c.AF.b.l
#define ORVO_B c.BC.b.h
#define ORVO_C c.BC.b.l
#define ORVO_D c.DE.b.h
#define ORVO_E c.DE.b.l
#define ORVO_H c.HL.b.h
#define ORVO_L c.HL.b.l
#define ORVO_I c.IR.b.h
#define ORVO_R c.IR.b.l
#define ORVO_BC c.BC.w
#define ORVO_DE c.DE.w
#define ORVO_HL c.HL.w
#define ORVO_IR IRAddress()

template <class Bus, bool Quiet = false, bool Trapped = false>
class Core {
 public:
  explicit Core(Bus& b) : bus(b), c(b.cpu), T(b.FrameTState), PC(b.cpu.PC), rBase(b.cpu.IR.b.l) {}

  ORVO_Z80_INLINE void Execute();
  ORVO_Z80_INLINE void AcceptInterrupt();
  ORVO_Z80_INLINE void AcceptNmi();

  // A quiet core keeps the T-state counter (and PC) itself, where the compiler can keep it in a
  // register: as the bus's member every access would be a read-modify-write through memory,
  // one dependent chain across the whole instruction. Store() hands it back to the bus before
  // anything outside the core may look at it, Load() takes it again afterwards; for the other
  // core both do nothing.
  ORVO_Z80_INLINE void Store() {
    if constexpr (Quiet) {
      bus.FrameTState = T;
      c.PC = PC;
      bus.InstructionStartTState = instrStart;
      bus.InstructionTStates = instrStart - prevStart;
      if constexpr (kUnwatched) {
        c.IR.b.l = RValue();
        rBase = c.IR.b.l;
        bus.FetchCount += fetches;
        fetches = 0;
      }
    }
  }
  ORVO_Z80_INLINE void Load() {
    if constexpr (Quiet) {
      T = bus.FrameTState;
      PC = c.PC;
      if constexpr (kUnwatched) {
        bus.TakeContendedSlots();
        rBase = c.IR.b.l;  // a fetch trap may have made an M1 cycle of its own
      }
    }
  }

  // Quiet: runs instructions until `limit` or until one calls out of the core (a port, the
  // interrupt's data bus, a device callback), which may have changed what watches the machine;
  // true when that happened. The counter stays in the core throughout; Store() after.
  ORVO_Z80_INLINE bool RunQuiet(uint32_t until) {
    static_assert(Quiet);
    left = false;
    limit = until;  // a call out sets it to 0, so that one test per instruction covers both
    if constexpr (kUnwatched) bus.TakeContendedSlots();
    // As after a single step, a call out sees the last instruction's T-states: those of the
    // one before the run for its first instruction.
    instrStart = T - bus.InstructionTStates;
    if constexpr (kMarksSamples) {
      // The bus may ask to see the end of each instruction that crosses a mark of its own (the
      // sound's next sample): the run stops there for the call, then goes on to the next mark.
      // The run's last instruction is left to the caller, as a call out's is.
      uint32_t mark = bus.QuietSampleMark();
      for (;;) {
        limit = mark < until ? mark : until;
        while (T < limit) Execute();
        if (left || T >= until) break;
        mark = bus.QuietSampleDue(instrStart, T);
      }
    } else {
      while (T < limit) Execute();
    }
    return left;
  }
  // After RunQuiet and Store(): where its last instruction began and what it took.
  ORVO_Z80_INLINE void HandBackLastInstruction() {
    static_assert(Quiet);
    bus.InstructionStartTState = instrStart;
    bus.InstructionTStates = T - instrStart;
  }

 private:
  Bus& bus;
  CpuState& c;
  // Only a quiet core keeps its own copies: the other one serves the per-instruction hooks, which
  // read and change the machine between instructions, and keeping copies there costs more in
  // register spills across its larger loop than it saves.
  std::conditional_t<Quiet, uint32_t, uint32_t&> T;
  std::conditional_t<Quiet, uint16_t, uint16_t&> PC;  // the same for the program counter
  bool left = false;     // a call out of the core happened (quiet runs)
  uint32_t limit = 0;    // where a quiet run ends
  uint32_t fetches = 0;  // M1 cycles not yet added to the bus's count (quiet runs)
  // Where the instruction under way and the one before it began (quiet runs): handed back with
  // the counter, so that a call out knows which instructions are complete and what the last took.
  uint32_t instrStart = 0;
  uint32_t prevStart = 0;
  // A quiet core on the machine does not step R in memory at every fetch (a store and a load the
  // next instruction waits for): R is rBase plus the fetches counted since the last Store().
  uint8_t rBase = 0;

  // After a call out: the counter back, and a quiet run ends with this instruction.
  ORVO_Z80_INLINE void Resume() {
    Load();
    if constexpr (Quiet) {
      left = true;
      limit = 0;
    }
  }

  // Calls out of the core (ports, traps, device callbacks) are made between Store() and Load().
  // No lambdas: a closure holding `this` that the compiler does not inline would keep the whole
  // core object, counter and all, in memory.

  // ---- bus cycles ----

  // The machine's memory cycles take the counter; a bus without those forms counts on its own.
  static constexpr bool kBusTakesTime = requires(Bus & b, uint32_t& t) { b.ReadByte(0, t); };
  // A quiet core stops for the bus's sample marks where the bus has them (RunQuiet).
  static constexpr bool kMarksSamples = Quiet && requires(Bus & b, uint32_t t) {
    { b.QuietSampleMark() } -> std::convertible_to<uint32_t>;
    { b.QuietSampleDue(t, t) } -> std::convertible_to<uint32_t>;
  };
  // A quiet core uses the cycles without the machine's watchers where the bus has them.
  static constexpr bool kUnwatched = Quiet && requires(Bus & b, uint32_t& t) {
    b.template ReadByte<false>(0, t);
  };

  ORVO_Z80_INLINE uint8_t BusFetch(uint16_t a) {
    if constexpr (kUnwatched) {
      ++fetches;
      return bus.template FetchOpcode<false>(a, T);
    } else if constexpr (kBusTakesTime) {
      return bus.FetchOpcode(a, T);
    } else {
      Store();
      const uint8_t v = bus.FetchOpcode(a);
      Resume();
      return v;
    }
  }

  // The refresh counter (see rBase).
  ORVO_Z80_INLINE uint8_t RValue() const {
    if constexpr (kUnwatched) {
      return static_cast<uint8_t>(rBase + fetches);
    } else {
      return c.IR.b.l;
    }
  }
  ORVO_Z80_INLINE void SetR(uint8_t v) {
    if constexpr (kUnwatched) {
      rBase = static_cast<uint8_t>(v - fetches);
    } else {
      c.IR.b.l = v;
    }
  }
  // R + 1 for an M1 cycle made through BusFetch (a halted step, the NMI's): already counted
  // when R follows the fetch count.
  ORVO_Z80_INLINE void RefreshAfterBusFetch() {
    if constexpr (!kUnwatched) ++c.IR.b.l;
  }

  // IR as the address of an internal cycle. The machine's contention looks only at its high
  // byte, so a quiet core passes I alone: a 16-bit read of IR right after the byte increment of
  // R cannot be forwarded from the store and stalls. Other buses see the whole of IR.
  ORVO_Z80_INLINE uint16_t IRAddress() const {
    if constexpr (kUnwatched) {
      return static_cast<uint16_t>(ORVO_I << 8);
    } else {
      return c.IR.w;
    }
  }

  // An M1 cycle: the opcode byte at PC, PC and R advanced (as Z80FetchCycle).
  ORVO_Z80_INLINE uint8_t Fetch() {
    c.LastFetchPC = PC;
    const uint8_t op = BusFetch(PC);
    ++PC;
    RefreshAfterBusFetch();
    return op;
  }

  // The first opcode of the instruction at PC, through the fetch traps registered there. False
  // when a trap did the whole step.
  ORVO_Z80_INLINE bool NextOpcode(uint8_t& op) {
    // A quiet core runs with traps only as its trapped form, which looks at the bitmap alone
    // and calls out only where a trap is registered.
    if ((Quiet ? Trapped && bus.FetchTraps.Has(PC) : bus.FetchTraps.Armed())) [[unlikely]] {
      Store();
      if constexpr (Quiet && requires { bus.BeforeFetchTrap(); }) bus.BeforeFetchTrap();
      const FetchTrapResult r = bus.FetchTraps.RunAt(PC);
      Resume();
      if (r.action == FetchTrapAction::kSkip) return false;
      if (r.action == FetchTrapAction::kExecute) {
        op = r.opcode;
        return true;
      }
    }
    op = Fetch();
    return true;
  }
  ORVO_Z80_INLINE uint8_t Rd(uint16_t a) {
    if constexpr (kUnwatched) {
      return bus.template ReadByte<false>(a, T);
    } else if constexpr (kBusTakesTime) {
      return bus.ReadByte(a, T);
    } else {
      Store();
      const uint8_t v = bus.ReadByte(a);
      Resume();
      return v;
    }
  }
  ORVO_Z80_INLINE void Wr(uint16_t a, uint8_t v) {
    if constexpr (kUnwatched) {
      bus.template WriteByte<false>(a, v, T);
    } else if constexpr (kBusTakesTime) {
      bus.WriteByte(a, v, T);
    } else {
      Store();
      bus.WriteByte(a, v);
      Resume();
    }
  }
  ORVO_Z80_INLINE void Idle(uint16_t a, uint32_t n) {
    if constexpr (kUnwatched) {
      bus.template InternalCycles<false>(a, n, T);
    } else if constexpr (kBusTakesTime) {
      bus.InternalCycles(a, n, T);
    } else {
      Store();
      bus.InternalCycles(a, n);
      Resume();
    }
  }
  ORVO_Z80_INLINE uint8_t InPort(uint16_t port) {
    Store();
    const uint8_t v = bus.ReadPort(port);
    Resume();
    return v;
  }
  ORVO_Z80_INLINE void OutPort(uint16_t port, uint8_t v) {
    Store();
    bus.WritePort(port, v);
    Resume();
  }
  ORVO_Z80_INLINE uint8_t Imm8() { return Rd(PC++); }
  ORVO_Z80_INLINE uint16_t Imm16() {
    const uint8_t lo = Rd(PC++);
    const uint8_t hi = Rd(PC++);
    return static_cast<uint16_t>(lo | hi << 8);
  }
  ORVO_Z80_INLINE uint16_t Rd16(uint16_t a) {
    const uint8_t lo = Rd(a);
    const uint8_t hi = Rd(static_cast<uint16_t>(a + 1));
    return static_cast<uint16_t>(lo | hi << 8);
  }
  ORVO_Z80_INLINE void Wr16(uint16_t a, uint16_t v) {
    Wr(a, static_cast<uint8_t>(v));
    Wr(static_cast<uint16_t>(a + 1), static_cast<uint8_t>(v >> 8));
  }
  ORVO_Z80_INLINE void Push(uint16_t v) {
    Wr(--c.SP, static_cast<uint8_t>(v >> 8));
    Wr(--c.SP, static_cast<uint8_t>(v));
  }
  ORVO_Z80_INLINE uint16_t Pop() {
    const uint8_t lo = Rd(c.SP++);
    const uint8_t hi = Rd(c.SP++);
    return static_cast<uint16_t>(lo | hi << 8);
  }

  ORVO_Z80_INLINE void SetF(uint8_t f) {
    ORVO_F = f;
    c.Q = f;
  }

  // ---- 8-bit arithmetic and logic ----

  ORVO_Z80_INLINE void AddSub(uint8_t v, unsigned r, bool sub) {
    const unsigned lk = ((ORVO_A & 0x88u) >> 3) | ((v & 0x88u) >> 2) | ((r & 0x88u) >> 1);
    ORVO_A = static_cast<uint8_t>(r);
    if (sub) {
      SetF(static_cast<uint8_t>(((r >> 8) & kFC) | kFN | HalfcarrySubTable[lk & 7] |
                                OverflowSubTable[lk >> 4] | SZ53Table[ORVO_A]));
    } else {
      SetF(static_cast<uint8_t>(((r >> 8) & kFC) | HalfcarryAddTable[lk & 7] |
                                OverflowAddTable[lk >> 4] | SZ53Table[ORVO_A]));
    }
  }
  ORVO_Z80_INLINE void Add(uint8_t v) { AddSub(v, unsigned{ORVO_A} + v, false); }
  ORVO_Z80_INLINE void Adc(uint8_t v) { AddSub(v, unsigned{ORVO_A} + v + (ORVO_F & kFC), false); }
  ORVO_Z80_INLINE void Sub(uint8_t v) { AddSub(v, unsigned{ORVO_A} - v, true); }
  ORVO_Z80_INLINE void Sbc(uint8_t v) { AddSub(v, unsigned{ORVO_A} - v - (ORVO_F & kFC), true); }
  ORVO_Z80_INLINE void And(uint8_t v) {
    ORVO_A &= v;
    SetF(static_cast<uint8_t>(kFH | SZ53PTable[ORVO_A]));
  }
  ORVO_Z80_INLINE void Xor(uint8_t v) {
    ORVO_A ^= v;
    SetF(SZ53PTable[ORVO_A]);
  }
  ORVO_Z80_INLINE void Or(uint8_t v) {
    ORVO_A |= v;
    SetF(SZ53PTable[ORVO_A]);
  }
  // CP takes bits 5 and 3 from the operand.
  ORVO_Z80_INLINE void Cp(uint8_t v) {
    const unsigned r = unsigned{ORVO_A} - v;
    const unsigned lk = ((ORVO_A & 0x88u) >> 3) | ((v & 0x88u) >> 2) | ((r & 0x88u) >> 1);
    SetF(static_cast<uint8_t>(((r >> 8) & kFC) | kFN | HalfcarrySubTable[lk & 7] |
                              OverflowSubTable[lk >> 4] | (SZ53Table[r & 0xFF] & (kFS | kFZ)) |
                              (v & kF53)));
  }
  ORVO_Z80_INLINE uint8_t Inc8(uint8_t v) {
    ++v;
    SetF(static_cast<uint8_t>((ORVO_F & kFC) | (v == 0x80 ? kFPV : 0) | ((v & 0x0F) ? 0 : kFH) |
                              SZ53Table[v]));
    return v;
  }
  ORVO_Z80_INLINE uint8_t Dec8(uint8_t v) {
    const uint8_t h = (v & 0x0F) ? 0 : kFH;
    --v;
    SetF(static_cast<uint8_t>((ORVO_F & kFC) | h | kFN | (v == 0x7F ? kFPV : 0) | SZ53Table[v]));
    return v;
  }

  // ---- 16-bit arithmetic ----

  ORVO_Z80_INLINE void Add16(uint16_t& d, uint16_t v) {
    Idle(ORVO_IR, 7);
    const uint32_t r = uint32_t{d} + v;
    const unsigned lk = ((d & 0x0800u) >> 11) | ((v & 0x0800u) >> 10) | ((r & 0x0800u) >> 9);
    c.MEMPTR = static_cast<uint16_t>(d + 1);
    d = static_cast<uint16_t>(r);
    SetF(static_cast<uint8_t>((ORVO_F & kFSZPV) | ((r >> 16) & kFC) | ((r >> 8) & kF53) |
                              HalfcarryAddTable[lk]));
  }
  ORVO_Z80_INLINE void Adc16(uint16_t v) {
    Idle(ORVO_IR, 7);
    const uint16_t hl = ORVO_HL;
    const uint32_t r = uint32_t{hl} + v + (ORVO_F & kFC);
    const unsigned lk = ((hl & 0x8800u) >> 11) | ((v & 0x8800u) >> 10) | ((r & 0x8800u) >> 9);
    c.MEMPTR = static_cast<uint16_t>(hl + 1);
    ORVO_HL = static_cast<uint16_t>(r);
    SetF(static_cast<uint8_t>(((r >> 16) & kFC) | OverflowAddTable[lk >> 4] |
                              (ORVO_H & (kF53 | kFS)) | HalfcarryAddTable[lk & 7] |
                              (ORVO_HL ? 0 : kFZ)));
  }
  ORVO_Z80_INLINE void Sbc16(uint16_t v) {
    Idle(ORVO_IR, 7);
    const uint16_t hl = ORVO_HL;
    const uint32_t r = uint32_t{hl} - v - (ORVO_F & kFC);
    const unsigned lk = ((hl & 0x8800u) >> 11) | ((v & 0x8800u) >> 10) | ((r & 0x8800u) >> 9);
    c.MEMPTR = static_cast<uint16_t>(hl + 1);
    ORVO_HL = static_cast<uint16_t>(r);
    SetF(static_cast<uint8_t>(((r >> 16) & kFC) | kFN | OverflowSubTable[lk >> 4] |
                              (ORVO_H & (kF53 | kFS)) | HalfcarrySubTable[lk & 7] |
                              (ORVO_HL ? 0 : kFZ)));
  }

  // ---- rotates, shifts and bit operations ----

  ORVO_Z80_INLINE uint8_t Rlc(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>((v << 1) | (v >> 7));
    SetF(static_cast<uint8_t>((r & kFC) | SZ53PTable[r]));
    return r;
  }
  ORVO_Z80_INLINE uint8_t Rrc(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>((v >> 1) | (v << 7));
    SetF(static_cast<uint8_t>((v & kFC) | SZ53PTable[r]));
    return r;
  }
  ORVO_Z80_INLINE uint8_t Rl(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>((v << 1) | (ORVO_F & kFC));
    SetF(static_cast<uint8_t>((v >> 7) | SZ53PTable[r]));
    return r;
  }
  ORVO_Z80_INLINE uint8_t Rr(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>((v >> 1) | (ORVO_F << 7));
    SetF(static_cast<uint8_t>((v & kFC) | SZ53PTable[r]));
    return r;
  }
  ORVO_Z80_INLINE uint8_t Sla(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v << 1);
    SetF(static_cast<uint8_t>((v >> 7) | SZ53PTable[r]));
    return r;
  }
  ORVO_Z80_INLINE uint8_t Sra(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>((v & 0x80) | (v >> 1));
    SetF(static_cast<uint8_t>((v & kFC) | SZ53PTable[r]));
    return r;
  }
  // The undocumented shift that feeds a 1 into bit 0.
  ORVO_Z80_INLINE uint8_t Sll(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>((v << 1) | 1);
    SetF(static_cast<uint8_t>((v >> 7) | SZ53PTable[r]));
    return r;
  }
  ORVO_Z80_INLINE uint8_t Srl(uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v >> 1);
    SetF(static_cast<uint8_t>((v & kFC) | SZ53PTable[r]));
    return r;
  }
  // Rotate or shift selected by bits 3-5 of a CB opcode.
  ORVO_Z80_INLINE uint8_t Rot(uint8_t op, uint8_t v) {
    switch ((op >> 3) & 7) {
      case 0: return Rlc(v);
      case 1: return Rrc(v);
      case 2: return Rl(v);
      case 3: return Rr(v);
      case 4: return Sla(v);
      case 5: return Sra(v);
      case 6: return Sll(v);
      default: return Srl(v);
    }
  }
  // BIT n: Z and P/V for a clear bit, S for a set bit 7; bits 5 and 3 from `xy`, which is the
  // tested register, or the high byte of MEMPTR for the memory forms.
  ORVO_Z80_INLINE void Bit(int n, uint8_t v, uint8_t xy) {
    const uint8_t bit = static_cast<uint8_t>(v & (1u << n));
    SetF(static_cast<uint8_t>((ORVO_F & kFC) | kFH | (xy & kF53) | (bit & kFS) |
                              (bit ? 0 : (kFZ | kFPV))));
  }

  // ---- register selection by opcode field (B C D E H L - A) ----

  ORVO_Z80_INLINE uint8_t& Reg8(int r) {
    switch (r) {
      case 0: return ORVO_B;
      case 1: return ORVO_C;
      case 2: return ORVO_D;
      case 3: return ORVO_E;
      case 4: return ORVO_H;
      case 5: return ORVO_L;
      default: return ORVO_A;
    }
  }

  // ---- instructions spanning several cases ----

  ORVO_Z80_INLINE void JumpRelative() {
    const int8_t d = static_cast<int8_t>(Rd(PC));
    Idle(PC, 5);
    PC = static_cast<uint16_t>(PC + 1 + d);
    c.MEMPTR = PC;
  }
  ORVO_Z80_INLINE void JrIf(bool cond) {
    if (cond) {
      JumpRelative();
    } else {
      Rd(PC);
      ++PC;
    }
  }
  ORVO_Z80_INLINE void JpIf(bool cond) {
    const uint16_t nn = Imm16();
    c.MEMPTR = nn;
    if (cond) PC = nn;
  }
  ORVO_Z80_INLINE void CallIf(bool cond) {
    const uint16_t nn = Imm16();
    c.MEMPTR = nn;
    if (cond) {
      Idle(static_cast<uint16_t>(PC - 1), 1);
      Push(PC);
      PC = nn;
    }
  }
  ORVO_Z80_INLINE void Ret() {
    PC = Pop();
    c.MEMPTR = PC;
  }
  ORVO_Z80_INLINE void RetIf(bool cond) {
    Idle(ORVO_IR, 1);
    if (cond) Ret();
  }
  ORVO_Z80_INLINE void Rst(uint16_t p) {
    Idle(ORVO_IR, 1);
    Push(PC);
    PC = p;
    c.MEMPTR = p;
  }
  ORVO_Z80_INLINE void PushRr(uint16_t v) {
    Idle(ORVO_IR, 1);
    Push(v);
  }
  ORVO_Z80_INLINE void ExSp(uint16_t& rr) {
    const uint16_t sp = c.SP;
    const uint16_t sp1 = static_cast<uint16_t>(sp + 1);
    const uint8_t lo = Rd(sp);
    const uint8_t hi = Rd(sp1);
    Idle(sp1, 1);
    Wr(sp1, static_cast<uint8_t>(rr >> 8));
    Wr(sp, static_cast<uint8_t>(rr));
    Idle(sp, 2);
    rr = static_cast<uint16_t>(lo | hi << 8);
    c.MEMPTR = rr;
  }
  // SCF and CCF: bits 5 and 3 from A on the CMOS part; on the NMOS part from A OR (F XOR Q of the
  // previous instruction), so they follow A alone right after a flag-writing instruction.
  ORVO_Z80_INLINE uint8_t ScfCcfXy(uint8_t prevQ) {
    return bus.IsCmos() ? ORVO_A : static_cast<uint8_t>((ORVO_F ^ prevQ) | ORVO_A);
  }
  ORVO_Z80_INLINE void Daa() {
    uint8_t add = 0;
    uint8_t carry = ORVO_F & kFC;
    if ((ORVO_F & kFH) || (ORVO_A & 0x0F) > 9) add = 6;
    if (carry || ORVO_A > 0x99) {
      add |= 0x60;
      carry = kFC;
    }
    if (ORVO_F & kFN) {
      Sub(add);
    } else {
      Add(add);
    }
    SetF(static_cast<uint8_t>((ORVO_F & ~(kFC | kFPV)) | carry | ParityTable[ORVO_A]));
  }

  // ---- prefixed groups ----
  ORVO_Z80_INLINE void ExecuteCb();
  ORVO_Z80_INLINE void ExecuteEd();
  ORVO_Z80_INLINE void ExecuteIndexed(RegPair& xy, uint8_t prevQ);
  ORVO_Z80_INLINE void ExecuteIndexedCb(RegPair& xy);
  ORVO_Z80_INLINE uint16_t IndexAddress(const RegPair& xy);

  // ---- block instructions ----
  ORVO_Z80_INLINE void BlockLoad(int dir, bool repeat);
  ORVO_Z80_INLINE void BlockCompare(int dir, bool repeat);
  ORVO_Z80_INLINE void BlockIn(int dir, bool repeat);
  ORVO_Z80_INLINE void BlockOut(int dir, bool repeat);
  ORVO_Z80_INLINE void BlockIoFlags(uint8_t value, unsigned k, bool repeat);

  ORVO_Z80_INLINE uint8_t InC() {
    const uint8_t v = InPort(ORVO_BC);
    c.MEMPTR = static_cast<uint16_t>(ORVO_BC + 1);
    SetF(static_cast<uint8_t>((ORVO_F & kFC) | SZ53PTable[v]));
    return v;
  }
  ORVO_Z80_INLINE void OutC(uint8_t v) {
    OutPort(ORVO_BC, v);
    c.MEMPTR = static_cast<uint16_t>(ORVO_BC + 1);
  }

  // Leaves HALT for an accepted INT or NMI. A HALT that was never stepped over (a snapshot taken
  // while halted) still has PC on the HALT opcode.
  ORVO_Z80_INLINE void LeaveHalt() {
    if (c.Halted) {
      if (!c.HaltNoAdvance) ++PC;
      c.Halted = 0;
    }
    c.HaltNoAdvance = 0;
  }
};

// ---------------------------------------------------------------------------------------------
// One call of EXECUTE_Z80.

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::Execute() {
  const uint32_t start = T;
  // A quiet run records where its last instruction began and what it took when it ends.
  if constexpr (Quiet) {
    prevStart = instrStart;
    instrStart = start;
  } else {
    bus.InstructionStartTState = start;
  }

  // The INT line is sampled once, at the instruction boundary; the instruction after EI or after
  // a lone index prefix is never interrupted.
  // A quiet run begins only once the line is no longer active (RunZ80Until).
  if (!Quiet && T < bus.InterruptLength() && bus.InterruptArmed && c.IFF1 &&
      !(c.EiDelay | c.PrefixPending)) [[unlikely]] {
    AcceptInterrupt();
  }

  const uint8_t prevQ = c.Q;
  c.EiDelay = 0;
  c.PrefixPending = 0;
  c.LdAIR = 0;
  c.Q = 0;

  if (c.HaltNoAdvance) [[unlikely]] {
    // Halted: the CPU keeps fetching at PC without executing anything.
    c.LastFetchPC = PC;
    BusFetch(PC);
    RefreshAfterBusFetch();
    if constexpr (requires { bus.HaltRunFetches(T, PC); }) {
      // The machine may let the run of identical fetches up to its next event go at once: each
      // is 4 T-states and one refresh, so only the counters move.
      if (const uint32_t n = bus.HaltRunFetches(T, PC)) {
        T += 4 * n;
        if constexpr (kUnwatched) {
          fetches += n;
        } else {
          bus.FetchCount += n;
          ORVO_R = static_cast<uint8_t>(ORVO_R + n);  // bit 7 is kept apart (R7)
        }
      }
    }
  } else if (uint8_t op; NextOpcode(op)) {
#define ORVO_REG_CASES(base, STMT_R, STMT_M) \
  case (base) + 0: {                         \
    uint8_t& r = ORVO_B;                     \
    STMT_R;                                  \
  } break;                                   \
  case (base) + 1: {                         \
    uint8_t& r = ORVO_C;                     \
    STMT_R;                                  \
  } break;                                   \
  case (base) + 2: {                         \
    uint8_t& r = ORVO_D;                     \
    STMT_R;                                  \
  } break;                                   \
  case (base) + 3: {                         \
    uint8_t& r = ORVO_E;                     \
    STMT_R;                                  \
  } break;                                   \
  case (base) + 4: {                         \
    uint8_t& r = ORVO_H;                     \
    STMT_R;                                  \
  } break;                                   \
  case (base) + 5: {                         \
    uint8_t& r = ORVO_L;                     \
    STMT_R;                                  \
  } break;                                   \
  case (base) + 6: {                         \
    STMT_M;                                  \
  } break;                                   \
  case (base) + 7: {                         \
    uint8_t& r = ORVO_A;                     \
    STMT_R;                                  \
  } break;

    switch (op) {
      case 0x00: break;  // NOP
      case 0x01: ORVO_BC = Imm16(); break;
      case 0x02:  // LD (BC),A
        Wr(ORVO_BC, ORVO_A);
        c.MEMPTR = static_cast<uint16_t>(((ORVO_BC + 1) & 0xFF) | (ORVO_A << 8));
        break;
      case 0x03:
        Idle(ORVO_IR, 2);
        ++ORVO_BC;
        break;
      case 0x04: ORVO_B = Inc8(ORVO_B); break;
      case 0x05: ORVO_B = Dec8(ORVO_B); break;
      case 0x06: ORVO_B = Imm8(); break;
      case 0x07: {  // RLCA
        ORVO_A = static_cast<uint8_t>((ORVO_A << 1) | (ORVO_A >> 7));
        SetF(static_cast<uint8_t>((ORVO_F & kFSZPV) | (ORVO_A & (kFC | kF53))));
        break;
      }
      case 0x08: {  // EX AF,AF'
        const uint16_t t = c.AF.w;
        c.AF.w = c.AF_.w;
        c.AF_.w = t;
        break;
      }
      case 0x09: Add16(ORVO_HL, ORVO_BC); break;
      case 0x0A:
        ORVO_A = Rd(ORVO_BC);
        c.MEMPTR = static_cast<uint16_t>(ORVO_BC + 1);
        break;
      case 0x0B:
        Idle(ORVO_IR, 2);
        --ORVO_BC;
        break;
      case 0x0C: ORVO_C = Inc8(ORVO_C); break;
      case 0x0D: ORVO_C = Dec8(ORVO_C); break;
      case 0x0E: ORVO_C = Imm8(); break;
      case 0x0F: {  // RRCA
        const uint8_t cf = ORVO_A & kFC;
        ORVO_A = static_cast<uint8_t>((ORVO_A >> 1) | (ORVO_A << 7));
        SetF(static_cast<uint8_t>((ORVO_F & kFSZPV) | cf | (ORVO_A & kF53)));
        break;
      }
      case 0x10:  // DJNZ
        Idle(ORVO_IR, 1);
        --ORVO_B;
        JrIf(ORVO_B != 0);
        break;
      case 0x11: ORVO_DE = Imm16(); break;
      case 0x12:
        Wr(ORVO_DE, ORVO_A);
        c.MEMPTR = static_cast<uint16_t>(((ORVO_DE + 1) & 0xFF) | (ORVO_A << 8));
        break;
      case 0x13:
        Idle(ORVO_IR, 2);
        ++ORVO_DE;
        break;
      case 0x14: ORVO_D = Inc8(ORVO_D); break;
      case 0x15: ORVO_D = Dec8(ORVO_D); break;
      case 0x16: ORVO_D = Imm8(); break;
      case 0x17: {  // RLA
        const uint8_t old = ORVO_A;
        ORVO_A = static_cast<uint8_t>((ORVO_A << 1) | (ORVO_F & kFC));
        SetF(static_cast<uint8_t>((ORVO_F & kFSZPV) | (ORVO_A & kF53) | (old >> 7)));
        break;
      }
      case 0x18: JumpRelative(); break;
      case 0x19: Add16(ORVO_HL, ORVO_DE); break;
      case 0x1A:
        ORVO_A = Rd(ORVO_DE);
        c.MEMPTR = static_cast<uint16_t>(ORVO_DE + 1);
        break;
      case 0x1B:
        Idle(ORVO_IR, 2);
        --ORVO_DE;
        break;
      case 0x1C: ORVO_E = Inc8(ORVO_E); break;
      case 0x1D: ORVO_E = Dec8(ORVO_E); break;
      case 0x1E: ORVO_E = Imm8(); break;
      case 0x1F: {  // RRA
        const uint8_t old = ORVO_A;
        ORVO_A = static_cast<uint8_t>((ORVO_A >> 1) | (ORVO_F << 7));
        SetF(static_cast<uint8_t>((ORVO_F & kFSZPV) | (ORVO_A & kF53) | (old & kFC)));
        break;
      }
      case 0x20: JrIf(!(ORVO_F & kFZ)); break;
      case 0x21: ORVO_HL = Imm16(); break;
      case 0x22: {  // LD (nn),HL
        const uint16_t nn = Imm16();
        Wr16(nn, ORVO_HL);
        c.MEMPTR = static_cast<uint16_t>(nn + 1);
        break;
      }
      case 0x23:
        Idle(ORVO_IR, 2);
        ++ORVO_HL;
        break;
      case 0x24: ORVO_H = Inc8(ORVO_H); break;
      case 0x25: ORVO_H = Dec8(ORVO_H); break;
      case 0x26: ORVO_H = Imm8(); break;
      case 0x27: Daa(); break;
      case 0x28: JrIf(ORVO_F & kFZ); break;
      case 0x29: Add16(ORVO_HL, ORVO_HL); break;
      case 0x2A: {  // LD HL,(nn)
        const uint16_t nn = Imm16();
        ORVO_HL = Rd16(nn);
        c.MEMPTR = static_cast<uint16_t>(nn + 1);
        break;
      }
      case 0x2B:
        Idle(ORVO_IR, 2);
        --ORVO_HL;
        break;
      case 0x2C: ORVO_L = Inc8(ORVO_L); break;
      case 0x2D: ORVO_L = Dec8(ORVO_L); break;
      case 0x2E: ORVO_L = Imm8(); break;
      case 0x2F:  // CPL
        ORVO_A ^= 0xFF;
        SetF(static_cast<uint8_t>((ORVO_F & (kFC | kFPV | kFZ | kFS)) | (ORVO_A & kF53) | kFN |
                                  kFH));
        break;
      case 0x30: JrIf(!(ORVO_F & kFC)); break;
      case 0x31: c.SP = Imm16(); break;
      case 0x32: {  // LD (nn),A
        const uint16_t nn = Imm16();
        Wr(nn, ORVO_A);
        c.MEMPTR = static_cast<uint16_t>(((nn + 1) & 0xFF) | (ORVO_A << 8));
        break;
      }
      case 0x33:
        Idle(ORVO_IR, 2);
        ++c.SP;
        break;
      case 0x34: {
        const uint8_t v = Rd(ORVO_HL);
        Idle(ORVO_HL, 1);
        Wr(ORVO_HL, Inc8(v));
        break;
      }
      case 0x35: {
        const uint8_t v = Rd(ORVO_HL);
        Idle(ORVO_HL, 1);
        Wr(ORVO_HL, Dec8(v));
        break;
      }
      case 0x36: Wr(ORVO_HL, Imm8()); break;
      case 0x37: {  // SCF
        const uint8_t xy = ScfCcfXy(prevQ);
        SetF(static_cast<uint8_t>((ORVO_F & kFSZPV) | (xy & kF53) | kFC));
        break;
      }
      case 0x38: JrIf(ORVO_F & kFC); break;
      case 0x39: Add16(ORVO_HL, c.SP); break;
      case 0x3A: {  // LD A,(nn)
        const uint16_t nn = Imm16();
        ORVO_A = Rd(nn);
        c.MEMPTR = static_cast<uint16_t>(nn + 1);
        break;
      }
      case 0x3B:
        Idle(ORVO_IR, 2);
        --c.SP;
        break;
      case 0x3C: ORVO_A = Inc8(ORVO_A); break;
      case 0x3D: ORVO_A = Dec8(ORVO_A); break;
      case 0x3E: ORVO_A = Imm8(); break;
      case 0x3F: {  // CCF
        const uint8_t xy = ScfCcfXy(prevQ);
        const uint8_t f = ORVO_F;
        SetF(static_cast<uint8_t>((f & kFSZPV) | (xy & kF53) | ((f & kFC) ? kFH : kFC)));
        break;
      }

        ORVO_REG_CASES(0x40, ORVO_B = r, ORVO_B = Rd(ORVO_HL))
        ORVO_REG_CASES(0x48, ORVO_C = r, ORVO_C = Rd(ORVO_HL))
        ORVO_REG_CASES(0x50, ORVO_D = r, ORVO_D = Rd(ORVO_HL))
        ORVO_REG_CASES(0x58, ORVO_E = r, ORVO_E = Rd(ORVO_HL))
        ORVO_REG_CASES(0x60, ORVO_H = r, ORVO_H = Rd(ORVO_HL))
        ORVO_REG_CASES(0x68, ORVO_L = r, ORVO_L = Rd(ORVO_HL))
      case 0x70: Wr(ORVO_HL, ORVO_B); break;
      case 0x71: Wr(ORVO_HL, ORVO_C); break;
      case 0x72: Wr(ORVO_HL, ORVO_D); break;
      case 0x73: Wr(ORVO_HL, ORVO_E); break;
      case 0x74: Wr(ORVO_HL, ORVO_H); break;
      case 0x75: Wr(ORVO_HL, ORVO_L); break;
      case 0x76:  // HALT: PC already points past it and stays there until INT or NMI
        c.Halted = 1;
        c.HaltNoAdvance = 1;
        break;
      case 0x77:
        Wr(ORVO_HL, ORVO_A);
        break;
        ORVO_REG_CASES(0x78, ORVO_A = r, ORVO_A = Rd(ORVO_HL))

        ORVO_REG_CASES(0x80, Add(r), Add(Rd(ORVO_HL)))
        ORVO_REG_CASES(0x88, Adc(r), Adc(Rd(ORVO_HL)))
        ORVO_REG_CASES(0x90, Sub(r), Sub(Rd(ORVO_HL)))
        ORVO_REG_CASES(0x98, Sbc(r), Sbc(Rd(ORVO_HL)))
        ORVO_REG_CASES(0xA0, And(r), And(Rd(ORVO_HL)))
        ORVO_REG_CASES(0xA8, Xor(r), Xor(Rd(ORVO_HL)))
        ORVO_REG_CASES(0xB0, Or(r), Or(Rd(ORVO_HL)))
      case 0xB8: Cp(ORVO_B); break;
      case 0xB9: Cp(ORVO_C); break;
      case 0xBA: Cp(ORVO_D); break;
      case 0xBB: Cp(ORVO_E); break;
      case 0xBC: Cp(ORVO_H); break;
      case 0xBD: Cp(ORVO_L); break;
      case 0xBE: Cp(Rd(ORVO_HL)); break;
      case 0xBF: Cp(ORVO_A); break;

      case 0xC0: RetIf(!(ORVO_F & kFZ)); break;
      case 0xC1: ORVO_BC = Pop(); break;
      case 0xC2: JpIf(!(ORVO_F & kFZ)); break;
      case 0xC3: JpIf(true); break;
      case 0xC4: CallIf(!(ORVO_F & kFZ)); break;
      case 0xC5: PushRr(ORVO_BC); break;
      case 0xC6: Add(Imm8()); break;
      case 0xC7: Rst(0x00); break;
      case 0xC8: RetIf(ORVO_F & kFZ); break;
      case 0xC9: Ret(); break;
      case 0xCA: JpIf(ORVO_F & kFZ); break;
      case 0xCB: ExecuteCb(); break;
      case 0xCC: CallIf(ORVO_F & kFZ); break;
      case 0xCD: CallIf(true); break;
      case 0xCE: Adc(Imm8()); break;
      case 0xCF: Rst(0x08); break;
      case 0xD0: RetIf(!(ORVO_F & kFC)); break;
      case 0xD1: ORVO_DE = Pop(); break;
      case 0xD2: JpIf(!(ORVO_F & kFC)); break;
      case 0xD3: {  // OUT (n),A
        const uint8_t n = Imm8();
        OutPort(static_cast<uint16_t>(n | ORVO_A << 8), ORVO_A);
        c.MEMPTR = static_cast<uint16_t>(((n + 1) & 0xFF) | (ORVO_A << 8));
        break;
      }
      case 0xD4: CallIf(!(ORVO_F & kFC)); break;
      case 0xD5: PushRr(ORVO_DE); break;
      case 0xD6: Sub(Imm8()); break;
      case 0xD7: Rst(0x10); break;
      case 0xD8: RetIf(ORVO_F & kFC); break;
      case 0xD9:  // EXX
        Exchange(ORVO_BC, c.BC_.w);
        Exchange(ORVO_DE, c.DE_.w);
        Exchange(ORVO_HL, c.HL_.w);
        break;
      case 0xDA: JpIf(ORVO_F & kFC); break;
      case 0xDB: {  // IN A,(n)
        const uint16_t port = static_cast<uint16_t>(Imm8() | ORVO_A << 8);
        c.MEMPTR = static_cast<uint16_t>(port + 1);
        ORVO_A = InPort(port);
        break;
      }
      case 0xDC: CallIf(ORVO_F & kFC); break;
      case 0xDD: ExecuteIndexed(c.IX, prevQ); break;
      case 0xDE: Sbc(Imm8()); break;
      case 0xDF: Rst(0x18); break;
      case 0xE0: RetIf(!(ORVO_F & kFPV)); break;
      case 0xE1: ORVO_HL = Pop(); break;
      case 0xE2: JpIf(!(ORVO_F & kFPV)); break;
      case 0xE3: ExSp(ORVO_HL); break;
      case 0xE4: CallIf(!(ORVO_F & kFPV)); break;
      case 0xE5: PushRr(ORVO_HL); break;
      case 0xE6: And(Imm8()); break;
      case 0xE7: Rst(0x20); break;
      case 0xE8: RetIf(ORVO_F & kFPV); break;
      case 0xE9: PC = ORVO_HL; break;
      case 0xEA: JpIf(ORVO_F & kFPV); break;
      case 0xEB:  // EX DE,HL
        Exchange(ORVO_DE, ORVO_HL);
        break;
      case 0xEC: CallIf(ORVO_F & kFPV); break;
      case 0xED: ExecuteEd(); break;
      case 0xEE: Xor(Imm8()); break;
      case 0xEF: Rst(0x28); break;
      case 0xF0: RetIf(!(ORVO_F & kFS)); break;
      case 0xF1: c.AF.w = Pop(); break;
      case 0xF2: JpIf(!(ORVO_F & kFS)); break;
      case 0xF3:  // DI
        c.IFF1 = 0;
        c.IFF2 = 0;
        break;
      case 0xF4: CallIf(!(ORVO_F & kFS)); break;
      case 0xF5: PushRr(c.AF.w); break;
      case 0xF6: Or(Imm8()); break;
      case 0xF7: Rst(0x30); break;
      case 0xF8: RetIf(ORVO_F & kFS); break;
      case 0xF9:
        Idle(ORVO_IR, 2);
        c.SP = ORVO_HL;
        break;
      case 0xFA: JpIf(ORVO_F & kFS); break;
      case 0xFB:  // EI
        c.IFF1 = 1;
        c.IFF2 = 1;
        c.EiDelay = 1;
        break;
      case 0xFC: CallIf(ORVO_F & kFS); break;
      case 0xFD: ExecuteIndexed(c.IY, prevQ); break;
      case 0xFE: Cp(Imm8()); break;
      case 0xFF: Rst(0x38); break;
    }
  }

  if constexpr (!Quiet) bus.InstructionTStates = T - start;
}

// ---------------------------------------------------------------------------------------------
// CB: rotates, shifts, BIT, RES and SET.

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::ExecuteCb() {
  const uint8_t op = Fetch();

#define ORVO_CB_ROT(base, FN)       \
  ORVO_REG_CASES(base, r = FN(r), { \
    const uint8_t v = Rd(ORVO_HL);  \
    Idle(ORVO_HL, 1);               \
    Wr(ORVO_HL, FN(v));             \
  })
#define ORVO_CB_BIT(base, n)                        \
  ORVO_REG_CASES(base, Bit(n, r, r), {              \
    const uint8_t v = Rd(ORVO_HL);                  \
    Idle(ORVO_HL, 1);                               \
    Bit(n, v, static_cast<uint8_t>(c.MEMPTR >> 8)); \
  })
#define ORVO_CB_RES(base, n)                                    \
  ORVO_REG_CASES(base, r &= static_cast<uint8_t>(~(1u << n)), { \
    const uint8_t v = Rd(ORVO_HL);                              \
    Idle(ORVO_HL, 1);                                           \
    Wr(ORVO_HL, static_cast<uint8_t>(v & ~(1u << n)));          \
  })
#define ORVO_CB_SET(base, n)                                 \
  ORVO_REG_CASES(base, r |= static_cast<uint8_t>(1u << n), { \
    const uint8_t v = Rd(ORVO_HL);                           \
    Idle(ORVO_HL, 1);                                        \
    Wr(ORVO_HL, static_cast<uint8_t>(v | (1u << n)));        \
  })

  switch (op) {
    ORVO_CB_ROT(0x00, Rlc)
    ORVO_CB_ROT(0x08, Rrc)
    ORVO_CB_ROT(0x10, Rl)
    ORVO_CB_ROT(0x18, Rr)
    ORVO_CB_ROT(0x20, Sla)
    ORVO_CB_ROT(0x28, Sra)
    ORVO_CB_ROT(0x30, Sll)
    ORVO_CB_ROT(0x38, Srl)
    ORVO_CB_BIT(0x40, 0)
    ORVO_CB_BIT(0x48, 1)
    ORVO_CB_BIT(0x50, 2)
    ORVO_CB_BIT(0x58, 3)
    ORVO_CB_BIT(0x60, 4)
    ORVO_CB_BIT(0x68, 5)
    ORVO_CB_BIT(0x70, 6)
    ORVO_CB_BIT(0x78, 7)
    ORVO_CB_RES(0x80, 0)
    ORVO_CB_RES(0x88, 1)
    ORVO_CB_RES(0x90, 2)
    ORVO_CB_RES(0x98, 3)
    ORVO_CB_RES(0xA0, 4)
    ORVO_CB_RES(0xA8, 5)
    ORVO_CB_RES(0xB0, 6)
    ORVO_CB_RES(0xB8, 7)
    ORVO_CB_SET(0xC0, 0)
    ORVO_CB_SET(0xC8, 1)
    ORVO_CB_SET(0xD0, 2)
    ORVO_CB_SET(0xD8, 3)
    ORVO_CB_SET(0xE0, 4)
    ORVO_CB_SET(0xE8, 5)
    ORVO_CB_SET(0xF0, 6)
    ORVO_CB_SET(0xF8, 7)
  }

#undef ORVO_CB_ROT
#undef ORVO_CB_BIT
#undef ORVO_CB_RES
#undef ORVO_CB_SET
}

// ---------------------------------------------------------------------------------------------
// ED: the extended group. Every opcode not listed is a no-operation of two M1 cycles.

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::ExecuteEd() {
  const uint8_t op = Fetch();
  switch (op) {
    case 0x40: ORVO_B = InC(); break;
    case 0x48: ORVO_C = InC(); break;
    case 0x50: ORVO_D = InC(); break;
    case 0x58: ORVO_E = InC(); break;
    case 0x60: ORVO_H = InC(); break;
    case 0x68: ORVO_L = InC(); break;
    case 0x70: InC(); break;  // flags only
    case 0x78: ORVO_A = InC(); break;
    case 0x41: OutC(ORVO_B); break;
    case 0x49: OutC(ORVO_C); break;
    case 0x51: OutC(ORVO_D); break;
    case 0x59: OutC(ORVO_E); break;
    case 0x61: OutC(ORVO_H); break;
    case 0x69: OutC(ORVO_L); break;
    case 0x71: OutC(bus.IsCmos() ? 0xFF : 0x00); break;  // the data bus floats differently
    case 0x79: OutC(ORVO_A); break;
    case 0x42: Sbc16(ORVO_BC); break;
    case 0x52: Sbc16(ORVO_DE); break;
    case 0x62: Sbc16(ORVO_HL); break;
    case 0x72: Sbc16(c.SP); break;
    case 0x4A: Adc16(ORVO_BC); break;
    case 0x5A: Adc16(ORVO_DE); break;
    case 0x6A: Adc16(ORVO_HL); break;
    case 0x7A: Adc16(c.SP); break;
    case 0x43:
    case 0x53:
    case 0x63:
    case 0x73: {  // LD (nn),rr
      const uint16_t nn = Imm16();
      const uint16_t v = op == 0x43 ? ORVO_BC : op == 0x53 ? ORVO_DE : op == 0x63 ? ORVO_HL : c.SP;
      Wr16(nn, v);
      c.MEMPTR = static_cast<uint16_t>(nn + 1);
      break;
    }
    case 0x4B:
    case 0x5B:
    case 0x6B:
    case 0x7B: {  // LD rr,(nn)
      const uint16_t nn = Imm16();
      const uint16_t v = Rd16(nn);
      c.MEMPTR = static_cast<uint16_t>(nn + 1);
      if (op == 0x4B) {
        ORVO_BC = v;
      } else if (op == 0x5B) {
        ORVO_DE = v;
      } else if (op == 0x6B) {
        ORVO_HL = v;
      } else {
        c.SP = v;
      }
      break;
    }
    case 0x44:
    case 0x4C:
    case 0x54:
    case 0x5C:
    case 0x64:
    case 0x6C:
    case 0x74:
    case 0x7C: {  // NEG
      const uint8_t v = ORVO_A;
      ORVO_A = 0;
      Sub(v);
      break;
    }
    case 0x45:
    case 0x4D:
    case 0x55:
    case 0x5D:
    case 0x65:
    case 0x6D:
    case 0x75:
    case 0x7D:  // RETN, RETI and their mirrors
      c.IFF1 = c.IFF2;
      Ret();
      break;
    case 0x46:
    case 0x4E:
    case 0x66:
    case 0x6E: c.IM = 0; break;
    case 0x56:
    case 0x76: c.IM = 1; break;
    case 0x5E:
    case 0x7E: c.IM = 2; break;
    case 0x47:  // LD I,A
      Idle(ORVO_IR, 1);
      ORVO_I = ORVO_A;
      Store();
      bus.OnIRegisterWrite();
      Resume();
      break;
    case 0x4F:  // LD R,A: bit 7 is kept apart, the refresh counter only turns the low seven
      Idle(ORVO_IR, 1);
      SetR(ORVO_A & 0x7F);
      c.R7 = ORVO_A & 0x80;
      break;
    case 0x57:  // LD A,I
      Idle(ORVO_IR, 1);
      ORVO_A = ORVO_I;
      SetF(static_cast<uint8_t>((ORVO_F & kFC) | SZ53Table[ORVO_A] | (c.IFF2 ? kFPV : 0)));
      c.LdAIR = 1;
      break;
    case 0x5F:  // LD A,R
      Idle(ORVO_IR, 1);
      ORVO_A = static_cast<uint8_t>((RValue() & 0x7F) | c.R7);
      SetF(static_cast<uint8_t>((ORVO_F & kFC) | SZ53Table[ORVO_A] | (c.IFF2 ? kFPV : 0)));
      c.LdAIR = 1;
      break;
    case 0x67: {  // RRD
      const uint8_t v = Rd(ORVO_HL);
      Idle(ORVO_HL, 4);
      Wr(ORVO_HL, static_cast<uint8_t>((ORVO_A << 4) | (v >> 4)));
      ORVO_A = static_cast<uint8_t>((ORVO_A & 0xF0) | (v & 0x0F));
      SetF(static_cast<uint8_t>((ORVO_F & kFC) | SZ53PTable[ORVO_A]));
      c.MEMPTR = static_cast<uint16_t>(ORVO_HL + 1);
      break;
    }
    case 0x6F: {  // RLD
      const uint8_t v = Rd(ORVO_HL);
      Idle(ORVO_HL, 4);
      Wr(ORVO_HL, static_cast<uint8_t>((v << 4) | (ORVO_A & 0x0F)));
      ORVO_A = static_cast<uint8_t>((ORVO_A & 0xF0) | (v >> 4));
      SetF(static_cast<uint8_t>((ORVO_F & kFC) | SZ53PTable[ORVO_A]));
      c.MEMPTR = static_cast<uint16_t>(ORVO_HL + 1);
      break;
    }
    case 0xA0: BlockLoad(1, false); break;
    case 0xA1: BlockCompare(1, false); break;
    case 0xA2: BlockIn(1, false); break;
    case 0xA3: BlockOut(1, false); break;
    case 0xA8: BlockLoad(-1, false); break;
    case 0xA9: BlockCompare(-1, false); break;
    case 0xAA: BlockIn(-1, false); break;
    case 0xAB: BlockOut(-1, false); break;
    case 0xB0: BlockLoad(1, true); break;
    case 0xB1: BlockCompare(1, true); break;
    case 0xB2: BlockIn(1, true); break;
    case 0xB3: BlockOut(1, true); break;
    case 0xB8: BlockLoad(-1, true); break;
    case 0xB9: BlockCompare(-1, true); break;
    case 0xBA: BlockIn(-1, true); break;
    case 0xBB: BlockOut(-1, true); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Block instructions. A repeating form that goes round again moves PC back onto itself and ends
// the call, so the next call fetches ED and the opcode again and an interrupt can fall in between.
// While repeating, bits 5 and 3 of F come from the high byte of the instruction's address.

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::BlockLoad(int dir, bool repeat) {
  const uint8_t v = Rd(ORVO_HL);
  Wr(ORVO_DE, v);
  Idle(ORVO_DE, 2);
  --ORVO_BC;
  const uint8_t n = static_cast<uint8_t>(v + ORVO_A);
  uint8_t f = static_cast<uint8_t>((ORVO_F & (kFC | kFZ | kFS)) | (ORVO_BC ? kFPV : 0) | (n & kF3) |
                                   ((n << 4) & kF5));
  if (repeat && ORVO_BC) {
    Idle(ORVO_DE, 5);
    PC = static_cast<uint16_t>(PC - 2);
    c.MEMPTR = static_cast<uint16_t>(PC + 1);
    f = static_cast<uint8_t>((f & ~kF53) | ((PC >> 8) & kF53));
  }
  SetF(f);
  ORVO_HL = static_cast<uint16_t>(ORVO_HL + dir);
  ORVO_DE = static_cast<uint16_t>(ORVO_DE + dir);
}

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::BlockCompare(int dir, bool repeat) {
  const uint8_t v = Rd(ORVO_HL);
  Idle(ORVO_HL, 5);
  const uint8_t r = static_cast<uint8_t>(ORVO_A - v);
  const unsigned lk = ((ORVO_A & 0x08u) >> 3) | ((v & 0x08u) >> 2) | ((r & 0x08u) >> 1);
  --ORVO_BC;
  uint8_t f = static_cast<uint8_t>((ORVO_F & kFC) | (ORVO_BC ? kFPV : 0) | kFN |
                                   HalfcarrySubTable[lk] | (r ? 0 : kFZ) | (r & kFS));
  const uint8_t n = static_cast<uint8_t>(r - ((f & kFH) ? 1 : 0));
  f = static_cast<uint8_t>(f | (n & kF3) | ((n << 4) & kF5));
  c.MEMPTR = static_cast<uint16_t>(c.MEMPTR + dir);
  if (repeat && ORVO_BC && r) {
    Idle(ORVO_HL, 5);
    PC = static_cast<uint16_t>(PC - 2);
    c.MEMPTR = static_cast<uint16_t>(PC + 1);
    f = static_cast<uint8_t>((f & ~kF53) | ((PC >> 8) & kF53));
  }
  SetF(f);
  ORVO_HL = static_cast<uint16_t>(ORVO_HL + dir);
}

// Flags of INI/IND/OUTI/OUTD with B already decremented; k is the value plus the adjusted C (IN
// forms) or plus L after the step (OUT forms).
template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::BlockIoFlags(uint8_t value, unsigned k,
                                                             bool repeat) {
  const uint8_t b = ORVO_B;
  const bool carry = k > 255;
  uint8_t f = static_cast<uint8_t>(SZ53Table[b] | ((value >> 6) & kFN) | (carry ? kFH | kFC : 0));
  const uint8_t pbase = static_cast<uint8_t>((k & 7) ^ b);
  if (repeat && b) {
    // Going round again: the flags show the state of the internal increment or decrement of B
    // that the repeat performs.
    f = static_cast<uint8_t>((f & ~(kF53 | kFH | kFPV)) | ((PC >> 8) & kF53));
    if (carry) {
      if (value & 0x80) {
        f |= ParityTable[pbase ^ ((b - 1) & 7)];
        if ((b & 0x0F) == 0x00) f |= kFH;
      } else {
        f |= ParityTable[pbase ^ ((b + 1) & 7)];
        if ((b & 0x0F) == 0x0F) f |= kFH;
      }
    } else {
      f |= ParityTable[pbase ^ (b & 7)];
    }
  } else {
    f |= ParityTable[pbase];
  }
  SetF(f);
}

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::BlockIn(int dir, bool repeat) {
  Idle(ORVO_IR, 1);
  const uint8_t v = InPort(ORVO_BC);
  Wr(ORVO_HL, v);
  c.MEMPTR = static_cast<uint16_t>(ORVO_BC + dir);
  --ORVO_B;
  const unsigned k = v + static_cast<uint8_t>(ORVO_C + dir);
  if (repeat && ORVO_B) {
    Idle(ORVO_HL, 5);
    PC = static_cast<uint16_t>(PC - 2);
    c.MEMPTR = static_cast<uint16_t>(PC + 1);
  }
  BlockIoFlags(v, k, repeat);
  ORVO_HL = static_cast<uint16_t>(ORVO_HL + dir);
}

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::BlockOut(int dir, bool repeat) {
  Idle(ORVO_IR, 1);
  const uint8_t v = Rd(ORVO_HL);
  --ORVO_B;
  c.MEMPTR = static_cast<uint16_t>(ORVO_BC + dir);
  OutPort(ORVO_BC, v);
  ORVO_HL = static_cast<uint16_t>(ORVO_HL + dir);
  const unsigned k = v + unsigned{ORVO_L};
  if (repeat && ORVO_B) {
    Idle(ORVO_BC, 5);
    PC = static_cast<uint16_t>(PC - 2);
    c.MEMPTR = static_cast<uint16_t>(PC + 1);
  }
  BlockIoFlags(v, k, repeat);
}

// ---------------------------------------------------------------------------------------------
// DD and FD: HL replaced by IX or IY. A byte with no index form undoes its fetch and leaves the
// prefix as a 4 T-state no-operation; the next call fetches that byte again unprefixed.

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE uint16_t Core<Bus, Quiet, Trapped>::IndexAddress(const RegPair& xy) {
  const int8_t d = static_cast<int8_t>(Rd(PC));
  Idle(PC, 5);
  ++PC;
  const uint16_t a = static_cast<uint16_t>(xy.w + d);
  c.MEMPTR = a;
  return a;
}

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::ExecuteIndexed(RegPair& xy, uint8_t prevQ) {
  const uint8_t op = Fetch();
  uint8_t& xh = xy.b.h;
  uint8_t& xl = xy.b.l;

#define ORVO_XY_ALU(base, FN)     \
  case (base) + 4: FN(xh); break; \
  case (base) + 5: FN(xl); break; \
  case (base) + 6: FN(Rd(IndexAddress(xy))); break;

  switch (op) {
    case 0x09: Add16(xy.w, ORVO_BC); break;
    case 0x19: Add16(xy.w, ORVO_DE); break;
    case 0x29: Add16(xy.w, xy.w); break;
    case 0x39: Add16(xy.w, c.SP); break;
    case 0x21: xy.w = Imm16(); break;
    case 0x22: {
      const uint16_t nn = Imm16();
      Wr16(nn, xy.w);
      c.MEMPTR = static_cast<uint16_t>(nn + 1);
      break;
    }
    case 0x23:
      Idle(ORVO_IR, 2);
      ++xy.w;
      break;
    case 0x24: xh = Inc8(xh); break;
    case 0x25: xh = Dec8(xh); break;
    case 0x26: xh = Imm8(); break;
    case 0x2A: {
      const uint16_t nn = Imm16();
      xy.w = Rd16(nn);
      c.MEMPTR = static_cast<uint16_t>(nn + 1);
      break;
    }
    case 0x2B:
      Idle(ORVO_IR, 2);
      --xy.w;
      break;
    case 0x2C: xl = Inc8(xl); break;
    case 0x2D: xl = Dec8(xl); break;
    case 0x2E: xl = Imm8(); break;
    case 0x34: {
      const uint16_t a = IndexAddress(xy);
      const uint8_t v = Rd(a);
      Idle(a, 1);
      Wr(a, Inc8(v));
      break;
    }
    case 0x35: {
      const uint16_t a = IndexAddress(xy);
      const uint8_t v = Rd(a);
      Idle(a, 1);
      Wr(a, Dec8(v));
      break;
    }
    case 0x36: {  // LD (IX+d),n: the offset calculation overlaps the operand read
      const int8_t d = static_cast<int8_t>(Rd(PC++));
      const uint8_t n = Rd(PC);
      Idle(PC, 2);
      ++PC;
      const uint16_t a = static_cast<uint16_t>(xy.w + d);
      c.MEMPTR = a;
      Wr(a, n);
      break;
    }
    case 0x44: ORVO_B = xh; break;
    case 0x45: ORVO_B = xl; break;
    case 0x46: ORVO_B = Rd(IndexAddress(xy)); break;
    case 0x4C: ORVO_C = xh; break;
    case 0x4D: ORVO_C = xl; break;
    case 0x4E: ORVO_C = Rd(IndexAddress(xy)); break;
    case 0x54: ORVO_D = xh; break;
    case 0x55: ORVO_D = xl; break;
    case 0x56: ORVO_D = Rd(IndexAddress(xy)); break;
    case 0x5C: ORVO_E = xh; break;
    case 0x5D: ORVO_E = xl; break;
    case 0x5E: ORVO_E = Rd(IndexAddress(xy)); break;
    case 0x60: xh = ORVO_B; break;
    case 0x61: xh = ORVO_C; break;
    case 0x62: xh = ORVO_D; break;
    case 0x63: xh = ORVO_E; break;
    case 0x64: break;  // LD IXH,IXH
    case 0x65: xh = xl; break;
    case 0x66: ORVO_H = Rd(IndexAddress(xy)); break;
    case 0x67: xh = ORVO_A; break;
    case 0x68: xl = ORVO_B; break;
    case 0x69: xl = ORVO_C; break;
    case 0x6A: xl = ORVO_D; break;
    case 0x6B: xl = ORVO_E; break;
    case 0x6C: xl = xh; break;
    case 0x6D: break;  // LD IXL,IXL
    case 0x6E: ORVO_L = Rd(IndexAddress(xy)); break;
    case 0x6F: xl = ORVO_A; break;
    case 0x70: Wr(IndexAddress(xy), ORVO_B); break;
    case 0x71: Wr(IndexAddress(xy), ORVO_C); break;
    case 0x72: Wr(IndexAddress(xy), ORVO_D); break;
    case 0x73: Wr(IndexAddress(xy), ORVO_E); break;
    case 0x74: Wr(IndexAddress(xy), ORVO_H); break;
    case 0x75: Wr(IndexAddress(xy), ORVO_L); break;
    case 0x77: Wr(IndexAddress(xy), ORVO_A); break;
    case 0x7C: ORVO_A = xh; break;
    case 0x7D: ORVO_A = xl; break;
    case 0x7E:
      ORVO_A = Rd(IndexAddress(xy));
      break;
      ORVO_XY_ALU(0x80, Add)
      ORVO_XY_ALU(0x88, Adc)
      ORVO_XY_ALU(0x90, Sub)
      ORVO_XY_ALU(0x98, Sbc)
      ORVO_XY_ALU(0xA0, And)
      ORVO_XY_ALU(0xA8, Xor)
      ORVO_XY_ALU(0xB0, Or)
      ORVO_XY_ALU(0xB8, Cp)
    case 0xCB: ExecuteIndexedCb(xy); break;
    case 0xE1: xy.w = Pop(); break;
    case 0xE3: ExSp(xy.w); break;
    case 0xE5: PushRr(xy.w); break;
    case 0xE9: PC = xy.w; break;
    case 0xF9:
      Idle(ORVO_IR, 2);
      c.SP = xy.w;
      break;
    default:
      // No index form: undo the fetch. A contention wait it met stays charged, so the repeated
      // fetch starts where this one did and is not delayed again.
      --PC;
      if constexpr (!kUnwatched) --ORVO_R;  // else it follows the fetch count below
      T -= 4;
      c.PrefixPending = 1;
      c.Q = prevQ;  // a lone prefix leaves Q as the instruction before it set it
      // The opcode fetch counter (RZX) counts M1 cycles; this one is made again by the next call.
      if constexpr (kUnwatched) {
        --fetches;
      } else if constexpr (requires { bus.FetchCount; }) {
        --bus.FetchCount;
      }
      break;
  }
#undef ORVO_XY_ALU
}

// DD CB d op / FD CB d op: the offset and the final opcode are read as data, not fetched, so R
// counts only the two prefix fetches. Register forms also leave the result in the register.
template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::ExecuteIndexedCb(RegPair& xy) {
  const int8_t d = static_cast<int8_t>(Rd(PC));
  const uint16_t opAddr = static_cast<uint16_t>(PC + 1);
  const uint8_t op = Rd(opAddr);
  Idle(opAddr, 2);
  PC = static_cast<uint16_t>(PC + 2);
  const uint16_t a = static_cast<uint16_t>(xy.w + d);
  c.MEMPTR = a;
  const uint8_t v = Rd(a);
  Idle(a, 1);
  const int n = (op >> 3) & 7;
  uint8_t r;
  switch (op & 0xC0) {
    case 0x40: Bit(n, v, static_cast<uint8_t>(a >> 8)); return;
    case 0x00: r = Rot(op, v); break;
    case 0x80: r = static_cast<uint8_t>(v & ~(1u << n)); break;
    default: r = static_cast<uint8_t>(v | (1u << n)); break;
  }
  Wr(a, r);
  if ((op & 7) != 6) Reg8(op & 7) = r;
}

// ---------------------------------------------------------------------------------------------
// Interrupts.

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::AcceptInterrupt() {
  // The NMOS part resets P/V when LD A,I or LD A,R is interrupted: IFF2 is read too late.
  if (c.LdAIR && !bus.IsCmos()) ORVO_F &= static_cast<uint8_t>(~kFPV);
  LeaveHalt();
  T += 7;                                    // the acknowledge cycle
  SetR(static_cast<uint8_t>(RValue() + 1));  // a refresh without a counted fetch
  c.IFF1 = 0;
  c.IFF2 = 0;
  Push(PC);
  if (c.IM == 2) {
    Store();
    const uint8_t low = bus.InterruptDataBus();
    Resume();
    const uint16_t vector = static_cast<uint16_t>(ORVO_I << 8 | low);
    PC = Rd16(vector);
  } else {
    PC = 0x0038;  // IM 1, and IM 0 with 0xFF (RST 38h) on the bus
  }
  c.MEMPTR = PC;
  c.Q = 0;
}

template <class Bus, bool Quiet, bool Trapped>
ORVO_Z80_INLINE void Core<Bus, Quiet, Trapped>::AcceptNmi() {
  if constexpr (requires { bus.NmiRequest; }) {
    // Between a lone index prefix and its instruction the NMI waits (the request stays set and
    // is offered again after the next step): pushing the address after the prefix would make the
    // instruction run unprefixed on return.
    if (c.PrefixPending) return;
    bus.NmiRequest = 0;
  }
  c.IFF1 = 0;  // IFF2 keeps the state RETN restores
  LeaveHalt();
  // 11 T-states: an M1 cycle of five at PC (the byte read is ignored; the address is contended
  // as any fetch's), then the two stack writes.
  BusFetch(PC);
  Idle(ORVO_IR, 1);
  RefreshAfterBusFetch();
  Push(PC);
  PC = 0x0066;
  c.Q = 0;
  Store();
  bus.OnNmiAccepted();
  Resume();
}

#undef ORVO_REG_CASES
#undef ORVO_A
#undef ORVO_F
#undef ORVO_B
#undef ORVO_C
#undef ORVO_D
#undef ORVO_E
#undef ORVO_H
#undef ORVO_L
#undef ORVO_I
#undef ORVO_R
#undef ORVO_BC
#undef ORVO_DE
#undef ORVO_HL
#undef ORVO_IR

}  // namespace z80_detail

// EXECUTE_Z80: one step of the CPU against `bus` (see cpu/bus.h).
template <class Bus>
ORVO_Z80_FLATTEN inline void ExecuteZ80(Bus& bus) {
  z80_detail::Core<Bus>(bus).Execute();
}

// Runs ExecuteZ80 steps while the bus's FrameTState is below `limit`, calling `after()` after each
// step; `after` returns false to stop early. One call runs many instructions, so the loop, the
// core and `after` are compiled as one piece: no call and no register save per instruction.
template <class Bus, class After>
ORVO_Z80_FLATTEN inline void RunZ80Until(Bus& bus, uint32_t limit, After&& after) {
  z80_detail::Core<Bus> core(bus);
  while (bus.FrameTState < limit) {
    core.Execute();
    if (!after()) break;
  }
}

// A quiet run on its own: a function of its own so that the compiler allocates registers for
// this loop alone (the counter and the machine's address stay in registers), not across both
// cores. True when an instruction called out of the core. The trapped form also looks for fetch
// traps at every instruction.
template <class Bus, bool Trapped = false>
[[gnu::noinline]] ORVO_Z80_FLATTEN bool RunZ80Quiet(Bus& bus, uint32_t limit) {
  z80_detail::Core<Bus, true, Trapped> core(bus);
  const bool calledOut = core.RunQuiet(limit);
  core.Store();
  core.HandBackLastInstruction();
  return calledOut;
}

// The same, for a caller whose hooks can wait: `batch.Until(limit)` says up to which T-state
// instructions may run back to back before the hooks must look at the machine (no more than
// the bus's FrameTState when the next instruction needs them at once, 0 when they need every
// instruction for a while), and `batch.End(calledOut)` brings them up to date after such a run
// (calledOut: its last instruction called out of the core, and may have switched on a hook that
// wants that instruction); false stops the run.
// While the bus's memory cycles have no watchers those stretches run on the quiet core, with the
// fetch traps looked up by address where any are registered. The rest runs instruction by
// instruction with `after()`; both paths run the machine alike.
template <class Bus, class After, class Batch>
ORVO_Z80_FLATTEN inline void RunZ80Until(Bus& bus, uint32_t limit, After&& after, Batch&& batch) {
  // Hooks that need every instruction stay on for a while (typing, the debugger, a printer):
  // once a batch is refused, it is asked for again only every so many instructions.
  constexpr uint32_t kRecheckInstructions = 256;
  // While the INT line may be sampled active (the frame's first T-states) the plain steps run:
  // the quiet core leaves that test out.
  z80_detail::Core<Bus> core(bus);
  while (bus.FrameTState < limit) {
    const bool intWindow = bus.FrameTState < bus.InterruptLength();
    if (!intWindow && bus.QuietCyclesAllowed()) {
      const uint32_t until = batch.Until(limit);
      if (until > bus.FrameTState) {
        bool calledOut = false;
        // A run that ended at a port read the bus lets it go on past (a loader polling the tape,
        // a game reading the keyboard) is taken up again at once: its hooks are fed when the
        // batch ends, its last instruction among the rest.
        for (;;) {
          if constexpr (requires { bus.QuietRunResumes(); }) bus.QuietReadResume = 0;
          calledOut = bus.FetchTraps.Armed() ? RunZ80Quiet<Bus, true>(bus, until)
                                             : RunZ80Quiet<Bus, false>(bus, until);
          if constexpr (requires { bus.QuietRunResumes(); }) {
            if (calledOut && bus.FrameTState < until && bus.QuietRunResumes()) {
              bus.SkipTapePolling(until);
              continue;
            }
          }
          break;
        }
        if (!batch.End(calledOut)) return;
        continue;
      }
      // Refused only because something falls due after the very next instruction (a tape edge):
      // that one runs on its own and the batch is asked for again.
      if (until != 0) {
        core.Execute();
        if (!after()) return;
        continue;
      }
    }
    for (uint32_t n = kRecheckInstructions; n != 0 && bus.FrameTState < limit; --n) {
      core.Execute();
      if (!after()) return;
      if (intWindow && bus.FrameTState >= bus.InterruptLength()) break;
    }
  }
}

// Accepts the maskable interrupt as a step of its own, before the routine's first instruction
// (the debugger steps into an interrupt this way). The caller has checked that it is due
// (InterruptDue); `InstructionTStates` is what the acceptance took.
template <class Bus>
inline void AcceptInterruptZ80(Bus& bus) {
  const uint32_t start = bus.FrameTState;
  bus.InstructionStartTState = start;
  z80_detail::Core<Bus> core(bus);
  core.AcceptInterrupt();
  core.Store();
  bus.cpu.LdAIR = 0;
  bus.InstructionTStates = bus.FrameTState - start;
}

// True when the next step begins by accepting the maskable interrupt: the INT line is active and
// armed, IFF1 is set and the step does not follow EI or a lone index prefix.
template <class Bus>
inline bool InterruptDue(const Bus& bus) {
  const CpuState& c = bus.cpu;
  return bus.FrameTState < bus.InterruptLength() && bus.InterruptArmed && c.IFF1 &&
         !(c.EiDelay | c.PrefixPending);
}

// Accepts a non-maskable interrupt whatever IFF1 and the EI shadow say: leaves HALT, pushes PC and
// continues at 0x0066 with IFF1 clear (IFF2 keeps the state for RETN). Costs 7 T-states plus the
// contention of the two stack writes; MEMPTR is left alone. Right after a lone DD/FD prefix the
// request (`NmiRequest`) is left pending until the prefixed instruction has run.
template <class Bus>
inline void AcceptNmi(Bus& bus) {
  z80_detail::Core<Bus>(bus).AcceptNmi();
}

}  // namespace orvo

#undef ORVO_Z80_INLINE
#undef ORVO_Z80_FLATTEN
