#include "app/beta_run_options.h"

#include <cstdio>

#include "devices/beta128.h"
#include "shell/beta_disk_commands.h"
#include "shell/emulator.h"

namespace orvo {

const char kBetaRunHelp[] =
    "Beta 128 (TR-DOS):\n"
    "  --beta128          fit the Beta 128 disk interface to a 48K, 128K or +2 (built into\n"
    "                     the Pentagon; needs trdos.rom in the ROM folder)\n"
    "  --trd-a FILE .. --trd-d FILE  insert a TRD or SCL image into drive A: to D: (changes\n"
    "                     are saved back at the end; an SCL's go to the TRD of its name;\n"
    "                     fits the Beta 128 to a 48K, 128K or +2 as --beta128 does)\n"
    "  --new-trd FILE     write a blank formatted TR-DOS disk (80 tracks, 2 sides) to FILE\n";

int ParseBetaRunOption(const std::vector<std::string>& args, size_t& i, BetaRunOptions& options,
                       std::string* error) {
  const std::string& a = args[i];
  if (a == "--beta128") {
    options.beta128 = true;
    return 1;
  }
  const bool drive = a.size() == 7 && a.compare(0, 6, "--trd-") == 0 && a[6] >= 'a' && a[6] <= 'd';
  if (!drive && a != "--new-trd") return 0;
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    *error = a + " needs a file";
    return -1;
  }
  const std::string& value = args[++i];
  if (drive) {
    options.paths[a[6] - 'a'] = value;
  } else {
    options.newDiskPath = value;
  }
  return 1;
}

void BetaRun::Configure(Settings& settings) const {
  // A disk for a drive fits the interface too, as opening one does.
  bool any = false;
  for (const std::string& p : options_.paths) any = any || !p.empty();
  if (options_.beta128 || any) settings.Beta128 = 1;
}

bool BetaRun::Start(Emulator& emu) {
  if (!options_.newDiskPath.empty()) {
    if (!WriteBlankTrd(options_.newDiskPath)) {
      std::fprintf(stderr, "orvo-run: cannot write %s\n", options_.newDiskPath.c_str());
      return false;
    }
    std::printf("New TR-DOS disk: %s\n", options_.newDiskPath.c_str());
  }
  bool any = false;
  for (const std::string& p : options_.paths) any = any || !p.empty();
  if ((any || options_.beta128) && !Beta128Fitted(emu.m)) {
    if (Beta128Wanted(emu.m.MachineModel, 1)) return false;  // "ROM missing" said why
    std::fprintf(stderr, "orvo-run: the Beta 128 fits the 48K, 128K, +2 and Pentagon only\n");
    return false;
  }
  for (int d = 0; d < 4; ++d) {
    const std::string& path = options_.paths[d];
    if (path.empty()) continue;
    if (!InsertBetaDiskFile(emu, d, path)) return false;
    const std::string& save = emu.betaDisks.savePath[d];
    std::printf("TR-DOS disk %c: %s%s%s\n", 'A' + d, path.c_str(),
                emu.betaDisks.readOnly[d] ? " (write-protected)" : "",
                !save.empty() && save != path ? (" (changes go to " + save + ")").c_str() : "");
  }
  return true;
}

bool BetaRun::Finish(Emulator& emu) {
  return SaveChangedBetaDisks(emu);
}

}  // namespace orvo
