#pragma once
// The headless runner's sound options: --wav FILE records the generated samples, in the
// configured format, to a WAV file without any device; --sound-freq, --sound-bits and
// --sound-output choose the settings.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sound/wav_file.h"

namespace orvo {

class Emulator;
struct Settings;

struct SoundRunOptions {
  std::string wavPath;  // empty: no recording
  int32_t freq = 0;     // 0: keep `Freq`
  int32_t bits = 0;     // 0: keep `Soundbits`
  int32_t output = -1;  // -1: keep `Output`
};

// The options' lines for --help.
extern const char kSoundRunHelp[];

// When args[i] is a sound option, takes it and its value (advancing i) and returns 1; returns 0
// for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseSoundRunOption(const std::vector<std::string>& args, size_t& i, SoundRunOptions& options,
                        std::string* error);

// Records a run to a WAV file.
class WavRun {
 public:
  explicit WavRun(SoundRunOptions options) : options_(std::move(options)) {}

  bool Recording() const { return !options_.wavPath.empty(); }
  // Before machine set-up: the chosen settings; with --wav, `Sound` on.
  void Configure(Settings& settings) const;
  // After machine set-up and reset: every frame from now on goes to the recording.
  void Start(Emulator& emu);
  // Writes everything generated so far (the unfinished frame too). False with `error` set when
  // the file cannot be written.
  bool Finish(Emulator& emu, std::string* error);

 private:
  SoundRunOptions options_;
  WavCapture capture_;
};

}  // namespace orvo
