#pragma once
// What the machine benchmarks share: a host that reports ROM failures, a machine set up to run
// flat out, and the timing of whole frames.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/bench_report.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
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

// Runs whole frames for at least MinSeconds() of processor time; emulated T-states per second.
inline double FrameRate(Emulator& emu) {
  const Measured run = MeasureAtLeast(
      [&emu](uint64_t frames) {
        for (uint64_t i = 0; i < frames; ++i) RunFrame(emu);
        return frames;
      },
      10);
  return run.PerSecond() * emu.m.FrameLength;
}

}  // namespace orvo::bench
