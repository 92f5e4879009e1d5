#pragma once
// The headless runner's Beta 128 options: --beta128 fits the interface to a 48K, 128K or +2 (the
// Pentagon has it built in), --trd-a FILE .. --trd-d FILE put TRD or SCL images into its four
// drives, --new-trd FILE writes a blank formatted TR-DOS disk first. Changed images are saved back
// at the end (an SCL's to the TRD file of its name beside it).
#include <string>
#include <vector>

namespace orvo {

class Emulator;
struct Settings;

struct BetaRunOptions {
  bool beta128 = false;
  std::string paths[4];  // A: to D:; empty: none
  std::string newDiskPath;
};

extern const char kBetaRunHelp[];

// When args[i] is a Beta 128 option, takes it and its value (advancing i) and returns 1; returns
// 0 for any other argument and -1 (with `error` set) for a missing value.
int ParseBetaRunOption(const std::vector<std::string>& args, size_t& i, BetaRunOptions& options,
                       std::string* error);

class BetaRun {
 public:
  explicit BetaRun(BetaRunOptions options) : options_(std::move(options)) {}
  void Configure(Settings& settings) const;
  // After set-up and reset: writes the blank disk, inserts the disks. False after a failure was
  // reported.
  bool Start(Emulator& emu);
  // Saves changed images back to their files. False when one could not be written.
  bool Finish(Emulator& emu);

 private:
  BetaRunOptions options_;
};

}  // namespace orvo
