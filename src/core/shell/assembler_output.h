#pragma once
// Where assembled code goes: into the running machine (through the poke path, so any 128K bank
// can be named), with its symbols as the debugger's labels; to a file of bytes; to a TAP with a
// BASIC loader; or to a snapshot of the machine that starts the code.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assembler/assembler.h"

namespace orvo {

class Emulator;
struct MachineState;

// The bank value for "whatever is paged in".
constexpr uint8_t kAsmPagedMemory = 8;

// Writes every assembled byte. `bank` 0..7 puts the bytes at 0xC000-0xFFFF into that 128K bank
// (on a 128K model); kAsmPagedMemory writes where the Z80 would, so a byte aimed at ROM is lost.
void LoadAssembly(MachineState& m, const AsmResult& result, uint8_t bank = kAsmPagedMemory);

// The program's labels (its constants left out) become the debugger's labels.
void SetAssemblyLabels(MachineState& m, const AsmResult& result);

// Where the code starts: the label `name` when given, else END's operand, else the first byte
// assembled. Nothing (with `error`) for an unknown label or an empty program.
std::optional<uint16_t> AssemblyEntry(const AsmResult& result, std::string_view name,
                                      std::string* error);

// A tape of two programs: a BASIC loader "10 CLEAR start-1: LOAD "" CODE : RANDOMIZE USR entry"
// that runs itself, and the code from its lowest to its highest address. `name` is cut to the
// ten characters a tape header holds.
std::vector<uint8_t> AssemblyTap(const AsmResult& result, std::string_view name, uint16_t entry);

// Runs frames from a reset until the ROM waits for a key (at most `frameLimit`).
bool BootToKeyWait(Emulator& emu, uint32_t frameLimit = 400);

// Saves by the extension of `path`: .tap (AssemblyTap), .z80/.szx/.sna (the machine with the code
// loaded, its labels set and PC at `entry`), anything else the bytes alone (.bin). False with
// `error` when nothing was written.
bool SaveAssemblyOutput(Emulator& emu, const AsmResult& result, const std::string& path,
                        uint16_t entry, std::string* error);

}  // namespace orvo
