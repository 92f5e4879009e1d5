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
//   FetchTrapList FetchTraps;             code run before the fetch of an instruction at given
//                                         addresses (cpu/fetch_traps.h); empty: one flag test
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
#include "cpu/fetch_traps.h"
