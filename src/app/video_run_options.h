#pragma once
// The headless runner's picture and keyboard options: --screenshot FILE.png and --screen-text
// report the screen at the end; --type TEXT and --type-file FILE type text in as "Load BASIC Text
// File" does; --key FRAME:KEYS:FRAMES holds Spectrum keys down for a number of frames.
#include <string>
#include <vector>

#include "machine/keyboard.h"

namespace orvo {

class Emulator;

struct KeyHold {
  long frame = 0;   // first frame (counted from 0) during which the keys are down
  long frames = 1;  // how many frames they stay down
  std::vector<SpectrumKey> keys;
};

struct VideoRunOptions {
  std::string screenshotPath;  // empty: no screenshot
  bool screenText = false;
  bool typing = false;   // --type or --type-file given
  std::string typeText;  // the text to type (a --type-file's contents are read at start)
  std::string typeFile;
  long typeFrame = 0;  // the frame before which typing starts
  std::vector<KeyHold> keys;
};

// The options' lines for --help.
extern const char kVideoRunHelp[];

// When args[i] is one of these options, takes it and its value (advancing i) and returns 1;
// returns 0 for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseVideoRunOption(const std::vector<std::string>& args, size_t& i, VideoRunOptions& options,
                        std::string* error);
// Parses "FRAME:KEYS:FRAMES", for example "100:SS+P:5" or "50:ENTER:3".
bool ParseKeyHold(const std::string& text, KeyHold& hold);

// Drives the keyboard through a run and reports the screen at its end.
class VideoRun {
 public:
  explicit VideoRun(VideoRunOptions options) : options_(std::move(options)) {}

  // After machine set-up and reset. False with `error` set when the text file cannot be read.
  bool Start(Emulator& emu, std::string* error);
  // Before frame `frame` (counted from 0) runs: presses and releases keys, starts typing.
  void BeforeFrame(Emulator& emu, long frame);

  const std::string& ScreenshotPath() const { return options_.screenshotPath; }
  bool WantsScreenText() const { return options_.screenText; }

 private:
  VideoRunOptions options_;
  std::vector<SpectrumKey> held_;
};

}  // namespace orvo
