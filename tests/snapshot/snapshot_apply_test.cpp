// Taking a record out of a machine and putting it into another gives the same machine, on every
// model, including what only the block formats carry (T-state, MEMPTR). A halted CPU: the round
// trip tests.
#include <gtest/gtest.h>

#include "machine/memory.h"
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

}  // namespace
}  // namespace orvo::test
