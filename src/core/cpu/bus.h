#pragma once
// What the Z80 core needs from the machine it runs in.
//
// ExecuteZ80<Bus>(Bus& bus) (cpu/z80.h) runs one instruction against any type that provides the
// members below. The Spectrum machine (MachineState) is one such type; the bare-CPU harness of the
// tests (flat 64 KB, ports answering as each suite expects) is another. Everything is resolved at
// compile time: no virtual calls on the per-access path.
//
//   CpuState cpu;                         the register file
//   uint32_t FrameTState;                 T-state counter; every access adds its cost to it
//   uint32_t InstructionStartTState;      FrameTState when the current call began
//   uint32_t InstructionTStates;          T-states of the last call
//   uint8_t  InterruptArmed;              the INT line is sampled only while this is set
//   uint32_t SpeechClocks[2];             advanced by InstructionTStates after every call
//   uint32_t TrapFlags;                   bit set of the kTrap* flags below (0: no traps)
//
//   Optional, used when present:
//   uint32_t NmiRequest;                  AcceptNmi clears it, or leaves it set while a lone
//                                         DD/FD prefix waits for its instruction
//   uint32_t FetchCount;                  counted up by FetchOpcode; the core takes back the
//                                         fetch a lone prefix undoes, so it counts M1 cycles
//
//   uint8_t  FetchOpcode(uint16_t a);     bus side of an M1 cycle: contention, 4 T-states,
//                                         RZX fetch count, ULA snow; returns the byte at a
//   uint8_t  ReadByte(uint16_t a);        contention + 3 T-states
//   void     WriteByte(uint16_t a, uint8_t v);   contention + 3 T-states, then the store
//   void     InternalCycles(uint16_t a, uint32_t n);  n single T-states with a on the bus
//   uint8_t  ReadPort(uint16_t port);     charges the whole I/O cycle itself
//   void     WritePort(uint16_t port, uint8_t v);
//   uint32_t InterruptLength() const;     T-states from the frame start the INT line is active
//   uint8_t  InterruptDataBus();          byte an IM 2 acknowledge reads (0xFF normally)
//   bool     IsCmos() const;              Z80_is_CMOS setting
//   void     OnIRegisterWrite();          LD I,A happened (ULA snow re-arming)
//   void     OnNmiAccepted();             NMI taken (Multiface paging)
//
//   Trap hooks, called only when the matching TrapFlags bit is set:
//   void     OnTapeStartTrap();           CP A at 0x056A
//   bool     OnTapeLoadTrap();            RET NZ at 0x056B; true when a block was loaded
//   void     OnIf1PageIn();               Interface 1 ROM in (LD HL,(nn) at 0x0008, INC HL at
//   0x1708) bool     If1Paged() const; void     OnIf1PageOut();              RET at 0x0700 void
//   OnIf1MicrodriveTrap(int which);   LD A,(IX+d) at 0x1B61 (0) / 0x1BEA (1) void
//   OnUSpeechToggle();           PUSH AF at 0x0038 bool     DiskFastTrapModel() const;   +3 with
//   "Disk fastLoad" (DEC BC at 0x2144, LD L,n at 0x201B)
#include <cstdint>

namespace orvo {

enum TrapFlag : uint32_t {
  kTrapTape = 1u << 0,
  kTrapIf1 = 1u << 1,
  kTrapPlus3Disk = 1u << 2,
  kTrapUSpeech = 1u << 3,
};

}  // namespace orvo
