#pragma once
// The headless runner's input recording options: --rzx FILE plays a recording as fast as it can
// and reports how far it got; --record-rzx FILE records the run; --rollback-at F keeps a rollback
// point at frame F and --roll-back F returns to the last point at frame F (while recording).
#include <chrono>
#include <string>
#include <vector>

namespace orvo {

class Emulator;

struct RzxRunOptions {
  std::string playPath;          // --rzx
  std::string recordPath;        // --record-rzx
  std::vector<long> rollbackAt;  // --rollback-at
  std::vector<long> rollBackAt;  // --roll-back
};

extern const char kRzxRunHelp[];

// When args[i] is an input recording option, takes it and its value (advancing i) and returns 1;
// returns 0 for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseRzxRunOption(const std::vector<std::string>& args, size_t& i, RzxRunOptions& options,
                      std::string* error);

class RzxRun {
 public:
  explicit RzxRun(RzxRunOptions options) : options_(std::move(options)) {}

  bool Playing() const { return !options_.playPath.empty(); }
  // After the machine set-up: opens and starts the recording to play, or starts recording.
  // False after a message when the recording cannot be played.
  bool Start(Emulator& emu);
  // Before frame `frame` of the run: rollback points and rollbacks asked for there.
  void BeforeFrame(Emulator& emu, long frame);
  // Playback has ended (finished or stopped on a mismatch).
  bool Done(const Emulator& emu) const;
  // Ends the run: prints the playback line, or writes the recording. False when the run failed
  // (a playback that did not reach the end without a mismatch, a recording not written).
  bool Finish(Emulator& emu);

 private:
  RzxRunOptions options_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace orvo
