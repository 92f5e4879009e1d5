#pragma once
// The headless runner's disk options: --disk-a FILE and --disk-b FILE put images into the +3's
// drives, --disk-autoload boots the +3 to its Loader first, --disk-fastload runs flat out while
// the disk works, --disk-insert F:D:FILE swaps a disk in at frame F (drive a or b), and
// --make-disk-boot FILE writes the disk boot snapshot, --new-disk FILE a blank image. The ZX
// Printer rides along: --printer attaches it, --printer-png FILE keeps what it printed. Changed
// images are saved back at the end.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

class Emulator;
struct Settings;

struct DiskSwap {
  long frame = 0;
  int drive = 0;
  std::string path;
};

struct DiskRunOptions {
  std::string paths[2];  // A: and B:; empty: none
  bool autoload = false;
  bool fastload = false;
  std::vector<DiskSwap> swaps;
  std::string bootSnapshotPath;  // --make-disk-boot
  std::string newDiskPath;       // --new-disk: write a blank, unformatted image there
  bool printer = false;          // --printer: the ZX Printer is attached
  std::string printerPng;        // --printer-png: the printed paper as a PNG at the end
};

extern const char kDiskRunHelp[];

// When args[i] is a disk option, takes it and its value (advancing i) and returns 1; returns 0
// for any other argument and -1 (with `error` set) for a missing or bad value.
int ParseDiskRunOption(const std::vector<std::string>& args, size_t& i, DiskRunOptions& options,
                       std::string* error);

class DiskRun {
 public:
  explicit DiskRun(DiskRunOptions options) : options_(std::move(options)) {}

  void Configure(Settings& settings) const;
  // After set-up and reset: writes the boot snapshot, boots to the Loader with --disk-autoload,
  // inserts the disks. False after a failure was reported.
  bool Start(Emulator& emu);
  // Before frame `frame`: the swaps due then.
  void BeforeFrame(Emulator& emu, long frame);
  // At the end: saves changed images back to their files and writes the printed paper. False
  // when one could not be written (reported on stderr or through the message sink).
  bool Finish(Emulator& emu);

 private:
  DiskRunOptions options_;
};

}  // namespace orvo
