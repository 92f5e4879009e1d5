// The Microdrives window: the drives' lines follow the cartridges, the buttons act on the chosen
// drive only, and the protect box reaches the cartridge.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "shell/microdrive_commands.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

TEST_F(WindowTest, MicrodrivesWindowShowsAndHandlesTheDrives) {
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "IF1.rom");
  emu->settings.Interface1 = 1;
  OpenWindow();
  ASSERT_TRUE(window->Action(CommandId::Microdrives)->isEnabled());
  EXPECT_FALSE(window->Action(CommandId::ViewMicrodrive)->isEnabled());
  window->DispatchCommand(CommandId::Microdrives);
  auto* dialog = window->findChild<QDialog*>(QStringLiteral("ORVO_MICRODRIVES"));
  ASSERT_NE(dialog, nullptr);
  auto* drive2 = dialog->findChild<QRadioButton*>(QStringLiteral("drive2"));
  auto* eject = dialog->findChild<QPushButton*>(QStringLiteral("eject"));
  ASSERT_TRUE(drive2 && eject);
  EXPECT_EQ(drive2->text(), QStringLiteral("2. No Cartridge Inserted"));
  EXPECT_FALSE(eject->isEnabled()) << "nothing chosen";

  const std::string path = ConfigDir() + "/tape.mdr";
  ASSERT_EQ(CreateCartridge(*emu, 1, path), 0);
  window->RefreshMenuStates();
  // The lines are refreshed by the window's timer.
  EXPECT_TRUE(RunPassesUntil([&] { return drive2->text() == "2. tape.mdr"; }, 2000));
  auto* protect = dialog->findChild<QCheckBox*>(QStringLiteral("protect2"));
  EXPECT_FALSE(protect->isChecked());
  protect->setChecked(true);
  EXPECT_FALSE(emu->m.microdrives.drives[1].writable);
  EXPECT_TRUE(window->Action(CommandId::ViewMicrodrive)->isEnabled());

  drive2->setChecked(true);
  ASSERT_TRUE(eject->isEnabled());
  eject->click();
  EXPECT_FALSE(emu->m.microdrives.drives[1].inserted);
  EXPECT_EQ(drive2->text(), QStringLiteral("2. No Cartridge Inserted"));
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace orvo::ui::test
