// The windows opened from the main window, under the offscreen platform: the tools, each from
// its command showing the machine's state (the modal ones pause the machine only while open);
// the tape browser on a real TZX tape, the Microdrives window, the ZX Printer and its buffer view,
// the RZX menu with its info window; and the debugger, opened by a breakpoint on the right
// instruction, stepping, and its register window.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "machine/keyboard.h"
#include "rzx/rzx_session.h"
#include "shell/debugger_commands.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/microdrive_commands.h"
#include "shell/poke_memory.h"
#include "shell/screen_file.h"
#include "shell/tape_commands.h"
#include "snapshot/snapshot_fixture.h"
#include "ui/debugger/debugger_window.h"
#include "ui/printer/printer_window.h"
#include "ui/rzx/rzx_commands.h"
#include "ui/tape/tape_browser.h"
#include "ui/tools/keyboard_helper_window.h"
#include "ui/tools/memory_map_window.h"
#include "ui/tools/poke_finder_window.h"
#include "ui/tools/poke_memory_window.h"
#include "ui/tools/snapshot_analyser_window.h"
#include "ui/tools/sprite_search_window.h"
#include "ui/tools/ulaplus_editor_window.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

class ToolWindows : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
    OpenWindow();
  }
  template <class T>
  T* Open(CommandId id) {
    window->DispatchCommand(id);
    ProcessEvents();
    return window->findChild<T*>();
  }
};

// The POKE finder searches live memory with the machine running; POKE Memory pauses it while
// open and shows the byte at an address (the rules of both are the tools' own tests).
TEST_F(ToolWindows, PokeFinderRunsLiveAndPokeMemoryPausesWhileOpen) {
  PokeByte(emu->m, kPokNoBank, 30000, 153);
  PokeByte(emu->m, kPokNoBank, 30001, 153);
  auto* finder = Open<PokeFinderWindow>(CommandId::PokeFinder);
  ASSERT_NE(finder, nullptr);
  EXPECT_EQ(emu->m.Paused, 0u);
  finder->value()->setText("153");
  finder->start()->setText("30000");
  finder->end()->setText("30002");
  finder->Search();
  EXPECT_EQ(finder->results()->count(), 2);
  finder->start()->setText("5B00");  // refused: shown under the finder's caption
  finder->Search();
  EXPECT_EQ(messages.at(0).caption, "Orvo POKE Find");

  auto* poke = Open<PokeMemoryWindow>(CommandId::PokeMemory);
  ASSERT_NE(poke, nullptr);
  EXPECT_NE(emu->m.Paused, 0u);
  poke->SetAddress("30000");
  EXPECT_EQ(poke->current()->text(), "153");
  poke->close();
  ProcessEvents();
  EXPECT_EQ(emu->m.Paused, 0u);  // the pause ended with the window
}

// The memory map shows the paging; the sprite search draws memory as bits (0x81: the first and
// last set, drawn black); the keyboard helper and the ULAplus editor show and change the machine.
TEST_F(ToolWindows, SmallToolsShowTheMachine) {
  auto* map = Open<MemoryMapWindow>(CommandId::MemoryMap);
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->Page(0)->text().startsWith("ROM 0")) << map->Page(0)->text().toStdString();
  EXPECT_TRUE(map->Page(2)->text().contains("contended"));
  EXPECT_FALSE(map->Page(4)->text().contains("contended"));

  PokeByte(emu->m, kPokNoBank, 0x9000, 0x81);
  auto* sprites = Open<SpriteSearchWindow>(CommandId::SpriteSearch);
  ASSERT_NE(sprites, nullptr);
  sprites->address()->setValue(0x9000);
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(sprites->image().pixel(x, 0), x == 0 || x == 7 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
  // The keyboard helper lights the keys held and presses the ones clicked.
  auto* keys = Open<KeyboardHelperWindow>(CommandId::KeyboardHelper);
  ASSERT_NE(keys, nullptr);
  PressSpectrumKey(emu->m, SpectrumKey{2, 0});  // Q
  keys->Refresh();
  EXPECT_TRUE(keys->Key(1, 0)->property("lit").toBool());
  EXPECT_TRUE(keys->Key(1, 0)->text().contains("PLOT"));
  ReleaseSpectrumKey(emu->m, SpectrumKey{2, 0});
  keys->Refresh();
  EXPECT_FALSE(keys->Key(1, 0)->property("lit").toBool());
  QTest::mousePress(keys->Key(1, 9), Qt::LeftButton);  // P
  EXPECT_EQ(emu->m.input.KeyRows[5] & 1, 0);
  QTest::mouseRelease(keys->Key(1, 9), Qt::LeftButton);
  EXPECT_EQ(emu->m.input.KeyRows[5] & 1, 1);
  // The ULAplus editor shows and edits an entry.
  auto bytes = UlaPlusPaletteBytes(emu->m);
  bytes[5] = 0xE3;
  SetUlaPlusPaletteBytes(emu->m, bytes);
  auto* editor = Open<UlaPlusEditorWindow>(CommandId::UlaPlusEditor);
  ASSERT_NE(editor, nullptr);
  editor->Select(5);
  EXPECT_TRUE(editor->entryText()->text().endsWith("E3"))
      << editor->entryText()->text().toStdString();
  EXPECT_EQ(editor->green()->value(), 7);
  editor->green()->setValue(0);
  EXPECT_EQ(UlaPlusPaletteBytes(emu->m)[5], 0x03);
}

TEST_F(ToolWindows, SnapshotAnalyserReportsTheLoadedFile) {
  EXPECT_EQ(Open<SnapshotAnalyserWindow>(CommandId::SnapshotAnalyser), nullptr);  // no file yet
  const auto file = orvo::test::SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(file);
  window->OpenDroppedFile(QString::fromStdString(file.string()));
  const uint16_t pc = emu->m.cpu.PC;
  auto* analyser = Open<SnapshotAnalyserWindow>(CommandId::SnapshotAnalyser);
  ASSERT_NE(analyser, nullptr);
  EXPECT_EQ(analyser->Value("Model"), "48K");
  EXPECT_EQ(analyser->Value("PC").toUInt(nullptr, 16), pc);
  analyser->close();
  ProcessEvents();
  EXPECT_EQ(emu->m.Paused, 0u);
}

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

  const std::string path = ConfigDir() + "/tape.mdr";
  ASSERT_EQ(CreateCartridge(*emu, 1, path), 0);
  window->RefreshMenuStates();
  // The lines are refreshed by the window's timer.
  EXPECT_TRUE(RunPassesUntil([&] { return drive2->text() == "2. tape.mdr"; }, 2000));
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

QAction* ActionWithKey(QWidget* w, const char* key) {
  for (QAction* a : w->actions()) {
    if (a->shortcut() == QKeySequence(QString::fromLatin1(key))) return a;
  }
  return nullptr;
}

QString HighlightedLine(const DebuggerWindow& d) {
  for (int i = 0; i < d.Disassembly()->count(); ++i) {
    const QListWidgetItem* item = d.Disassembly()->item(i);
    if (item->background().color() == Qt::blue) return item->text();
  }
  return {};
}

class DebuggerWindowTest : public WindowTest {};

TEST_F(DebuggerWindowTest, BreakpointOpensItOnPcAndF9Steps) {
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  OpenWindow();
  RunFrames(100);  // the ROM has reached its keyboard loop
  ASSERT_TRUE(AddBreakpointChecked(*emu, "#028E", "", true));  // KEY_SCAN, every interrupt

  bool seen = false;
  QString atStop, afterStep, panel, headings;
  bool calculator = false;
  uint16_t hlAfterEdit = 0;
  // The window is modal: a timer looks for it while it is open.
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* d = qobject_cast<DebuggerWindow*>(QApplication::activeModalWidget());
    if (d == nullptr || seen) return;
    seen = true;
    poll.stop();
    atStop = HighlightedLine(*d);
    QAction* f9 = ActionWithKey(d, "F9");
    if (f9) f9->trigger();
    afterStep = HighlightedLine(*d);
    panel = d->RegisterPanel()->text();
    // The memory view's columns are the offsets from each row's address; the calculator opens
    // from the window's Tools menu.
    if (auto* memory = d->findChild<QTableWidget*>("memory")) {
      headings = memory->horizontalHeaderItem(0)->text() + memory->horizontalHeaderItem(7)->text();
    }
    for (QAction* a : d->findChildren<QAction*>()) calculator |= a->text() == "Calculator";
    // Edit a register through the table: HL becomes 1234.
    d->Registers()->item(5, 0)->setText("1234");
    hlAfterEdit = emu->m.cpu.HL.w;
    DeleteBreakpoint(emu->m, 0);
    d->reject();
  });
  poll.start();
  RunPassesUntil([&] { return seen; }, 20000);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(atStop.startsWith("028E  LD    L,#2F")) << atStop.toStdString();
  EXPECT_TRUE(afterStep.startsWith("0290  LD    DE,#FFFF")) << afterStep.toStdString();
  EXPECT_TRUE(panel.contains("PC  0290")) << panel.toStdString();
  EXPECT_TRUE(panel.contains(QRegularExpression("HL  [0-9A-F]{2}2F"))) << panel.toStdString();
  EXPECT_EQ(hlAfterEdit, 0x1234);
  EXPECT_EQ(headings, "+0+7");
  EXPECT_TRUE(calculator);
  // The machine runs on once the window is closed.
  RunFrames(5);
  EXPECT_EQ(emu->m.debug.stop, DebugStop::kNone);
  EXPECT_EQ(emu->m.DebugHooksActive, 0);
}

// The breakpoint list opened from "View Registers" makes a breakpoint's stop open the register
// window; each window comes back where it was last closed.
TEST_F(DebuggerWindowTest, RegisterWindowModeAndKeptPositions) {
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  OpenWindow();
  RunFrames(50);
  ASSERT_TRUE(AddBreakpointChecked(*emu, "#028E", "", true));

  const char* const expected[] = {"DEBUG_VIEWREGS", "ORVO_BREAKPOINTS", "DEBUG_VIEWREGS",
                                  "DEBUG_VIEWREGS"};
  int stage = 0;
  bool debuggerOpened = false;
  QString stopPanel;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->objectName() == "ORVO_DEBUGGER") {  // wrong: end the test
      debuggerOpened = true;
      DeleteBreakpoint(emu->m, 0);
      return dialog->reject();
    }
    if (dialog == nullptr || stage >= 4 || dialog->objectName() != expected[stage]) return;
    switch (stage++) {
      case 0:  // "View Registers": open its breakpoint list (modal: from the event loop)
        dialog->move(210, 170);
        QTimer::singleShot(0, dialog->findChild<QPushButton*>("breakpoints"), &QPushButton::click);
        break;
      case 1: dialog->move(230, 190); [[fallthrough]];
      case 2: dialog->reject(); break;
      default:  // the breakpoint's stop
        stopPanel = dialog->findChild<QLabel*>()->text();
        DeleteBreakpoint(emu->m, 0);
        dialog->reject();
    }
  });
  poll.start();
  window->DispatchCommand(CommandId::ViewRegisters);
  RunPassesUntil([&] { return !stopPanel.isEmpty() || debuggerOpened; }, 20000);
  poll.stop();
  EXPECT_FALSE(debuggerOpened);
  ASSERT_EQ(stage, 4);  // the stop opened the register window, not the debugger window
  EXPECT_TRUE(stopPanel.contains("PC  028E")) << stopPanel.toStdString();
  RunFrames(3);
  EXPECT_EQ(emu->m.Paused, 0u);  // closing the register window let the machine go on

  EXPECT_EQ(GetWindowPlacement(*emu, Placement::ViewRegisters), (WindowPosition{210, 170}));
  BreakpointDialog again(*emu, window.get());
  EXPECT_EQ(again.pos(), QPoint(230, 190));
}

}  // namespace
}  // namespace orvo::ui::test
