#pragma once
// The headless runner's assembler options: --assemble FILE assembles a source into the machine
// after it is set up; --asm-out writes the result to a file of bytes, a TAP with a BASIC loader
// or a snapshot; --run LABEL starts the code there; --asm-listing writes the listing and symbols.
#include <string>
#include <vector>

namespace orvo {

class Emulator;

struct AssemblerRunOptions {
  std::string source;       // --assemble
  std::string outPath;      // --asm-out
  std::string runLabel;     // --run
  std::string listingPath;  // --asm-listing
  int bank = -1;            // --asm-bank: the 128K bank for 0xC000-0xFFFF; -1 what is paged in
};

extern const char kAssemblerRunHelp[];

// When args[i] is one of these options, takes it and its value (advancing i) and returns 1;
// returns 0 for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseAssemblerRunOption(const std::vector<std::string>& args, size_t& i,
                            AssemblerRunOptions& options, std::string* error);

// After set-up and loading: assembles, reports every error and warning on standard error, and
// puts the code where the options say. False when the source has errors or an output failed.
bool ApplyAssemblerAtStart(Emulator& emu, const AssemblerRunOptions& options);

}  // namespace orvo
