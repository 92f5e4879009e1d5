#include "app/disk_run_options.h"

#include <cstdio>
#include <cstdlib>

#include "formats/dsk_format.h"
#include "formats/z80_format.h"
#include "host/png_writer.h"
#include "shell/addon_commands.h"
#include "shell/disk_commands.h"
#include "shell/emulator.h"
#include "shell/snapshot_save.h"
#include "snapshot/snapshot_apply.h"

namespace orvo {

const char kDiskRunHelp[] =
    "Disk (+3):\n"
    "  --disk-a FILE, --disk-b FILE  insert a DSK image into drive A: or B: (changes are saved\n"
    "                     back to the file at the end of the run)\n"
    "  --disk-autoload    boot the +3 to its Loader before the disks go in\n"
    "  --disk-fastload    run flat out while the disk works\n"
    "  --disk-insert F:D:FILE  at frame F put FILE into drive D (a or b); repeatable\n"
    "  --make-disk-boot FILE  boot the +3 to its disk Loader and save a version 3 Z80 there\n"
    "  --new-disk FILE    write a blank (unformatted, 40-track) disk image to FILE first\n"
    "ZX Printer:\n"
    "  --printer          attach the ZX Printer (port 0xFB)\n"
    "  --printer-png FILE at the end, write the printed paper as a 256-pixel-wide PNG\n"
    "                     (implies --printer)\n";

namespace {

// "F:D:FILE" with D "a" or "b".
bool ParseSwap(const std::string& text, DiskSwap& swap) {
  const size_t first = text.find(':');
  if (first == std::string::npos || first == 0) return false;
  char* end = nullptr;
  const long frame = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + first || frame < 0) return false;
  if (text.size() < first + 4 || text[first + 2] != ':') return false;
  const char d = text[first + 1];
  if (d != 'a' && d != 'b' && d != 'A' && d != 'B') return false;
  swap.frame = frame;
  swap.drive = (d == 'b' || d == 'B') ? 1 : 0;
  swap.path = text.substr(first + 3);
  return true;
}

}  // namespace

int ParseDiskRunOption(const std::vector<std::string>& args, size_t& i, DiskRunOptions& options,
                       std::string* error) {
  const std::string& a = args[i];
  if (a == "--disk-autoload") {
    options.autoload = true;
    return 1;
  }
  if (a == "--disk-fastload") {
    options.fastload = true;
    return 1;
  }
  if (a == "--printer") {
    options.printer = true;
    return 1;
  }
  if (a != "--disk-a" && a != "--disk-b" && a != "--disk-insert" && a != "--make-disk-boot" &&
      a != "--new-disk" && a != "--printer-png")
    return 0;
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& value = args[++i];
  if (a == "--disk-a") {
    options.paths[0] = value;
  } else if (a == "--disk-b") {
    options.paths[1] = value;
  } else if (a == "--printer-png") {
    options.printerPng = value;
    options.printer = true;
  } else if (a == "--new-disk") {
    options.newDiskPath = value;
  } else if (a == "--make-disk-boot") {
    options.bootSnapshotPath = value;
  } else {
    DiskSwap swap;
    if (!ParseSwap(value, swap)) {
      *error = "--disk-insert takes FRAME:DRIVE:FILE, e.g. 500:a:side_b.dsk";
      return -1;
    }
    options.swaps.push_back(swap);
  }
  return 1;
}

void DiskRun::Configure(Settings& settings) const {
  if (options_.autoload) settings.DiskAutoload = 1;
  if (options_.fastload) settings.DiskFastLoad = 1;
}

bool DiskRun::Start(Emulator& emu) {
  MachineState& m = emu.m;
  if (options_.printer && !ModelTakesAddon(m.MachineModel, Addon::kPrinter)) {
    std::fprintf(stderr, "orvo-run: --printer: %s\n",
                 AddonRefusal(m.MachineModel, Addon::kPrinter).c_str());
    return false;
  }
  if (options_.printer) SetPrinterAttached(m, true);
  if (!options_.newDiskPath.empty()) {
    if (!WriteBlankDisk(options_.newDiskPath)) {
      std::fprintf(stderr, "orvo-run: cannot write %s\n", options_.newDiskPath.c_str());
      return false;
    }
    std::fprintf(stderr, "New disk: %s\n", options_.newDiskPath.c_str());
  }
  const bool wantsDisk =
      !options_.paths[0].empty() || !options_.paths[1].empty() || !options_.swaps.empty();
  if ((wantsDisk || !options_.bootSnapshotPath.empty()) && m.MachineModel != kModelPlus3) {
    std::fprintf(stderr, "orvo-run: disks need --model plus3\n");
    return false;
  }
  if (!options_.bootSnapshotPath.empty()) {
    if (!BootToDiskLoader(emu)) {
      std::fprintf(stderr, "orvo-run: the ROM did not reach its disk loader\n");
      return false;
    }
    if (!WriteFileReplacing(options_.bootSnapshotPath, WriteZ80(CaptureSnapshot(m), 3, true))) {
      std::fprintf(stderr, "orvo-run: cannot write %s\n", options_.bootSnapshotPath.c_str());
      return false;
    }
    std::fprintf(stderr, "Disk boot snapshot: %s\n", options_.bootSnapshotPath.c_str());
  }
  if (options_.autoload && wantsDisk && LoadDiskBootSnapshot(emu) != 0) {
    std::fprintf(stderr, "orvo-run: the ROM did not reach its disk loader\n");
    return false;
  }
  for (int d = 0; d < 2; ++d) {
    if (options_.paths[d].empty()) continue;
    if (!InsertDiskFile(emu, d, options_.paths[d])) return false;
    std::fprintf(stderr, "Disk %c: %s%s\n", 'A' + d, options_.paths[d].c_str(),
                 emu.disks.readOnly[d] ? " (write-protected)" : "");
  }
  return true;
}

void DiskRun::BeforeFrame(Emulator& emu, long frame) {
  for (const DiskSwap& s : options_.swaps) {
    if (s.frame == frame) InsertDiskFile(emu, s.drive, s.path);
  }
}

bool DiskRun::Finish(Emulator& emu) {
  bool ok = SaveChangedDisks(emu);
  if (!options_.printerPng.empty()) {
    uint32_t height = 0;
    const std::vector<uint32_t> paper = PrintedPaperPixels(emu.m.printer, height);
    std::string error;
    if (height == 0 || !WritePng(options_.printerPng, paper.data(), static_cast<int>(kPaperWidth),
                                 static_cast<int>(height), &error)) {
      std::fprintf(stderr, "orvo-run: %s\n",
                   height == 0 ? "the printer printed nothing" : error.c_str());
      ok = false;
    } else {
      std::fprintf(stderr, "Printer: %u lines\n", height);
    }
  }
  return ok;
}

}  // namespace orvo
