#pragma once
// The headless runner's tool options: pokes (--poke ADDR,VALUE and --pok FILE[:TRAINER]) and
// binary loads (--load-binary FILE@ADDR) after the machine is set up and its file loaded;
// binary and screen saves (--save-binary FILE@ADDR,LEN, --save-screen FILE) at the end.
#include <string>
#include <vector>

namespace orvo {

class Emulator;

struct ToolsRunOptions {
  std::vector<std::string> pokes;  // "ADDR,VALUE" or "BANK:ADDR,VALUE"
  std::vector<std::string> pokFiles;
  unsigned pokAsk = 0;  // the value for a trainer's "ask the user" pokes
  std::vector<std::string> binaryLoads;
  std::vector<std::string> binarySaves;
  std::string screenPath;
  bool screenBorder = true;
};

extern const char kToolsRunHelp[];

// When args[i] is one of these options, takes it and its value (advancing i) and returns 1;
// returns 0 for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseToolsRunOption(const std::vector<std::string>& args, size_t& i, ToolsRunOptions& options,
                        std::string* error);

// After set-up and loading: the pokes, trainers and binary loads, in that order. False after a
// message on standard error.
bool ApplyToolsAtStart(Emulator& emu, const ToolsRunOptions& options);
// At the end of the run: the binary and screen saves.
bool ApplyToolsAtEnd(Emulator& emu, const ToolsRunOptions& options);

}  // namespace orvo
