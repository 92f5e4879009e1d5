// The assembler's window on a running machine: a source opened from a file, assembled into
// memory and run (its message appears on the screen while the machine goes on running), an
// error marked at its line with a click going there, and find and replace with undo.
#include "ui/assembler/assembler_window.h"

#include <Qsci/qsciscintilla.h>

#include <QtTest/QTest>

#include "machine/machine_state.h"
#include "shell/command_id.h"
#include "video/screen_text.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

constexpr const char* kHello =
    "        org 40000\n"
    "start:  ld a,2\n"
    "        call #1601\n"
    "        ld hl,text\n"
    ".next:  ld a,(hl)\n"
    "        or a\n"
    "        jr z,.done\n"
    "        rst #10\n"
    "        inc hl\n"
    "        jr .next\n"
    ".done:  jr .done\n"
    "text:   defm \"WINDOW ASM\",0\n"
    "        end start\n";

class AssemblerWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
    OpenWindow();
    // The ROM ready at its keyboard wait, as a user would find it.
    RunFrames(150);
    window->DispatchCommand(CommandId::Assembler);
    ProcessEvents();
    asmWindow = window->findChild<AssemblerWindow*>();
  }
  AssemblerWindow* asmWindow = nullptr;
  QTemporaryDir dir;
};

TEST_F(AssemblerWindowTest, OpensAssemblesIntoMemoryAndRunsWithTheMachineRunning) {
  ASSERT_NE(asmWindow, nullptr);
  const QString path = dir.filePath("hello.asm");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kHello);
  }
  ASSERT_TRUE(asmWindow->OpenSource(path));
  EXPECT_EQ(asmWindow->tabs()->count(), 1);  // the empty first tab was reused
  EXPECT_EQ(asmWindow->tabs()->tabText(0), "hello.asm");
  // The window does not pause the machine.
  const uint64_t before = emu->m.FrameCount;
  RunFrames(5);
  EXPECT_GT(emu->m.FrameCount, before);

  ASSERT_TRUE(asmWindow->AssembleAndRun()) << asmWindow->status()->text().toStdString();
  EXPECT_EQ(emu->m.Peek(40000), 0x3E);
  EXPECT_EQ(emu->m.debug.labels.Find("start.done"), asmWindow->lastResult()->Find("start.done"));
  RunFrames(20);
  EXPECT_NE(ScreenText(emu->m).find("WINDOW ASM"), std::string::npos) << ScreenText(emu->m);
  EXPECT_EQ(asmWindow->diagnostics()->count(), 0);
}

TEST_F(AssemblerWindowTest, AnErrorIsListedAndMarkedAtItsLineAndAClickGoesThere) {
  ASSERT_NE(asmWindow, nullptr);
  QsciScintilla* e = asmWindow->CurrentEditor();
  e->setText(" org 40000\n nop\n ld a,nowhere\n nop\n");
  const uint8_t old = emu->m.Peek(40000);
  EXPECT_FALSE(asmWindow->Assemble());
  EXPECT_EQ(emu->m.Peek(40000), old);  // nothing written
  ASSERT_EQ(asmWindow->diagnostics()->count(), 1);
  EXPECT_TRUE(asmWindow->diagnostics()->item(0)->text().contains(":3:7: error: undefined label"))
      << asmWindow->diagnostics()->item(0)->text().toStdString();
  EXPECT_EQ(e->markersAtLine(2) & (1 << AssemblerWindow::kErrorMarker),
            1 << AssemblerWindow::kErrorMarker);
  EXPECT_EQ(e->markersAtLine(1), 0u);
  e->setCursorPosition(0, 0);
  QTest::mouseClick(
      asmWindow->diagnostics()->viewport(), Qt::LeftButton, {},
      asmWindow->diagnostics()->visualItemRect(asmWindow->diagnostics()->item(0)).center());
  int line = -1, column = -1;
  e->getCursorPosition(&line, &column);
  EXPECT_EQ(line, 2);
  EXPECT_EQ(column, 6);
  // Mended, the marker goes: the window's F9 action assembles (the offscreen platform gives the
  // dialog no keyboard focus to send the key itself to).
  e->setText(" org 40000\n nop\nnowhere: ld hl,nowhere\n nop\n");
  QAction* f9 = nullptr;
  for (QAction* a : asmWindow->actions())
    if (a->shortcut() == QKeySequence(Qt::Key_F9)) f9 = a;
  ASSERT_NE(f9, nullptr);
  f9->trigger();
  ProcessEvents();
  EXPECT_EQ(asmWindow->diagnostics()->count(), 0);
  EXPECT_EQ(e->markersAtLine(2), 0u);
  EXPECT_EQ(emu->m.Peek(40001), 0x21);  // LD HL,40001
  EXPECT_EQ(emu->m.Peek(40002), 0x41);
  EXPECT_EQ(emu->m.Peek(40003), 0x9C);
}

TEST_F(AssemblerWindowTest, EditingUndoesAndTabsHighlightNothingLost) {
  ASSERT_NE(asmWindow, nullptr);
  QsciScintilla* e = asmWindow->CurrentEditor();
  e->setText(" ld a,1\n");
  e->setModified(false);
  e->insertAt("; note\n", 0, 0);
  EXPECT_TRUE(asmWindow->tabs()->tabText(0).endsWith(" *"));
  e->undo();
  EXPECT_EQ(e->text(), " ld a,1\n");
  asmWindow->NewSource();
  EXPECT_EQ(asmWindow->tabs()->count(), 2);
  EXPECT_EQ(asmWindow->CurrentEditor()->text(), "");
  EXPECT_NE(e->lexer(), nullptr);
}

}  // namespace
}  // namespace orvo::ui::test
