#pragma once
// The SNA snapshot format: a 27-byte register header and the RAM.
//
// 48K (49179 bytes): header and RAM 0x4000-0xFFFF, PC pushed on the stack. 128K (131103 or 147487
// bytes): header, banks 5 and 2, the bank paged at 0xC000, PC, the 0x7FFD value, a TR-DOS byte,
// then the other banks in ascending order (the paged bank twice over when it is 5 or 2, which
// makes the longer file).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/format_status.h"
#include "formats/snapshot_record.h"

namespace orvo {

constexpr size_t kSna48Size = 49179;
constexpr size_t kSna128Size = 131103;
constexpr size_t kSna128LongSize = 147487;

// Reads an SNA file into `out`: a 48K file as the 48K model with PC still on its stack
// (cpu.pcOnStack), a 128K file as the 128K model. Error: SnapshotLength when the size is not one
// of the three, or a 128K file is too short for its paged bank.
FormatStatus ParseSNA(std::span<const uint8_t> data, SnapshotRecord& out);

// False when the 48K form cannot hold the record's PC: the two bytes under SP are ROM, where the
// pushed PC cannot be kept.
bool SnaCanHoldPc(const SnapshotRecord& record);

// The whole SNA file of `record`: the 48K form on the 16K, 48K and Custom models (PC pushed on
// the file's copy of the stack), the 128K form on the 128K family.
std::vector<uint8_t> WriteSNA(const SnapshotRecord& record);

}  // namespace orvo
