// The "ZX Printer" window: opening it attaches the printer, its buttons feed and clear the paper,
// and closing it takes the printer away again (offscreen platform).
#include "ui/printer/printer_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "snapshot/snapshot_fixture.h"
#include "ui/window_test_support.h"

namespace orvo::ui {
namespace {

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

using test::WindowTest;

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

}  // namespace
}  // namespace orvo::ui
