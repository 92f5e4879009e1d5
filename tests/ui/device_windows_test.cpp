// The windows of the machine's media and devices: the tape browser on a real TZX tape, the
// Microdrives window, the ZX Printer and its buffer view, and the RZX menu with its info window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "rzx/rzx_session.h"
#include "shell/file_dispatch.h"
#include "shell/microdrive_commands.h"
#include "shell/tape_browser_text.h"
#include "shell/tape_commands.h"
#include "snapshot/snapshot_fixture.h"
#include "tape/tape_player.h"
#include "ui/printer/printer_window.h"
#include "ui/rzx/rzx_commands.h"
#include "ui/tape/tape_browser.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

QStringList Rows(const QListWidget& list) {
  QStringList rows;
  for (int k = 0; k < list.count(); ++k) rows << list.item(k)->text();
  return rows;
}

TEST_F(WindowTest, TapeBrowserListsTheBlocksOfATzxAndMovesTheDeck) {
  const auto tzx = orvo::test::SharedFile("testdata/media/tzx/zasm_tzx_blocks.tzx");
  ORVO_REQUIRE_FILE(tzx);
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  OpenWindow();
  ASSERT_EQ(LoadTape(*emu, tzx.string()), 0);
  window->DispatchCommand(CommandId::BrowseTape);
  ProcessEvents();
  auto* browser = window->findChild<TapeBrowser*>(QStringLiteral("ORVO_TAPE_BROWSER"));
  ASSERT_NE(browser, nullptr);
  const QStringList rows = Rows(*browser->BlockList());
  ASSERT_EQ(rows.size(), static_cast<int>(emu->m.tape.image->blocks.size()) + 1);
  // The ROM header names its program and line; the last row closes the list.
  EXPECT_TRUE(rows.contains("PROGRAM: mloader     LINE 10")) << rows.join('|').toStdString();
  EXPECT_EQ(rows.back(), "End Of Tape");
  // One row of each kind the tape holds.
  for (const char* start :
       {"TURBO DATA - ", "PURE TONE - ", "SEQUENCE of ", "PURE DATA - ", "CSW DATA - ",
        "GENERALIZED DATA", "[PAUSE - ", "[GROUP END]", "[LOOP ", "[LOOP END]",
        "[STOP THE TAPE (IF 48K)]", "[ARCHIVE INFO BLOCK]", "[HARDWARE INFO BLOCK]",
        "[SET SIGNAL LEVEL]", "Es folgen einige Testblocks"}) {
    EXPECT_FALSE(rows.filter(QRegularExpression("^" + QRegularExpression::escape(start))).isEmpty())
        << start << " in " << rows.join('|').toStdString();
  }
  EXPECT_EQ(browser->BlockList()->currentRow(), 0);

  // A click while stopped makes that block current and shows its details.
  const int csw = static_cast<int>(rows.indexOf(QRegularExpression("^CSW DATA - .*")));
  ASSERT_GE(csw, 0);
  browser->BlockList()->setCurrentRow(csw);
  emit browser->BlockList()->itemClicked(browser->BlockList()->item(csw));
  ProcessEvents();
  ASSERT_NE(emu->m.tape.image->current, nullptr);
  EXPECT_EQ(static_cast<int>(emu->m.tape.image->current->index), csw);
  QTreeWidget* details = browser->DetailList();
  ASSERT_GE(details->topLevelItemCount(), 3);
  EXPECT_EQ(details->topLevelItem(0)->text(0), "Block ID");
  EXPECT_EQ(details->topLevelItem(0)->text(1), "0x18");
  EXPECT_EQ(details->findItems("Frequency", Qt::MatchExactly).size(), 1);

  // First and previous: from the first block "previous" stays there; the last button goes last.
  browser->findChild<QPushButton*>("tapeButton1")->click();
  EXPECT_EQ(emu->m.tape.image->current->index, 0u);
  browser->findChild<QPushButton*>("tapeButton5")->click();
  EXPECT_EQ(emu->m.tape.image->current, emu->m.tape.image->last);
  // Eject empties the list; a second open of the command raises the same window.
  browser->findChild<QPushButton*>("tapeButton6")->click();
  ProcessEvents();
  EXPECT_EQ(browser->BlockList()->count(), 0);
  window->DispatchCommand(CommandId::BrowseTape);
  EXPECT_EQ(window->findChildren<TapeBrowser*>().size(), 1);
}

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

TEST(PrinterWindow, AttachesFeedsClearsAndSaves) {
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  orvo::test::SnapshotMachine t;  // a booted 48K
  Emulator& emu = t.emu;
  EXPECT_EQ(emu.m.printer.attached, 0);

  auto* window = new PrinterWindow(emu, nullptr);
  window->show();
  EXPECT_EQ(emu.m.printer.attached, 1);
  auto click = [&](const char* name) {
    QTest::mouseClick(window->findChild<QPushButton*>(QString::fromUtf8(name)), Qt::LeftButton);
  };
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("paper.png"));
  QString error;
  EXPECT_FALSE(window->SavePaper(png, &error));  // nothing printed yet
  emu.m.printer.paper[5] = 0;
  click("feed");
  EXPECT_EQ(emu.m.printer.line, 1u);
  ASSERT_TRUE(window->SavePaper(png, &error)) << error.toStdString();
  EXPECT_EQ(QImage(png).width(), 256);
  click("clear");
  EXPECT_EQ(emu.m.printer.line, 0u);
  EXPECT_EQ(emu.m.printer.paper[5], 255);
  click("close");
  EXPECT_EQ(emu.m.printer.attached, 0);
}

// "View Printer Buffer" is offered once there is paper, lists the printed dots, and follows the
// printing while it is open.
TEST_F(WindowTest, PrinterBufferViewFollowsThePaper) {
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  OpenWindow();
  EXPECT_FALSE(window->Action(CommandId::ViewPrinterBuffer)->isEnabled());
  window->DispatchCommand(CommandId::ZxPrinter);
  EXPECT_TRUE(window->Action(CommandId::ViewPrinterBuffer)->isEnabled());
  emu->m.printer.paper[8] = 0;  // line 0, dot 8: bit 7 of its second byte
  window->DispatchCommand(CommandId::ViewPrinterBuffer);
  EXPECT_EQ(emu->m.Paused, 0u);  // the machine runs on once the view is made
  auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("buffer"));
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("\n    0  00 80 00")))
      << text->toPlainText().left(200).toStdString();
  FeedPaper(emu->m.printer);
  EXPECT_TRUE(RunPassesUntil(
      [&] { return text->toPlainText().contains(QStringLiteral("line 1 ")); }, 3000));
}

TEST_F(WindowTest, RzxInfoScrollsAndTheMenuFollowsPlayback) {
  const auto file = orvo::test::SharedFile("testdata/media/rzx/harddrivin.rzx");
  ORVO_REQUIRE_FILE(file);
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "128k.rom");
  OpenWindow();
  ASSERT_EQ(OpenFileCommand(*emu, file.string()), 0);
  EXPECT_TRUE(emu->rzx.playing);
  EXPECT_FALSE(emu->menu.IsEnabled(CommandId::RzxPlay));
  EXPECT_FALSE(emu->menu.IsEnabled(CommandId::RzxAddBookmark));
  // F5 opens no debugger over a recording being played.
  window->RefreshMenuStates();
  EXPECT_FALSE(window->Action(CommandId::Debugger)->isEnabled());

  RzxInfoWindow info(*window);
  EXPECT_TRUE(info.Fields()->toPlainText().contains(QStringLiteral("Duration: 00:07:22")));
  QListWidget* list = info.Frames();
  ASSERT_EQ(list->count(), 22116);
  const std::pair<Qt::Key, int> steps[] = {
      {Qt::Key_Down, 1},         {Qt::Key_PageDown, 41}, {Qt::Key_Up, 40}, {Qt::Key_End, 22115},
      {Qt::Key_PageDown, 22115}, {Qt::Key_Home, 0},      {Qt::Key_Up, 0}};
  for (const auto& [key, row] : steps) {
    QTest::keyClick(&info, key);
    EXPECT_EQ(list->currentRow(), row) << key;
  }
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(list->viewport(), &wheel);
  EXPECT_EQ(list->currentRow(), 32);

  StopRzxPlayback(*emu);
  EXPECT_TRUE(emu->menu.IsEnabled(CommandId::RzxPlay));
  EXPECT_TRUE(emu->menu.IsEnabled(CommandId::Debugger));
  StartRzxRecording(*emu, ConfigDir() + "/window.rzx");  // the test's own folder
  EXPECT_TRUE(emu->menu.IsEnabled(CommandId::RzxAddBookmark));
  EXPECT_FALSE(emu->menu.IsEnabled(CommandId::RzxGoToBookmark));
  AddRollbackPoint(*emu);
  EXPECT_TRUE(emu->menu.IsEnabled(CommandId::RzxGoToBookmark));
  RzxRollbackList rollbacks(*window);
  ASSERT_EQ(rollbacks.List()->count(), 1);
  EXPECT_EQ(rollbacks.List()->item(0)->text(), QStringLiteral("0.00 seconds"));
  EXPECT_TRUE(StopRzxRecording(*emu));
}

}  // namespace
}  // namespace orvo::ui::test
