#pragma once
// Load Binary File and Save Binary File: raw bytes into memory at an address, and a range of
// memory out to a file. Memory is written and read as the Z80 sees it (a byte aimed at ROM is
// lost, as a poke there would be).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "shell/messages.h"

namespace orvo {

struct MachineState;

// Copies `bytes` to `address` onwards. A block that would run past 0xFFFF is refused whole
// (131) rather than wrapped round to address 0; an address above 0xFFFF gives 135.
MessageId LoadBinary(MachineState& m, std::span<const uint8_t> bytes, uint32_t address);
// Reads the file and loads it as LoadBinary does; 8 when it cannot be read.
MessageId LoadBinaryFile(MachineState& m, const std::string& path, uint32_t address);
// `length` bytes from `address`, or nothing with 131/135 when the range leaves memory.
MessageId ReadMemoryRange(const MachineState& m, uint32_t address, uint32_t length,
                          std::vector<uint8_t>& out);
// Saves the range through a temporary file renamed over `path`; 134 when it cannot be written.
MessageId SaveBinaryFile(const MachineState& m, const std::string& path, uint32_t address,
                         uint32_t length);

}  // namespace orvo
