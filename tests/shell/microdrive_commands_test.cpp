// Cartridges as the user handles them: a failed write-back keeps the cartridge, the protect tab
// reaches the file, and the "View Microdrive" item follows whether any drive holds one.
#include "shell/microdrive_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "formats/mdr_format.h"
#include "shell/emulator.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

TEST(MicrodriveCommands, CartridgesSurviveFailedWritesAndKeepTheirProtectTab) {
  test::RecordingHost host;
  Emulator emu(host);
  const fs::path dir = fs::temp_directory_path() / ("orvo-mdr-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path cart = dir / "blank.mdr";

  ASSERT_EQ(CreateCartridge(emu, 3, cart.string()), 0);
  const MicrodriveUnit& d = emu.m.microdrives.drives[3];
  EXPECT_TRUE(d.inserted && d.writable);
  EXPECT_EQ(d.name, "blank.mdr");

  // Protecting it is what goes back into the file.
  SetCartridgeProtected(emu, 3, true);
  ASSERT_EQ(EjectCartridge(emu, 3), 0);
  EXPECT_EQ(d.name, kNoCartridgeName);
  EXPECT_FALSE(emu.menu.IsEnabled(CommandId::ViewMicrodrive));  // no drive holds one
  EXPECT_EQ(test::ReadWholeFile(cart).back(), 1);

  // A file that has gone is refused; the drive stays empty.
  EXPECT_EQ(InsertCartridge(emu, 0, (dir / "none.mdr").string()), 1);
  EXPECT_EQ(host.messages.at(0).message, kMsgCartridgeUnreadable);
  EXPECT_FALSE(emu.m.microdrives.drives[0].inserted);

  // When the folder has gone by the time of the eject, the cartridge stays in its drive.
  ASSERT_EQ(InsertCartridge(emu, 0, cart.string()), 0);
  EXPECT_FALSE(emu.m.microdrives.drives[0].writable);
  fs::remove_all(dir);
  EXPECT_EQ(EjectAllCartridges(emu), 1);
  EXPECT_EQ(host.messages.at(1).message, kMsgCartridgeWriteFailed);
  EXPECT_TRUE(emu.m.microdrives.drives[0].inserted);
}

}  // namespace
}  // namespace orvo
