#pragma once
// A machine of a chosen model, set up from the shared ROM folder, with a host that records
// messages.
#include <cstdint>

#include "machine/machine_state.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo::test {

struct TestMachine {
  explicit TestMachine(uint8_t model, bool lateTiming = false) {
    emu.folders.CurrentRomDir = RomDir().string();
    m.settings.LateTiming = lateTiming ? 1 : 0;
    m.MachineModel = model;
    SetUpMachine(emu);
  }
  // Marks ROM r of the current buffer with the byte 0xA0 + r throughout, so that a test can
  // tell from any address below 0x4000 which ROM is paged in.
  void MarkRoms() {
    for (size_t i = 0; i < m.RomBuffer128.size(); ++i)
      m.RomBuffer128[i] = static_cast<uint8_t>(0xA0 + i / 16384);
    for (auto& byte : m.RomBuffer48) byte = 0xA0;
  }
  uint8_t* Bank(int n) { return m.RamBlock.data() + n * 16384; }

  RecordingHost host;
  Emulator emu{host};
  MachineState& m = emu.m;
};

}  // namespace orvo::test
