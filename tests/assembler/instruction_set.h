#pragma once
// Every instruction the debugger's disassembler knows, each once in its usual encoding, laid out
// from an address as one source: the texts are the disassembler's own, so assembling them and
// disassembling the result must give the same bytes and the same text back.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "debugger/disassembler.h"

namespace orvo::test {

struct InstructionLine {
  uint16_t address;
  std::vector<uint8_t> bytes;
  std::string text;  // as the disassembler prints it at `address`
};

inline uint8_t PeekVector(const void* context, uint16_t address) {
  return (*static_cast<const std::vector<uint8_t>*>(context))[address];
}

inline std::vector<InstructionLine> AllInstructions(uint16_t origin) {
  // The candidates in the order that keeps an assembler's own choice first where several
  // encodings print alike (LD (nn),HL before ED 63; BIT n,(IX+d) with the usual low bits 110).
  std::vector<std::vector<uint8_t>> candidates;
  for (uint8_t operand : {0x34, 0xFB}) {
    auto add = [&](std::vector<uint8_t> op) {
      op.push_back(operand);
      op.push_back(0x12);
      candidates.push_back(op);
    };
    for (int op = 0; op < 256; ++op) add({static_cast<uint8_t>(op)});
    for (int op = 0; op < 256; ++op) add({0xCB, static_cast<uint8_t>(op)});
    for (int op = 0; op < 256; ++op) add({0xED, static_cast<uint8_t>(op)});
    for (uint8_t prefix : {0xDD, 0xFD}) {
      for (int op = 0; op < 256; ++op) add({prefix, static_cast<uint8_t>(op)});
      for (int pass = 0; pass < 2; ++pass) {
        for (int op = 0; op < 256; ++op) {
          if (((op & 7) == 6) != (pass == 0)) continue;
          candidates.push_back({prefix, 0xCB, operand, static_cast<uint8_t>(op)});
        }
      }
    }
  }
  std::vector<uint8_t> memory(0x10000, 0);
  std::map<std::string, bool> seen;
  std::vector<std::vector<uint8_t>> chosen;
  for (const auto& c : candidates) {
    std::fill(memory.begin(), memory.begin() + 8, 0);
    std::copy(c.begin(), c.end(), memory.begin());
    const DisassembledLine line = DisassembleAt(PeekVector, &memory, 0, {});
    if (line.text.rfind("DEFB", 0) == 0) continue;
    if (seen[line.text]) continue;
    seen[line.text] = true;
    chosen.emplace_back(memory.begin(), memory.begin() + line.length);
  }
  std::vector<InstructionLine> out;
  uint32_t address = origin;
  std::fill(memory.begin(), memory.end(), 0);
  for (const auto& bytes : chosen) {
    std::copy(bytes.begin(), bytes.end(), memory.begin() + address);
    const DisassembledLine line =
        DisassembleAt(PeekVector, &memory, static_cast<uint16_t>(address), {});
    out.push_back({static_cast<uint16_t>(address), bytes, line.text});
    address += static_cast<uint32_t>(bytes.size());
  }
  return out;
}

}  // namespace orvo::test
