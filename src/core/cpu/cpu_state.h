#pragma once
// The Z80 register file. Pairs are stored little-endian so that a pair and its two halves share
// storage (F is the low byte of AF, C of BC, ...; IR holds R low and I high).
#include <cstdint>

namespace orvo {

union RegPair {
  uint16_t w;
  struct {
    uint8_t l;  // low byte (F, C, E, L, IXL, IYL, R)
    uint8_t h;  // high byte (A, B, D, H, IXH, IYH, I)
  } b;
};
static_assert(sizeof(RegPair) == 2);

struct CpuState {
  RegPair AF{}, BC{}, DE{}, HL{};
  RegPair IX{}, IY{};
  RegPair IR{};                        // I << 8 | R; also the refresh address put on the bus
  RegPair AF_{}, BC_{}, DE_{}, HL_{};  // alternate set
  uint16_t PC = 0, SP = 0;
  uint16_t MEMPTR = 0;
  uint16_t LastFetchPC = 0;
  uint8_t R7 = 0;  // bit 7 of R as last loaded by LD R,A
  uint8_t IFF1 = 0, IFF2 = 0;
  uint8_t IM = 0;
  uint8_t Halted = 0;
  uint32_t HaltNoAdvance = 0;
  uint8_t EiDelay = 0;
  uint8_t PrefixPending = 0;
  uint8_t Q = 0;      // F as written by the last instruction, 0 if it wrote no flags
  uint8_t LdAIR = 0;  // the last instruction was LD A,I or LD A,R
};

}  // namespace orvo
