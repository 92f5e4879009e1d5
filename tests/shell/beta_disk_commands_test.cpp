// The File menu's disk items on a machine with the Beta 128: its four drives take disks, new
// blank ones and ejections, and their write-protect marks follow the drives; a disk whose file
// cannot be written back cannot be unprotected.
#include "shell/beta_disk_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/beta128.h"
#include "formats/trd_format.h"
#include "machine/machine_fixture.h"
#include "shell/snapshot_save.h"
#include "shell/window_commands.h"
#include "support/temp_dir.h"

namespace orvo::test {
namespace {

struct BetaMachine {
  BetaMachine() : t(kModel48K) {
    t.emu.settings.Beta128 = 1;
    t.m.settings.Beta128 = 1;
    t.m.TrdosRom.assign(kTrdosRomSize, 0xC9);
    UpdateDevices(t.m);
    UpdateBetaDiskMenus(t.emu);
  }
  std::string Path(const char* name) const { return folder / name; }
  TestMachine t;
  TempDir folder;
};

TEST(BetaDiskCommands, DrivesTakeNewDisksAndTheirWriteProtectMarksFollow) {
  BetaMachine b;
  MenuStates& menu = b.t.emu.menu;
  EXPECT_TRUE(menu.IsEnabled(CommandId::InsertDiskD));
  EXPECT_FALSE(menu.IsEnabled(CommandId::WriteProtectC)) << "an empty drive has no tab";

  ASSERT_EQ(NewBetaDiskCommand(b.t.emu, 2, b.Path("new.trd")), 0);
  TrdDisk written;
  ASSERT_TRUE(ParseTrd(ReadWholeFile(b.Path("new.trd")), written).Ok());
  EXPECT_TRUE(TrdCatalogue(written).empty());
  EXPECT_TRUE(b.t.m.Beta.DiskInserted(2));
  EXPECT_TRUE(menu.IsEnabled(CommandId::WriteProtectC));
  EXPECT_FALSE(menu.IsChecked(CommandId::WriteProtectC));

  EXPECT_TRUE(SetBetaWriteProtect(b.t.emu, 2, true));
  EXPECT_TRUE(b.t.m.Beta.WriteProtected(2));
  EXPECT_TRUE(menu.IsChecked(CommandId::WriteProtectC));
  EXPECT_TRUE(SetBetaWriteProtect(b.t.emu, 2, false));
  EXPECT_FALSE(menu.IsChecked(CommandId::WriteProtectC));

  EjectBetaDiskCommand(b.t.emu, 2);
  EXPECT_FALSE(b.t.m.Beta.DiskInserted(2));
  EXPECT_FALSE(menu.IsEnabled(CommandId::WriteProtectC));

  // A new disk where no file can be made is refused, saying where.
  EXPECT_NE(NewBetaDiskCommand(b.t.emu, 3, b.Path("missing/folder.trd")), 0);
  EXPECT_FALSE(b.t.m.Beta.DiskInserted(3));
  EXPECT_FALSE(b.t.host.messages.empty());
}

// A disk from an archive has no file to go back to.
TEST(BetaDiskCommands, ADiskWithNoFileToGoBackToStaysWriteProtected) {
  BetaMachine b;
  const std::vector<uint8_t> image = WriteTrd(BlankTrd("ZIPPED"));
  ASSERT_TRUE(InsertBetaDiskBytes(b.t.emu, 0, image, "games.zip/disk.trd", true));
  UpdateBetaDiskMenus(b.t.emu);
  EXPECT_TRUE(b.t.emu.menu.IsChecked(CommandId::WriteProtectA));
  EXPECT_FALSE(SetBetaWriteProtect(b.t.emu, 0, false));
  EXPECT_TRUE(b.t.m.Beta.WriteProtected(0));
  EXPECT_TRUE(b.t.emu.menu.IsChecked(CommandId::WriteProtectA));
}

// What TR-DOS wrote reaches the disk's file before an SZX names it and when the window quits.
TEST(BetaDiskCommands, WrittenDisksGoBackToTheirFilesOnSnapshotAndQuit) {
  BetaMachine b;
  b.t.emu.folders.ConfigFolder = b.folder.path.string();
  ASSERT_EQ(NewBetaDiskCommand(b.t.emu, 0, b.Path("work.trd")), 0);
  Wd1793& wd = b.t.m.Beta;
  wd.WriteSystem(kSystemReset | kSystemSide | 0x08);  // drive A, the first side
  auto writeFirstSector = [&](uint8_t fill) {
    wd.WriteSector(1);
    wd.WriteCommand(0xA0, 1000);
    for (int i = 0; i < 256 && wd.Drq(); ++i) wd.WriteData(fill, 1000);
    ASSERT_TRUE(wd.Modified(0));
  };
  auto firstByteOnFile = [&] {
    TrdDisk disk;
    EXPECT_TRUE(ParseTrd(ReadWholeFile(b.Path("work.trd")), disk).Ok());
    return disk.Sector(0, 0, 1)[0];
  };
  writeFirstSector(0x5A);
  ASSERT_EQ(SaveSnapshot(b.t.emu, b.Path("state.szx")), kSaved);
  EXPECT_EQ(firstByteOnFile(), 0x5A);
  writeFirstSector(0xA5);
  ShutDown(b.t.emu);
  EXPECT_EQ(firstByteOnFile(), 0xA5);
}

TEST(BetaDiskCommands, WithoutTheInterfaceOnlyThePlusThreeDrivesAreOffered) {
  TestMachine t(kModelPlus3);
  UpdateBetaDiskMenus(t.emu);
  EXPECT_TRUE(t.emu.menu.IsEnabled(CommandId::InsertDiskA));
  EXPECT_FALSE(t.emu.menu.IsEnabled(CommandId::InsertDiskC));
  EXPECT_FALSE(t.emu.menu.IsEnabled(CommandId::WriteProtectA));
  EXPECT_NE(InsertBetaDiskCommand(t.emu, 2, "x.trd"), 0);
}

}  // namespace
}  // namespace orvo::test
