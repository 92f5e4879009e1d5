#pragma once
// Label tables for the disassembler: routine names of the 48K ROM (as in the published ROM
// disassembly, with "_" for its hyphens) and the names of the 48K system variables.
#include <cstdint>
#include <span>

namespace orvo {

struct AddressLabel {
  const char* name;
  uint16_t address;
};

// The 48K ROM's routine labels in ascending address order.
std::span<const AddressLabel> RomLabels();
// The 69 system variables in ascending address order.
std::span<const AddressLabel> SystemVariables();

// The name at `address`, or null.
const char* RomLabelAt(uint16_t address);
const char* SystemVariableAt(uint16_t address);

}  // namespace orvo
