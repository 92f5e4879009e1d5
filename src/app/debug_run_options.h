#pragma once
// The headless runner's debugger options: --break ADDR[:COND] stops the run at the first hit of a
// breakpoint, --pc-log FILE logs every instruction of the run, --disassemble FROM-TO prints the
// listing of memory at the end (labels on). Addresses are hexadecimal ("0x" optional).
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

class Emulator;

struct DebugRunOptions {
  struct Break {
    std::string address;    // as the debugger reads it ("#" hex)
    std::string condition;  // "A=0", "HL>#4000", ... or empty
  };
  std::vector<Break> breaks;
  std::string pcLogPath;
  bool disassemble = false;
  uint16_t disassembleFrom = 0, disassembleTo = 0;
};

extern const char kDebugRunHelp[];

// When args[i] is a debugger option, takes it and its value (advancing i) and returns 1; 0 for any
// other argument; -1 (with `error` set) for a missing or bad value.
int ParseDebugRunOption(const std::vector<std::string>& args, size_t& i, DebugRunOptions& options,
                        std::string* error);

class DebugRun {
 public:
  explicit DebugRun(DebugRunOptions options) : options_(std::move(options)) {}

  // After machine set-up: arms the breakpoints and starts the log. False after a message.
  bool Start(Emulator& emu);
  // A breakpoint was hit (the run ends there).
  bool Hit(const Emulator& emu) const;
  // --break was given: a run that never hits ends with exit code 3.
  bool WantsBreak() const { return !options_.breaks.empty(); }
  // The end of the run: closes the log, prints the listing.
  void Finish(Emulator& emu);

 private:
  DebugRunOptions options_;
};

}  // namespace orvo
