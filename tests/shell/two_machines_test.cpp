// Two emulators in one process share nothing: with different models and settings, one typing and
// running a program while the other waits in its menu, each ends exactly as it does alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/typing.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "support/recording_host.h"
#include "support/test_paths.h"
#include "video/screen_text.h"

namespace orvo::test {
namespace {

constexpr int kFrames = 400;
constexpr int kTypeAt = 120;  // the 48K's frame at which the program is typed in

struct Machine {
  Machine(uint8_t model, bool contended) {
    emu.folders.CurrentRomDir = RomDir().string() + "/";
    emu.NoThrottle = true;
    emu.settings.Sound = 0;
    emu.settings.Contention = contended ? 1 : 0;
    m.MachineModel = model;
    SetUpMachine(emu);
    ResetMachine(emu, true);
  }
  // One frame of the script: the 48K types a program in and runs it.
  void Frame(int frame) {
    if (frame == kTypeAt && m.MachineModel == kModel48K) {
      constexpr std::string_view kProgram = "10 PRINT 6*7\nRUN";
      StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(kProgram.data()), kProgram.size()));
    }
    RunFrame(emu);
  }

  struct Outcome {
    std::vector<uint8_t> ram;
    uint16_t pc, sp, af;
    uint32_t frameTState;
    uint64_t frames;
    std::string screen;
    bool operator==(const Outcome&) const = default;
  };
  Outcome Result() const {
    return {m.RamBlock, m.cpu.PC, m.cpu.SP, m.cpu.AF.w, m.FrameTState, m.FrameCount, ScreenText(m)};
  }

  RecordingHost host;
  Emulator emu{host};
  MachineState& m = emu.m;
};

Machine::Outcome RunAlone(uint8_t model, bool contended) {
  Machine machine(model, contended);
  for (int f = 0; f < kFrames; ++f) machine.Frame(f);
  return machine.Result();
}

TEST(TwoMachines, RunSideBySideAsTheyRunAlone) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  ORVO_REQUIRE_FILE(RomDir() / "128k.rom");
  const Machine::Outcome alone48 = RunAlone(kModel48K, false);
  const Machine::Outcome alone128 = RunAlone(kModel128K, true);
  ASSERT_NE(alone48.screen.find("42"), std::string::npos) << alone48.screen;

  Machine a(kModel48K, false);
  Machine b(kModel128K, true);
  EXPECT_EQ(a.m.settings.Contention, 0);
  EXPECT_EQ(b.m.settings.Contention, 1);
  for (int f = 0; f < kFrames; ++f) {
    a.Frame(f);
    b.Frame(f);
  }
  EXPECT_TRUE(a.Result() == alone48) << a.Result().screen;
  EXPECT_TRUE(b.Result() == alone128) << b.Result().screen;
  EXPECT_TRUE(a.host.messages.empty());
  EXPECT_TRUE(b.host.messages.empty());
}

}  // namespace
}  // namespace orvo::test
