#pragma once
// The headless runner's file option --open-at F:FILE: before run frame F, FILE is opened exactly
// as the window's "Open file" opens it (read and checked whole, the machine reset only for a file
// that will load, the same messages). A ZIP archive then loads its first entry of a kind Orvo
// opens, as picking it in the entry list would.
#include <string>
#include <vector>

namespace orvo {

class Emulator;

struct FileRunOptions {
  struct OpenAt {
    long frame = 0;
    std::string path;
  };
  std::vector<OpenAt> openAt;  // in the order given
};

// The options' lines for --help.
extern const char kFileRunHelp[];

// When args[i] is a file option, takes it and its value (advancing i) and returns 1; returns 0
// for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseFileRunOption(const std::vector<std::string>& args, size_t& i, FileRunOptions& options,
                       std::string* error);

class FileRun {
 public:
  explicit FileRun(FileRunOptions options) : options_(std::move(options)) {}
  // Before run frame `frame`: opens the files due then, printing "Opened: FILE" or
  // "Refused: FILE".
  void BeforeFrame(Emulator& emu, long frame) const;

 private:
  FileRunOptions options_;
};

}  // namespace orvo
