#pragma once
// The SNA snapshot format: a 27-byte register header and the RAM.
//
// 48K (49179 bytes): header and RAM 0x4000-0xFFFF, PC pushed on the stack. 128K (131103 or 147487
// bytes): header, banks 5 and 2, the bank paged at 0xC000, PC, the 0x7FFD value, a TR-DOS byte,
// then the other banks in ascending order (the paged bank twice over when it is 5 or 2, which
// makes the longer file).
#include <cstdint>
#include <span>
#include <vector>

namespace orvo {

class Emulator;
struct MachineState;

constexpr size_t kSna48Size = 49179;
constexpr size_t kSna128Size = 131103;
constexpr size_t kSna128LongSize = 147487;

// Loads an SNA snapshot. Returns 0, or 1 after message 12 "Snapshot Error: Incorrect snapshot
// length" when the size is not one of the three, or a 128K file is too short for its paged bank;
// the machine is then unchanged.
int LoadSNA(Emulator& emu, std::span<const uint8_t> data);

// False when the 48K form cannot hold the machine's PC: the two bytes under SP are ROM, where the
// pushed PC cannot be kept.
bool SnaCanHoldPc(const MachineState& m);

// The whole SNA file for the current machine: the 48K form on the 16K, 48K and Custom models, the
// 128K form on the 128K family. The running machine is not changed.
std::vector<uint8_t> BuildSNA(const MachineState& m);

// The SNA writer of the Save snapshot command, into `out`. Returns 0.
int SaveSNA(const MachineState& m, std::vector<uint8_t>& out);

}  // namespace orvo
