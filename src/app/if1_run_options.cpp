#include "app/if1_run_options.h"

#include <cstdio>

#include "devices/microdrive.h"
#include "shell/addon_commands.h"
#include "shell/emulator.h"
#include "shell/microdrive_commands.h"

namespace orvo {

const char kIf1RunHelp[] =
    "Interface 1:\n"
    "  --if1              fit an Interface 1 (IF1.rom from the ROM folder; 16K, 48K, 128K, +2)\n"
    "  --mdr N:FILE       insert the Microdrive cartridge FILE into drive N (1-8); implies --if1\n"
    "  --mdr-new N:FILE   create a blank cartridge FILE in drive N, ready for FORMAT\n"
    "                     (cartridges are written back to their files at the end of the run)\n";

int ParseIf1RunOption(const std::vector<std::string>& args, size_t& i, If1RunOptions& options,
                      std::string* error) {
  const std::string& a = args[i];
  if (a == "--if1") {
    options.interface1 = true;
    return 1;
  }
  if (a != "--mdr" && a != "--mdr-new") return 0;
  const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
  const size_t colon = value.find(':');
  if (colon != 1 || value.size() < 3 || value[0] < '1' || value[0] > '8') {
    *error = a + " needs N:FILE with a drive N from 1 to 8";
    return -1;
  }
  ++i;
  options.cartridges.push_back({value[0] - '1', value.substr(2), a == "--mdr-new"});
  return 1;
}

void If1Run::Configure(Settings& settings) const {
  if (options_.interface1 || !options_.cartridges.empty()) settings.Interface1 = 1;
}

bool If1Run::Start(Emulator& emu) {
  if ((options_.interface1 || !options_.cartridges.empty()) &&
      !ModelTakesAddon(emu.m.MachineModel, Addon::kInterface1)) {
    std::fprintf(stderr, "orvo-run: %s: %s\n", options_.interface1 ? "--if1" : "--mdr",
                 AddonRefusal(emu.m.MachineModel, Addon::kInterface1).c_str());
    return false;
  }
  for (const If1RunOptions::Cartridge& c : options_.cartridges) {
    const int status =
        c.create ? CreateCartridge(emu, c.drive, c.path) : InsertCartridge(emu, c.drive, c.path);
    if (status != 0) return false;
    std::fprintf(stderr, "Microdrive %d: %s%s\n", c.drive + 1, c.path.c_str(),
                 c.create ? " (new)" : "");
  }
  return true;
}

bool If1Run::Finish(Emulator& emu) {
  return EjectAllCartridges(emu) == 0;
}

}  // namespace orvo
