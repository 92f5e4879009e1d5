#pragma once
// The headless runner's add-on options: --multiface and --multiface-one fit a Multiface,
// --nmi-at F presses its button (the NMI) before frame F, --if2 FILE inserts an Interface II
// cartridge and --speech currah|orator fits a speech unit.
#include <string>
#include <vector>

namespace orvo {

class Emulator;
struct Settings;

struct AddonRunOptions {
  int multiface = 0;  // the "MULTIFACE" value
  std::vector<long> nmiFrames;
  std::string cartridgePath;
  std::string speech;  // "", "currah" or "orator"
};

extern const char kAddonRunHelp[];

// When args[i] is an add-on option, takes it and its value (advancing i) and returns 1; returns 0
// for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseAddonRunOption(const std::vector<std::string>& args, size_t& i, AddonRunOptions& options,
                        std::string* error);

class AddonRun {
 public:
  explicit AddonRun(AddonRunOptions options) : options_(std::move(options)) {}

  // Before machine set-up: the add-on settings.
  void Configure(Settings& settings) const;
  // After set-up and reset: inserts the cartridge and reports the add-ons fitted. Returns false
  // after a failure was reported.
  bool Start(Emulator& emu) const;
  // Before frame `frame` (counted from 0): the NMI when one is asked for there.
  void BeforeFrame(Emulator& emu, long frame) const;

 private:
  AddonRunOptions options_;
};

}  // namespace orvo
