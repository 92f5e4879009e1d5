#pragma once
// The headless runner's Interface 1 options: --if1 fits the Interface 1 (its ROM "IF1.rom" from
// the ROM folder), --mdr N:FILE inserts a cartridge into drive N (1 to 8) and --mdr-new N:FILE
// creates a blank one there. At the end of the run every cartridge is written back to its file.
#include <string>
#include <vector>

namespace orvo {

class Emulator;
struct Settings;

struct If1RunOptions {
  bool interface1 = false;
  struct Cartridge {
    int drive = 0;  // 0..7
    std::string path;
    bool create = false;
  };
  std::vector<Cartridge> cartridges;
};

// The options' lines for --help.
extern const char kIf1RunHelp[];

// When args[i] is an Interface 1 option, takes it and its value (advancing i) and returns 1;
// returns 0 for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseIf1RunOption(const std::vector<std::string>& args, size_t& i, If1RunOptions& options,
                      std::string* error);

class If1Run {
 public:
  explicit If1Run(If1RunOptions options) : options_(std::move(options)) {}

  // Before machine set-up: Interface 1 on (a cartridge implies it).
  void Configure(Settings& settings) const;
  // After machine set-up: the cartridges go in. False after a message.
  bool Start(Emulator& emu);
  // At the end of the run: the cartridges are written back. False after a message.
  bool Finish(Emulator& emu);

 private:
  If1RunOptions options_;
};

}  // namespace orvo
