#pragma once
// A whole machine for loading tapes: set up from the shared ROM folder, booted to its tape
// loader, with the deck driven the way orvo-run drives it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/tape_boot.h"
#include "shell/tape_commands.h"
#include "support/recording_host.h"
#include "support/test_paths.h"
#include "tape/tape_player.h"
#include "video/screen_text.h"

namespace orvo::test {

inline const char* RomFileOf(uint8_t model) {
  switch (model) {
    case kModel128K: return "128k.rom";
    case kModelPlus2: return "plus2.rom";
    case kModelPlus2A:
    case kModelPlus3: return "plus3.rom";
    default: return "48k.rom";
  }
}

struct TapeMachine {
  explicit TapeMachine(uint8_t model = kModel48K) {
    emu.folders.CurrentRomDir = emu.folders.ConfiguredRomDir = RomDir().string() + "/";
    emu.NoThrottle = true;
    m.settings.Sound = 0;
    emu.settings.ModelType = model;
    m.MachineModel = model;
    SetUpMachine(emu);
    ResetMachine(emu, true);
  }

  // Inserts a tape file (after booting to the loader).
  bool Insert(const std::filesystem::path& path) {
    return LoadTape(emu, path.string()) == 0 && m.tape.image != nullptr;
  }
  // Boots to the ROM's loader and inserts the tape, which the ROM then loads.
  bool BootAndInsert(const std::filesystem::path& path) {
    return BootToTapeLoader(emu) && Insert(path);
  }

  void RunFrames(uint32_t n) {
    for (uint32_t k = 0; k < n; ++k) RunFrame(emu);
  }

  // Runs frames until the screen shows `text` (or `limit` frames).
  bool RunUntilScreenShows(const std::string& text, uint32_t limit) {
    for (uint32_t k = 0; k < limit; k += 10) {
      if (Screen().find(text) != std::string::npos) return true;
      RunFrames(10);
    }
    return Screen().find(text) != std::string::npos;
  }

  std::string Screen() const { return ScreenText(m); }

  RecordingHost host;
  Emulator emu{host};
  MachineState& m = emu.m;
};

}  // namespace orvo::test

// Ends the test (skipped, or failed where shared data is required) without the model's ROMs.
#define ORVO_REQUIRE_TAPE_ROMS(model)                    \
  ORVO_REQUIRE_FILE(::orvo::test::RomDir() / "48k.rom"); \
  ORVO_REQUIRE_FILE(::orvo::test::RomDir() / ::orvo::test::RomFileOf(model))
