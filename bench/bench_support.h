#pragma once
// What the benchmark programs share: a host that reports ROM failures, where the shared test data
// lives, and a 48K set up to run flat out.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/emulator.h"
#include "shell/machine_setup.h"

namespace orvo::bench {

class BenchHost final : public Host {
 public:
  void ShowMessage(CaptionId, MessageId message, std::string_view detail) override {
    std::fprintf(stderr, "%s\n", FormatMessage(message, detail).c_str());
    failed = true;
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  Clock& GetClock() override { return clock; }
  SystemClock clock;
  bool failed = false;
};

// $ORVO_SHARED, or ../shared beside the source tree.
inline std::string SharedDir() {
  if (const char* env = std::getenv("ORVO_SHARED")) return env;
  return std::string(ORVO_SOURCE_DIR) + "/../shared";
}

// Sets `model` up from the shared ROM folder with sound off and no throttle, and hard-resets it.
// False when a ROM could not be loaded (the message is on standard error).
inline bool SetUpBenchMachine(Emulator& emu, const BenchHost& host, uint8_t model) {
  emu.NoThrottle = true;
  emu.folders.CurrentRomDir = emu.folders.ConfiguredRomDir = SharedDir() + "/roms/";
  emu.settings.Sound = 0;
  emu.m.MachineModel = model;
  SetUpMachine(emu);
  if (host.failed) return false;
  ResetMachine(emu, true);
  return true;
}

}  // namespace orvo::bench
