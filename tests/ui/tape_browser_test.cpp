// The tape browser window: the rows of a real TZX tape, the details of a block, the transport
// buttons and a click that moves the deck to a block.
#include "ui/tape/tape_browser.h"

#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include "shell/tape_browser_text.h"
#include "shell/tape_commands.h"
#include "tape/tape_player.h"
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

}  // namespace
}  // namespace orvo::ui::test
