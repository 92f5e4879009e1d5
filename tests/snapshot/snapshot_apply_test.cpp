// Device state through an SZX file. (A record taken out of a machine and put into another gives
// the same machine on every model: the orvo-run SZX tests and the round trip tests.)
#include <gtest/gtest.h>

#include "formats/szx_format.h"
#include "shell/snapshot_save.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

TEST(SzxDeviceBlocks, UlaPlusPaletteSpecDrumAndKeyboardComeBack) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine a, b;
  for (SnapshotMachine* t : {&a, &b}) {
    t->emu.settings.UlaPlus = t->emu.settings.SpecDrum = 1;
    t->emu.ApplyMachineSettings();
  }
  SetUpMachine(a.emu);
  a.m.WritePort(0xBF3B, 0x40);  // mode group: 64-colour mode on
  a.m.WritePort(0xFF3B, 0x01);
  a.m.WritePort(0xBF3B, 0x05);  // palette entry 5
  a.m.WritePort(0xFF3B, 0xE3);
  a.m.WritePort(0x00DF, 0x90);  // the drum's DAC
  a.m.Issue3Keyboard = 0;
  const std::vector<uint8_t> file = BuildSZX(a.emu);

  ASSERT_EQ(LoadSZX(b.emu, file), 0);
  EXPECT_EQ(b.m.ports.UlaPlusPaletteMode, 1);
  EXPECT_EQ(b.m.ports.UlaPlusPalette[5], a.m.ports.UlaPlusPalette[5]);
  EXPECT_NE(b.m.ports.UlaPlusPalette[5], b.m.ports.UlaPlusPalette[4]);
  EXPECT_EQ(b.m.sound.SpecDrumLevel, a.m.sound.SpecDrumLevel);
  EXPECT_EQ(b.m.Issue3Keyboard, 0);

  // A device block its device cannot take is left out, and named: the machine loads.
  SnapshotRecord record;
  ASSERT_TRUE(ParseSZX(file, record).Ok());
  for (SnapshotBlock& block : record.blocks) {
    if (block.id == SnapshotBlockId("DRUM")) block.body.push_back(0);
  }
  record.cpu.PC = 0x1234;
  b.host.messages.clear();
  EXPECT_EQ(LoadSZX(b.emu, WriteSZX(record)), 0);
  EXPECT_EQ(b.m.cpu.PC, 0x1234);
  ASSERT_EQ(b.host.messages.size(), 1u);
  EXPECT_EQ(b.host.messages[0].message, kMsgDevicesLeftOut);
  EXPECT_EQ(b.host.messages[0].detail, "DRUM");
}

}  // namespace
}  // namespace orvo::test
