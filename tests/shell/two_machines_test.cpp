// Two emulators in one process share nothing: with different models and settings, one typing and
// running a program while the other waits in its menu, each ends exactly as it does alone.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "machine/typing.h"
#include "shell/frame_loop.h"
#include "snapshot/snapshot_fixture.h"
#include "video/screen_text.h"

namespace orvo::test {
namespace {

constexpr int kFrames = 400;

struct Machine : SnapshotMachine {
  Machine(uint8_t model, bool contended) : SnapshotMachine(model) {
    emu.NoThrottle = true;
    emu.settings.Contention = contended ? 1 : 0;
    SetUpMachine(emu);  // again, with the contention chosen
    ResetMachine(emu, true);
  }
  // One frame of the script: the 48K types a program in at frame 120 and runs it.
  void Frame(int frame) {
    constexpr std::string_view kProgram = "10 PRINT 6*7\nRUN";
    if (frame == 120 && m.MachineModel == kModel48K)
      StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(kProgram.data()), kProgram.size()));
    RunFrame(emu);
  }
  // The screen's text, then registers, timing and memory.
  std::string Outcome() const {
    return ScreenText(m) + "|" + std::to_string(m.cpu.PC) + "," + std::to_string(m.cpu.SP) + "," +
           std::to_string(m.cpu.AF.w) + "," + std::to_string(m.FrameTState) + "," +
           std::to_string(m.FrameCount) + std::string(m.RamBlock.begin(), m.RamBlock.end());
  }
};

std::string RunAlone(uint8_t model, bool contended) {
  Machine machine(model, contended);
  for (int f = 0; f < kFrames; ++f) machine.Frame(f);
  return machine.Outcome();
}

TEST(TwoMachines, RunSideBySideAsTheyRunAlone) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  ORVO_REQUIRE_FILE(RomDir() / "128k.rom");
  const std::string alone48 = RunAlone(kModel48K, false);
  const std::string alone128 = RunAlone(kModel128K, true);
  ASSERT_NE(alone48.substr(0, alone48.find('|')).find("42"), std::string::npos)
      << alone48.substr(0, alone48.find('|'));
  Machine a(kModel48K, false);
  Machine b(kModel128K, true);
  EXPECT_EQ(a.m.settings.Contention, 0);
  EXPECT_EQ(b.m.settings.Contention, 1);
  for (int f = 0; f < kFrames; ++f) {
    a.Frame(f);
    b.Frame(f);
  }
  EXPECT_TRUE(a.Outcome() == alone48);
  EXPECT_TRUE(b.Outcome() == alone128);
  EXPECT_TRUE(a.host.messages.empty() && b.host.messages.empty());
}

}  // namespace
}  // namespace orvo::test
