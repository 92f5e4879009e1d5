#pragma once
// The headless runner's tape options: --tape FILE inserts a tape, --autoload boots to the tape
// loader and lets the deck start itself, --fastload, --traps and --wobble set the tape options,
// --until-tape-end ends the run when the tape has played to its end, --make-tape-boot FILE
// writes the model's tape boot snapshot, and --save-tape FILE turns "Save to tape" on.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

class Emulator;
struct Settings;

struct TapeRunOptions {
  std::string tapePath;  // empty: no tape
  bool autoload = false;
  bool fastload = false;
  bool traps = false;
  bool wobble = false;
  bool untilTapeEnd = false;
  std::string bootSnapshotPath;  // --make-tape-boot: where to write the boot snapshot
  std::string saveTapePath;      // --save-tape: the ROM's SAVE appends its blocks here
};

// The options' lines for --help.
extern const char kTapeRunHelp[];

// When args[i] is a tape option, takes it and its value (advancing i) and returns 1; returns 0
// for any other argument and -1 (with `error` set) for a missing value.
int ParseTapeRunOption(const std::vector<std::string>& args, size_t& i, TapeRunOptions& options,
                       std::string* error);

// A run with a tape.
class TapeRun {
 public:
  explicit TapeRun(TapeRunOptions options) : options_(std::move(options)) {}

  // Before machine set-up: the tape settings.
  void Configure(Settings& settings) const;
  // After machine set-up and reset: with --make-tape-boot, boots to the loader and writes the
  // snapshot; with --tape, inserts the tape (after the boot snapshot, or booting to the loader
  // when there is none, with --autoload). Returns false after reporting a failure on stderr (or
  // through the message sink).
  bool Start(Emulator& emu);
  // The run can end: --until-tape-end and the tape has played to its end.
  bool Done(const Emulator& emu) const;
  // A line for the report at the end of the run (empty without a tape).
  std::string Summary(const Emulator& emu) const;

 private:
  TapeRunOptions options_;
};

}  // namespace orvo
