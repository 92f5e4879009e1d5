// The window as a player meets it: typed-in text that cannot run away, a mouse that lets go, a
// snapshot's joystick that stays with its machine, and a calculator whose every digit can be
// pressed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "machine/typing.h"
#include "shell/config.h"
#include "shell/media_loaders.h"
#include "ui/tools/calculator_window.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

class PlayerWindowTest : public WindowTest {
 protected:
  // Runs until typing has ended, for at most `ms` of wall time.
  bool TypingEnds(int ms) {
    return RunPassesUntil([&] { return !TypingActive(emu->m); }, ms);
  }
  // After typing, the machine is back at its own pace: ten frames take about 200 ms.
  void ExpectNormalSpeed() {
    EXPECT_EQ(emu->m.FullSpeed, 0u);
    emu->NoThrottle = false;
    RunFrames(1);
    QElapsedTimer timer;
    timer.start();
    RunFrames(10);
    EXPECT_GE(timer.elapsed(), 150);
  }
  bool OpenSnapshot(const std::filesystem::path& file) {
    window->OpenCommandLineFile(file.string());
    return emu->files.LastLoadStatus == kLoadedOk;
  }
};

TEST_F(PlayerWindowTest, PasteAtThe128KMenuEndsWithThePictureMovingAndTheSpeedNormal) {
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "128k.rom");
  emu->settings.ModelType = kModel128K;
  emu->m.MachineModel = kModel128K;
  OpenWindow();
  ASSERT_EQ(emu->m.MachineModel, kModel128K);
  emu->NoThrottle = true;
  RunFrames(100);  // the menu
  QGuiApplication::clipboard()->setText(QStringLiteral("PRINT 6*7"));
  QTest::keyClick(window.get(), Qt::Key_F12);
  ASSERT_TRUE(TypingActive(emu->m));
  const uint64_t pictures = window->PicturesPresented();
  const uint64_t frames = emu->m.FrameCount;
  ASSERT_TRUE(TypingEnds(20000));
  // Every frame typed through was shown, and the emulated time it took is a few seconds at most.
  EXPECT_EQ(window->PicturesPresented() - pictures, emu->m.FrameCount - frames);
  EXPECT_LE(emu->m.FrameCount - frames, uint64_t{kTypingStallFrames} + 10);
  ExpectNormalSpeed();
  EXPECT_GT(window->PicturesPresented(), pictures + 10);
}

TEST_F(PlayerWindowTest, TextDroppedOnARunningGameStopsAndSaysWhere) {
  const auto game = orvo::test::SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(game);
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  OpenWindow();
  ASSERT_TRUE(OpenSnapshot(game));
  emu->NoThrottle = true;
  RunFrames(20);
  QMimeData text;
  text.setText(QStringLiteral("PRINT 6*7"));
  ASSERT_TRUE(window->HandleDrop(text));
  ASSERT_EQ(emu->m.FullSpeed, 1u);
  const uint64_t pictures = window->PicturesPresented();
  // The game never asks the ROM for a key: after three seconds of its time the typing gives up.
  ASSERT_TRUE(TypingEnds(20000));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Orvo File");
  EXPECT_NE(messages[0].text.find("Typing stopped"), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("0 of 10 characters"), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("Not typed: \"PRINT 6*7\""), std::string::npos)
      << messages[0].text;
  EXPECT_GE(window->PicturesPresented() - pictures, uint64_t{kTypingStallFrames});
  ExpectNormalSpeed();

  // A key press stops the typing at once and goes no further; so does Esc, which then does not
  // pause the machine.
  emu->NoThrottle = true;
  ASSERT_TRUE(window->HandleDrop(text));
  QTest::keyClick(window.get(), Qt::Key_A);
  EXPECT_FALSE(TypingActive(emu->m));
  EXPECT_EQ(emu->m.FullSpeed, 0u);
  EXPECT_EQ(window->LastKeyDown(), 0);
  ASSERT_TRUE(window->HandleDrop(text));
  window->DispatchCommand(CommandId::Pause);
  EXPECT_FALSE(TypingActive(emu->m));
  EXPECT_EQ(emu->m.Paused, 0u);
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(PlayerWindowTest, MouseNoneNeverCapturesAndTheReleaseHintIsInSight) {
  emu->m.settings.MouseType = 2;
  emu->m.input.MouseWanted = 1;
  OpenWindow();
  for (int size : {1, 2, 3}) {
    window->ChooseDrawSize(size);
    if (!window->MouseCaptured()) QTest::keyClick(window.get(), Qt::Key_F7);
    ASSERT_TRUE(window->MouseCaptured());
    ProcessEvents();
    QLabel* hint = window->MouseHint();
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible()) << size;
    EXPECT_EQ(hint->text(), QStringLiteral("F7 releases the mouse"));
    const QRect inWindow(hint->mapTo(window.get(), QPoint(0, 0)), hint->size());
    EXPECT_TRUE(window->rect().contains(inWindow)) << size;
  }
  // The options set the mouse to "None": the pointer is let go...
  emu->m.settings.MouseType = 0;
  emu->settings.MouseType = 0;
  window->MouseTypeChanged();
  EXPECT_FALSE(window->MouseCaptured());
  EXPECT_FALSE(window->MouseHint()->isVisible());
  // ...and neither F7 nor the focus coming back takes it again, whatever an earlier choice left in
  // the wanted flag.
  QTest::keyClick(window.get(), Qt::Key_F7);
  EXPECT_FALSE(window->MouseCaptured());
  QEvent activation(QEvent::ActivationChange);
  QApplication::sendEvent(window.get(), &activation);
  EXPECT_FALSE(window->MouseCaptured());
}

TEST_F(PlayerWindowTest, AKempstonZ80LeavesTheSavedKeystickAsItWas) {
  const auto game = orvo::test::SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(game);
  ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
  std::ifstream in(game, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 30u);
  bytes[29] = static_cast<char>((bytes[29] & 0x3F) | 0x40);  // a Kempston joystick
  const std::string kempston = ConfigDir() + "/kempston.z80";
  std::ofstream(kempston, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  OpenWindow();
  ASSERT_TRUE(OpenSnapshot(kempston));
  // The game reads a Kempston joystick from the cursor keys while it runs...
  EXPECT_EQ(emu->m.settings.KeystickType, 1);
  EXPECT_EQ(emu->m.input.KeystickActive, 1);
  // ...and what the user chose is what orvo.ini keeps.
  SaveConfig(*emu);
  std::ifstream ini(ConfigDir() + "/orvo.ini");
  const std::string saved((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(saved.find("Keystick Type=0"), std::string::npos);
  EXPECT_EQ(saved.find("Keystick Type=1"), std::string::npos);
  EXPECT_EQ(emu->settings.KeystickType, 0);
}

TEST_F(PlayerWindowTest, TheCalculatorTypesEveryHexDigitByItsButtons) {
  OpenWindow();
  window->DispatchCommand(CommandId::Calculator);
  ProcessEvents();
  auto* calc = window->findChild<CalculatorWindow*>();
  ASSERT_NE(calc, nullptr);
  // No button lies over another: each takes the clicks at its own centre.
  for (QPushButton* b : calc->findChildren<QPushButton*>()) {
    EXPECT_EQ(calc->childAt(b->geometry().center()), b) << b->text().toStdString();
  }
  const auto click = [&](const QString& text) {
    QPushButton* b = calc->Button(text);
    ASSERT_NE(b, nullptr) << text.toStdString();
    // Whatever lies at the button's centre takes the click.
    QWidget* at = calc->childAt(b->geometry().center());
    ASSERT_NE(at, nullptr);
    QTest::mouseClick(at, Qt::LeftButton, {}, at->rect().center());
  };
  click(QStringLiteral("HEX"));
  const QString digits = QStringLiteral("123456789ABCDEF");
  for (QChar d : digits) {
    click(QStringLiteral("CA"));
    click(QString(d));
    EXPECT_TRUE(calc->display()->text().endsWith(d)) << calc->display()->text().toStdString();
  }
}

}  // namespace
}  // namespace orvo::ui::test
