// The RZX menu in the window: a recording played from the dispatch, its info window scrolling as
// the keys and the wheel say, and the menu items following playing and recording.
#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include "rzx/rzx_session.h"
#include "shell/file_dispatch.h"
#include "ui/rzx/rzx_commands.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

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
