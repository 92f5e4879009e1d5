// "New Disk": a blank disk written beside the user's files and put into the drive; a place that
// cannot be written leaves the drive as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "machine/machine_fixture.h"
#include "shell/disk_commands.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

TEST(NewDisk, WritesABlankDiskAndInsertsItOrSaysWhyNot) {
  ORVO_REQUIRE_FILE(RomDir() / "plus3.rom");
  TestMachine t(kModelPlus3);
  const fs::path dir = fs::temp_directory_path() / "orvo_new_disk_test";
  fs::create_directories(dir);
  const fs::path path = dir / "blank.dsk";
  fs::remove(path);

  ASSERT_EQ(NewDiskCommand(t.emu, 1, path.string()), 0);
  EXPECT_TRUE(t.host.messages.empty());
  EXPECT_TRUE(fs::exists(path));
  ASSERT_TRUE(t.m.Fdc.DiskInserted(1));
  EXPECT_FALSE(t.m.Fdc.DiskInserted(0));
  EXPECT_EQ(t.m.Fdc.Disk(1).cylinders, 40);
  EXPECT_EQ(t.emu.disks.path[1], path.string());

  // A folder that does not exist: message 147 naming the file, and B: keeps its disk.
  const std::string nowhere = (dir / "missing" / "x.dsk").string();
  EXPECT_EQ(NewDiskCommand(t.emu, 1, nowhere), 1);
  ASSERT_EQ(t.host.messages.size(), 1u);
  EXPECT_EQ(t.host.messages[0].message, kMsgDiskSaveFailed);
  EXPECT_EQ(t.host.messages[0].detail, nowhere);
  EXPECT_EQ(t.emu.disks.path[1], path.string());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvo::test
