// The window as a desktop program: it keeps to the screen, comes back from
// full screen where it was, starts dialogs in folders that exist, greys empty submenus and keeps
// the recent files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QScreen>
#include <QtTest/QTest>

#include "ui/file_commands.h"
#include "ui/recent_files_menu.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

TEST_F(WindowTest, LargerSizesStayOnTheScreenAndFullScreenComesBackInPlace) {
  OpenWindow();
  QScreen* screen = window->screen();
  ASSERT_NE(screen, nullptr);
  const QRect avail = screen->availableGeometry();
  // Near the bottom right corner, 300% would run off a 1280 x 1024 screen: the window moves.
  window->move(avail.right() - 400, avail.bottom() - 350);
  window->DispatchCommand(CommandId::View300);
  ProcessEvents();
  if (avail.width() >= 1100 && avail.height() >= 1000) {
    EXPECT_EQ(emu->settings.DrawSize, 3);
  } else {
    // A smaller screen gets the largest size that fits, and the status bar says so.
    EXPECT_LT(emu->settings.DrawSize, 3);
    EXPECT_TRUE(window->Status()->Part(3)->text().contains(QStringLiteral("does not fit")));
  }
  EXPECT_TRUE(avail.contains(window->frameGeometry()))
      << window->frameGeometry().x() << "," << window->frameGeometry().y();

  window->DispatchCommand(CommandId::View100);
  window->move(avail.left() + 123, avail.top() + 87);
  ProcessEvents();
  const QRect before = window->geometry();
  for (int trip = 0; trip < 3; ++trip) {
    QTest::keyClick(window.get(), Qt::Key_F4);
    ProcessEvents();
    ASSERT_TRUE(window->IsFullScreen());
    QTest::keyClick(window.get(), Qt::Key_F4);
    ProcessEvents();
    EXPECT_EQ(window->geometry(), before) << "trip " << trip;
  }
}

TEST_F(WindowTest, SubmenusWithNothingAvailableAreGreyed) {
  OpenWindow();  // a 48K: no disk drives, the cartridge slot there
  auto submenu = [&](const char* title) -> QAction* {
    for (QAction* a : window->Menu(QStringLiteral("File"))->actions()) {
      if (a->menu() != nullptr && a->text() == QLatin1String(title)) return a;
    }
    return nullptr;
  };
  ASSERT_NE(submenu("Insert Disk"), nullptr);
  EXPECT_FALSE(submenu("Insert Disk")->isEnabled());
  EXPECT_FALSE(submenu("Eject Disk")->isEnabled());
  EXPECT_EQ(submenu("Interface II Rom")->isEnabled(),
            window->Action(CommandId::If2Insert)->isEnabled());
  EXPECT_FALSE(submenu("Recent Files")->isEnabled());  // nothing opened yet
}

TEST_F(WindowTest, DialogsStartInAFolderThatExists) {
  const QString here = QDir::currentPath();
  const std::string missing = ConfigDir() + "/no/such/folder/";
  const std::string file = ConfigDir() + "/orvo.ini";
  QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
  EXPECT_EQ(StartFolder({missing, here.toStdString()}), here);
  EXPECT_EQ(StartFolder({"", file}), QString::fromStdString(ConfigDir()));
  EXPECT_EQ(StartFolder({missing, ""}), QDir::homePath());
}

// The list itself is the core's test; here: where it is kept, what opening adds, and the menu.
TEST_F(WindowTest, RecentFilesMenu) {
  const std::string tape = (orvo::test::DataDir() / "loop3.tzx").string();
  ORVO_REQUIRE_FILE(tape);
  OpenWindow();
  EXPECT_EQ(window->Recent().StorePath(), ConfigDir() + "/orvo/recent");
  window->OpenCommandLineFile(tape);
  const std::string gone = ConfigDir() + "/gone.z80";
  QFile(QString::fromStdString(gone)).open(QIODevice::WriteOnly);
  window->NoteRecentFile(gone);  // a file saved later goes on top
  ASSERT_EQ(window->Recent().Paths(), (std::vector<std::string>{gone, tape}));
  QFile::remove(QString::fromStdString(gone));

  // A file that went away is shown greyed; choosing it says so and takes it off the list.
  RecentFilesMenu* menu = window->RecentMenu();
  menu->Rebuild();
  EXPECT_TRUE(menu->menuAction()->isEnabled());
  const QList<QAction*> items = menu->actions();
  ASSERT_GE(items.size(), 2);
  EXPECT_TRUE(items[0]->property("orvoMissingFile").toBool());
  EXPECT_FALSE(items[1]->property("orvoMissingFile").toBool());
  items[0]->trigger();
  ProcessEvents();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("File Not Found"), std::string::npos);
  EXPECT_EQ(window->Recent().Paths(), std::vector<std::string>{tape});

  // Choosing a listed file opens it again; "Clear Recent Files" empties the list.
  emu->files.CurrentFilePath.clear();
  menu->actions()[0]->trigger();
  ProcessEvents();
  EXPECT_EQ(emu->files.CurrentFilePath, tape);
  QAction* clear = menu->findChild<QAction*>(QStringLiteral("clearRecentFiles"));
  ASSERT_NE(clear, nullptr);
  clear->trigger();
  ProcessEvents();
  EXPECT_TRUE(window->Recent().Paths().empty());
  EXPECT_FALSE(menu->menuAction()->isEnabled());
}

}  // namespace
}  // namespace orvo::ui::test
