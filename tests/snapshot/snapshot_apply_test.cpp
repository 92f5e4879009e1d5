// Taking a record out of a machine and putting it into another gives the same machine, on every
// model, including what only the block formats carry (T-state, MEMPTR; a halted CPU: the round
// trip tests), and device state through an SZX file.
#include <gtest/gtest.h>

#include "formats/szx_format.h"
#include "machine/memory.h"
#include "shell/snapshot_save.h"
#include "snapshot/snapshot_fixture.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

TEST(SnapshotRecordSeam, CaptureThenApplyReproducesEveryModel) {
  ORVO_REQUIRE_ROMS();
  for (uint8_t model = 0; model < kModelCount; ++model) {
    SCOPED_TRACE(testing::Message() << "model " << int(model));
    SnapshotMachine a(kModel48K);
    a.emu.settings.CustomRomPath = (RomDir() / "48k.rom").string();
    a.m.MachineModel = model;
    SetUpMachine(a.emu);
    FillMachine(a.m, model + 1u);
    a.m.cpu.R7 = 0x80;
    a.m.cpu.IFF2 = 0;  // different from IFF1, as after an NMI
    a.m.cpu.MEMPTR = 0x2468;
    a.m.ports.LastUlaOut = 0x1D;
    if (IsPlus2AFamily(model)) {
      Write1FFD(a.m, 0x05);
      Write7FFDPlus3(a.m, 0x1B);
    } else {
      Write7FFD128(a.m, 0x1B);
    }
    const SnapshotRecord record = CaptureSnapshot(a.m);

    SnapshotMachine b(model == kModelPlus3 ? kModel16K : kModelPlus3);
    b.emu.settings.CustomRomPath = a.emu.settings.CustomRomPath;
    LoadSnapshotRecord(b.emu, record);
    EXPECT_TRUE(b.host.messages.empty());
    ExpectSameMachine(a.m, b.m);
    EXPECT_EQ(b.m.cpu.IR.b.l, a.m.cpu.IR.b.l);
    EXPECT_EQ(b.m.cpu.IFF2, 0);
    EXPECT_EQ(b.m.cpu.MEMPTR, 0x2468);
    EXPECT_EQ(b.m.FrameTState, a.m.FrameTState);
    EXPECT_EQ(b.m.ports.LastUlaOut, 0x1D);
    EXPECT_EQ(b.m.Last7FFD, a.m.Last7FFD);
    EXPECT_EQ(b.m.Last1FFD, a.m.Last1FFD);
    EXPECT_TRUE(std::equal(a.m.sound.ay.regs, a.m.sound.ay.regs + 16, b.m.sound.ay.regs));
    EXPECT_EQ(b.m.sound.ay.AySelectedRegister, 11);
    EXPECT_FALSE(b.m.cpu.Halted);
  }
}

// ---- device state carried through an SZX file ----

TEST(SzxDeviceBlocks, UlaPlusPaletteSpecDrumAndKeyboardComeBack) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine a;
  a.emu.settings.UlaPlus = 1;
  a.emu.settings.SpecDrum = 1;
  a.emu.ApplyMachineSettings();
  SetUpMachine(a.emu);
  a.m.WritePort(0xBF3B, 0x40);  // mode group: 64-colour mode on
  a.m.WritePort(0xFF3B, 0x01);
  a.m.WritePort(0xBF3B, 0x05);  // palette entry 5
  a.m.WritePort(0xFF3B, 0xE3);
  a.m.WritePort(0x00DF, 0x90);  // the drum's DAC
  a.m.Issue3Keyboard = 0;
  const std::vector<uint8_t> file = BuildSZX(a.emu);

  SnapshotMachine b;
  b.emu.settings.UlaPlus = 1;
  b.emu.settings.SpecDrum = 1;
  b.emu.ApplyMachineSettings();
  ASSERT_EQ(LoadSZX(b.emu, file), 0);
  EXPECT_EQ(b.m.ports.UlaPlusPaletteMode, 1);
  EXPECT_EQ(b.m.ports.UlaPlusPalette[5], a.m.ports.UlaPlusPalette[5]);
  EXPECT_NE(b.m.ports.UlaPlusPalette[5], b.m.ports.UlaPlusPalette[4]);
  EXPECT_EQ(b.m.sound.SpecDrumLevel, a.m.sound.SpecDrumLevel);
  EXPECT_EQ(b.m.Issue3Keyboard, 0);

  // A device block its device cannot take refuses the file and leaves the machine as it was.
  SnapshotRecord record;
  ASSERT_TRUE(ParseSZX(file, record).Ok());
  for (SnapshotBlock& block : record.blocks) {
    if (block.id == SnapshotBlockId("DRUM")) block.body.push_back(0);
  }
  b.m.cpu.PC = 0x1234;
  EXPECT_NE(LoadSZX(b.emu, WriteSZX(record)), 0);
  EXPECT_EQ(b.m.cpu.PC, 0x1234);
}

}  // namespace
}  // namespace orvo::test
