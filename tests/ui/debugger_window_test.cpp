// The debugger window as a user meets it: a breakpoint stops the running machine and opens it on
// the right instruction; F9 steps; the views follow; closing lets the machine run on.
#include "ui/debugger/debugger_window.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>

#include "shell/config.h"
#include "shell/debugger_commands.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

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
  QString atStop, afterStep, afterStepOut, panel;
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
    // Edit a register through the table: HL becomes 1234.
    d->Registers()->item(5, 0)->setText("1234");
    hlAfterEdit = emu->m.cpu.HL.w;
    QAction* f7 = ActionWithKey(d, "F7");
    if (f7) f7->trigger();
    afterStepOut = HighlightedLine(*d);
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
  // Step Out ran KEY_SCAN through its RET, back to KEYBOARD after its CALL at 02BF.
  EXPECT_TRUE(afterStepOut.startsWith("02C2  RET   NZ")) << afterStepOut.toStdString();
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
