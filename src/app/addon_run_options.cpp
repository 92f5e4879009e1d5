#include "app/addon_run_options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "devices/multiface.h"
#include "shell/addon_commands.h"
#include "shell/emulator.h"
#include "shell/window_commands.h"

namespace orvo {

const char kAddonRunHelp[] =
    "Add-ons:\n"
    "  --multiface        fit a Multiface 128 (Multiface 3 on the +2A/+3; ROM from --rom-dir)\n"
    "  --multiface-one    fit a Multiface One on the 16K/48K (\"mf1.rom\")\n"
    "  --nmi-at F         press the NMI button before frame F (repeatable)\n"
    "  --if2 FILE         insert a 16 KB Interface II cartridge (.rom)\n"
    "  --speech U         fit a speech unit: currah (needs \"currah.rom\") or orator\n";

int ParseAddonRunOption(const std::vector<std::string>& args, size_t& i, AddonRunOptions& options,
                        std::string* error) {
  const std::string& a = args[i];
  if (a == "--multiface") {
    options.multiface = 1;
    return 1;
  }
  if (a == "--multiface-one") {
    options.multiface = kMultifaceOne;
    return 1;
  }
  if (a != "--nmi-at" && a != "--if2" && a != "--speech") return 0;
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& v = args[++i];
  if (a == "--nmi-at") {
    char* end = nullptr;
    const long frame = std::strtol(v.c_str(), &end, 10);
    if (*end != '\0' || frame < 0) {
      *error = "--nmi-at needs a frame number";
      return -1;
    }
    options.nmiFrames.push_back(frame);
  } else if (a == "--if2") {
    options.cartridgePath = v;
  } else {
    if (v != "currah" && v != "orator") {
      *error = "--speech takes currah or orator";
      return -1;
    }
    options.speech = v;
  }
  return 1;
}

void AddonRun::Configure(Settings& settings) const {
  if (options_.multiface) {
    settings.Multiface = options_.multiface;
    settings.FullerAy = 0;
  }
  if (options_.speech == "currah") settings.USpeech = 1;
  if (options_.speech == "orator") settings.FullerOrator = 1;
}

bool AddonRun::Start(Emulator& emu) const {
  const MachineState& m = emu.m;
  if (!options_.speech.empty()) {
    const Addon unit = options_.speech == "currah" ? Addon::kUSpeech : Addon::kOrator;
    if (!ModelTakesAddon(m.MachineModel, unit)) {
      std::fprintf(stderr, "orvo-run: --speech: %s\n", AddonRefusal(m.MachineModel, unit).c_str());
      return false;
    }
  }
  if (options_.multiface && !m.MultifaceImage.empty())
    std::fprintf(stderr, "Multiface: %s\n", m.MultifaceOne ? "One" : "128/3");
  if (options_.speech == "currah" && emu.settings.USpeech)
    std::fprintf(stderr, "Speech: Currah uSpeech\n");
  if (options_.speech == "orator" && emu.settings.FullerOrator)
    std::fprintf(stderr, "Speech: Fuller Orator\n");
  if (options_.cartridgePath.empty()) return true;
  if (!Interface2Allowed(emu)) {
    std::fprintf(stderr, "orvo-run: --if2: %s\n",
                 AddonRefusal(m.MachineModel, Addon::kInterface2).c_str());
    return false;
  }
  if (InsertInterface2Cartridge(emu, options_.cartridgePath) != 0) return false;
  std::fprintf(stderr, "Interface II cartridge: %s\n", options_.cartridgePath.c_str());
  return true;
}

void AddonRun::BeforeFrame(Emulator& emu, long frame) const {
  if (std::find(options_.nmiFrames.begin(), options_.nmiFrames.end(), frame) !=
      options_.nmiFrames.end())
    GenerateNmi(emu);
}

}  // namespace orvo
