// The live settings and the machine's copy: what the machine changes itself comes back to the
// live settings (and so to orvo.ini), and a live change the machine has not seen is kept.
#include <gtest/gtest.h>

#include "shell/config.h"
#include "shell/emulator.h"
#include "support/recording_host.h"

namespace orvo::test {
namespace {

TEST(MachineSettings, TheMachinesOwnChangesAreReadBackAndLiveChangesKept) {
  RecordingHost host;
  Emulator emu(host);
  emu.settings.Frameskip = 5;  // live, not yet copied in
  emu.m.settings.Ay48k = 1;    // a program used the AY on a 48K
  emu.ReadBackMachineSettings();
  EXPECT_EQ(emu.settings.Ay48k, 1);
  EXPECT_EQ(emu.settings.Frameskip, 5);
  EXPECT_EQ(emu.m.settings.Frameskip, 1);

  emu.ApplyMachineSettings();
  EXPECT_EQ(emu.m.settings.Frameskip, 5);
  // Read back once, a value stays the live one until the machine changes it again.
  emu.settings.Ay48k = 0;
  emu.ReadBackMachineSettings();
  EXPECT_EQ(emu.settings.Ay48k, 0);

  emu.m.settings.EmulationSpeed = 250.0f;
  CapturePendingSettings(emu);  // what the options sheet shows and SaveConfig writes
  EXPECT_EQ(emu.PendingSettings.EmulationSpeed, 250.0f);
  EXPECT_EQ(emu.PendingSettings.Frameskip, 5);
}

}  // namespace
}  // namespace orvo::test
