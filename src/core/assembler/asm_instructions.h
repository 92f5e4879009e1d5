#pragma once
// Encoding of the Z80 instructions from their parsed operands.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvo::asm_detail {

struct Operand {
  enum Kind : uint8_t {
    kName,      // a register or condition: A, IXH, HL, AF', NZ... (upper case in `name`)
    kIndirect,  // (BC) (DE) (HL) (SP) (C)
    kIndexed,   // (IX+d) (IY+d): `name` is IX or IY, `value` is d
    kMemory,    // (nn)
    kValue,     // nn
  };
  Kind kind = kValue;
  std::string name;
  int64_t value = 0;
  bool known = true;  // false in the first pass for a label not yet defined
  int column = 1;
};

// True for the reserved names that an operand takes as a register or a condition.
bool IsRegisterName(const std::string& upper);

// True when `upper` is an instruction mnemonic.
bool IsMnemonic(const std::string& upper);

using AsmErrorSink = std::function<void(int column, const std::string& message)>;

// Encodes one instruction at `pc` into `out`. Values out of their range are reported only when
// `check` is set (the final pass); an operand that fits no form of the instruction is reported
// and emits nothing.
void EncodeInstruction(const std::string& mnemonic, int mnemonicColumn,
                       const std::vector<Operand>& operands, uint32_t pc, bool check,
                       std::vector<uint8_t>& out, const AsmErrorSink& error);

}  // namespace orvo::asm_detail
