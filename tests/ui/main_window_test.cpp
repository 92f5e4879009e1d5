// The main window: its sizes and menus, the keys and the mouse, dialogs and quitting, drops and
// pastes, the picture with its shader effects; as a desktop program it keeps to the screen, comes
// back from full screen where it was, starts dialogs in folders that exist, greys empty submenus
// and keeps the recent files.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "machine/typing.h"
#include "ui/file_commands.h"
#include "ui/key_translation.h"
#include "ui/picture_view.h"
#include "ui/recent_files_menu.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

// ---- sizes, menus and keys ----

TEST_F(WindowTest, ViewSizesKeepOneCheckMarkAndShowEveryMenu) {
  OpenWindow();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvo v0.1"));
  EXPECT_TRUE(window->Action(CommandId::View100)->isChecked());
  // At 100% the client area is as wide as the menu bar needs, the picture centred in it; every
  // menu and the status texts at their longest are shown whole.
  EXPECT_EQ(window->ClientArea()->height(), 306);
  EXPECT_EQ(window->View()->Widget()->size(), QSize(352, 296));
  const QList<QAction*> menus = window->menuBar()->actions();
  ASSERT_EQ(menus.size(), 8);
  for (QAction* menu : menus)
    EXPECT_TRUE(window->menuBar()->rect().contains(window->menuBar()->actionGeometry(menu)))
        << menu->text().toStdString();
  window->SetStatusPart(1, QStringLiteral(" Frames Per Second: 100 "));
  window->SetStatusPart(2, QStringLiteral(" Speed: 200%"));
  for (int part = 0; part < 3; ++part) {
    const QLabel* label = window->Status()->Part(part);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    EXPECT_LE(label->geometry().right(), window->Status()->width());
  }
  window->Action(CommandId::View200)->trigger();
  EXPECT_EQ(emu->settings.DrawSize, 2);
  EXPECT_EQ(window->ClientArea()->size(), QSize(714, 602));
  EXPECT_EQ(window->View()->Widget()->geometry(), QRect(5, 5, 704, 592));
  // The window is exactly menu bar + client area + status bar tall.
  EXPECT_EQ(window->height(), window->menuBar()->height() + 602 + window->Status()->height());
  EXPECT_FALSE(window->Action(CommandId::View100)->isChecked());
  // Interface 1 is off in the default settings: its command is greyed by the core's states.
  EXPECT_FALSE(window->Action(CommandId::Microdrives)->isEnabled());
}

// Esc pauses (no frames run) and an open menu holds the emulation, leaving a pause it found in
// place; F2 runs at full speed, F3 raises the NMI.
TEST_F(WindowTest, EscAndOpenMenusPauseF2RunsAtFullSpeedF3RaisesTheNmi) {
  OpenWindow();
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_EQ(emu->m.Paused, 1u);
  const uint64_t frames = emu->m.FrameCount;
  for (int i = 0; i < 5; ++i) window->RunPass();
  EXPECT_EQ(emu->m.FrameCount, frames);
  QMenu* view = window->Menu("View");
  ASSERT_NE(view, nullptr);
  for (const uint32_t pausedBefore : {0u, 1u}) {
    emu->m.Paused = pausedBefore;
    view->popup(QPoint(10, 10));
    ProcessEvents();
    ASSERT_TRUE(view->isVisible());
    EXPECT_EQ(emu->m.Paused, 1u);
    view->hide();
    ProcessEvents();
    EXPECT_EQ(emu->m.Paused, pausedBefore);
  }
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_EQ(emu->m.Paused, 0u);
  window->RunPass();
  EXPECT_EQ(emu->m.FrameCount, frames + 1);
  QTest::keyClick(window.get(), Qt::Key_F2);
  EXPECT_EQ(emu->m.FullSpeed, 1u);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_EQ(emu->m.NmiRequest, 1u);
}

// The key numbers the keyboard code reads: keypad keys have their own, punctuation gives the
// key's number with or without Shift (and with or without the event's text), shifted digit
// symbols go back to their digit.
TEST(KeyTranslation, QtKeysGiveTheKeysNumber) {
  const struct {
    int key;
    Qt::KeyboardModifiers mods;
    const char* text;
    int vk;
  } cases[] = {
      {Qt::Key_7, Qt::KeypadModifier, "", 103},      {Qt::Key_Minus, Qt::KeypadModifier, "-", 109},
      {Qt::Key_Minus, Qt::NoModifier, "-", 189},     {Qt::Key_Enter, Qt::KeypadModifier, "", 13},
      {Qt::Key_Colon, Qt::NoModifier, ":", 186},     {Qt::Key_Question, Qt::NoModifier, "", 191},
      {Qt::Key_At, Qt::NoModifier, "@", 192},        {Qt::Key_AsciiTilde, Qt::NoModifier, "", 222},
      {Qt::Key_Exclam, Qt::ShiftModifier, "!", '1'}, {Qt::Key_unknown, Qt::NoModifier, "", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyFromQtKey(c.key, c.mods, QString::fromUtf8(c.text)), c.vk) << c.key;
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_sterling, Qt::ShiftModifier, QString(QChar(0xA3))), '3');
}

TEST(KeyTranslation, ScanCodesGiveTheKeysPlaceOnAUkKeyboard) {
  // X11 keycodes are evdev codes + 8; letters and named keys are left to the Qt key (0).
  const std::pair<int, int> cases[] = {{2, '1'}, {12, 189}, {53, 191}, {30, 0}, {-8, 0}};
  for (const auto& [evdev, vk] : cases) EXPECT_EQ(VirtualKeyFromScanCode(evdev + 8), vk) << evdev;
  // What X11 reports for Shift+2 on a US layout: the '@' key symbol, keycode of the 2 key.
  QKeyEvent event(QEvent::KeyPress, Qt::Key_At, Qt::ShiftModifier, 3 + 8, 0x40, 0, "@");
  EXPECT_EQ(VirtualKeyFor(event, true), '2');
  EXPECT_EQ(VirtualKeyFor(event, false), 192);  // without physical keys the character decides
  // Keypad keys keep their numbers even when a scan code is known.
  QKeyEvent keypad(QEvent::KeyPress, Qt::Key_2, Qt::KeypadModifier, 80 + 8, 0, 0, "2");
  EXPECT_EQ(VirtualKeyFor(keypad, true), 98);
}

TEST_F(WindowTest, KeysReachTheKeyboardMatrix) {
  OpenWindow();
  auto& rows = emu->m.input.KeyRows;
  struct Bits {
    int row;
    uint8_t mask;
  };
  const struct {
    const char* what;
    std::vector<Qt::Key> keys;  // pressed in order, with Shift held while Shift is down
    std::vector<Bits> down, up;
  } cases[] = {
      // CAPS SHIFT + 2 (CAPS LOCK), not the @ sign.
      {"Shift 2", {Qt::Key_Shift, Qt::Key_2}, {{0, 0x01}, {3, 0x02}}, {{7, 0xFF}}},
      // SYMBOL SHIFT + 2, with CAPS SHIFT let go for the symbol.
      {"Shift @", {Qt::Key_Shift, Qt::Key_At}, {{7, 0x02}, {3, 0x02}}, {{0, 0x01}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Qt::KeyboardModifiers mods = Qt::NoModifier;
    for (Qt::Key key : c.keys) {
      QTest::keyPress(window.get(), key, mods);
      if (key == Qt::Key_Shift) mods = Qt::ShiftModifier;
    }
    for (const Bits& b : c.down) EXPECT_EQ(rows[b.row] & b.mask, 0) << b.row;
    for (const Bits& b : c.up) EXPECT_EQ(rows[b.row] & b.mask, b.mask) << b.row;
    for (auto key = c.keys.rbegin(); key != c.keys.rend(); ++key)
      QTest::keyRelease(window.get(), *key, mods);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(rows[static_cast<size_t>(i)], 0xFF) << i;
  }
  // A held key's repeats do not release it.
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q");
  QApplication::sendEvent(window.get(), &press);
  QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, "q", true);
  QApplication::sendEvent(window.get(), &repeatUp);
  EXPECT_EQ(emu->m.input.KeyRows[2] & 0x01, 0);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, "q");
  QApplication::sendEvent(window.get(), &up);
  EXPECT_EQ(emu->m.input.KeyRows[2], 0xFF);
}

TEST_F(WindowTest, RecreatedKeyboardSpeaksInCharacters) {
  emu->m.settings.RecreatedSpectrum = 1;
  OpenWindow();
  auto& rows = emu->m.input.KeyRows;
  // "!" latches SYMBOL SHIFT, "a" is the 1 key: SYMBOL SHIFT + 1.
  QTest::keyClick(window.get(), Qt::Key_Exclam, Qt::ShiftModifier);
  QTest::keyClick(window.get(), Qt::Key_A, Qt::NoModifier);
  EXPECT_EQ(rows[7] & 0x02, 0);
  EXPECT_EQ(rows[3] & 0x01, 0);
}

TEST_F(WindowTest, LosingTheFocusReleasesKeysAndPausesWithTheFocusOption) {
  emu->settings.Focus = 1;
  OpenWindow();
  QTest::keyPress(window.get(), Qt::Key_A);
  ASSERT_EQ(emu->m.input.KeyRows[1] & 0x01, 0);
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  other.activateWindow();
  ProcessEvents();
  if (window->isActiveWindow()) GTEST_SKIP() << "the platform kept the focus";
  EXPECT_EQ(emu->m.input.KeyRows[1], 0xFF);
  EXPECT_EQ(emu->m.FocusPaused, 1);
  QApplication::setActiveWindow(window.get());
  window->activateWindow();
  ProcessEvents();
  EXPECT_EQ(emu->m.FocusPaused, 0);
}

TEST_F(WindowTest, CapturedMouseDrivesTheKempstonMouse) {
  emu->m.settings.MouseType = 2;
  OpenWindow();
  // Without a mouse type chosen in the options, F7 captures nothing.
  QTest::keyClick(window.get(), Qt::Key_F7);
  EXPECT_FALSE(window->MouseCaptured());
  emu->m.input.MouseWanted = 1;
  QTest::keyClick(window.get(), Qt::Key_F7);
  ASSERT_TRUE(window->MouseCaptured());
  const QPoint client = window->ClientArea()->pos();
  // 10 right and 5 down from the centre: X + 10, Y - 5.
  QMouseEvent move(QEvent::MouseMove, QPointF(client + QPoint(138, 133)), QPointF(), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &move);
  EXPECT_EQ(emu->m.input.KempstonX, 10);
  EXPECT_EQ(emu->m.input.KempstonY, 251);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(client + QPoint(128, 128)), QPointF(),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &press);
  EXPECT_EQ(emu->m.input.MouseButtons, 2);
  QTest::keyClick(window.get(), Qt::Key_F7);
  EXPECT_FALSE(window->MouseCaptured());
}

// ---- dialogs and quitting ----

TEST_F(WindowTest, DialogsAreModalWithTheEmulationPaused) {
  OpenWindow();
  window->DispatchCommand(CommandId::Help);  // one of the twenty quotations
  ASSERT_EQ(messages.size(), 1u);
  int quotation = 160;
  while (quotation < 180 && messages[0].text != MessageText(MessageId(quotation))) ++quotation;
  EXPECT_LT(quotation, 180) << messages[0].text;
  host.messageSink = nullptr;  // real message boxes from here
  // Runs `open`; notes the title and the labels of the modal dialog it shows, then closes it.
  const auto dialog = [&](const std::function<void()>& open) {
    QString title, text;
    uint32_t paused = 0;
    QTimer::singleShot(0, [&] {
      auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(modal, nullptr);
      title = modal->windowTitle();
      for (const QLabel* label : modal->findChildren<QLabel*>()) text += label->text() + "|";
      paused = emu->m.Paused;
      modal->reject();
    });
    open();
    EXPECT_EQ(paused, 1u) << title.toStdString();
    EXPECT_EQ(emu->m.Paused, 0u) << title.toStdString();
    return std::pair(title.toStdString(), text.toStdString());
  };
  const auto box = dialog([&] { emu->ShowMessage(CaptionId::File, kMsgFileNotFound); });
  EXPECT_EQ(box.first, "Orvo File");
  EXPECT_NE(box.second.find(FormatMessage(kMsgFileNotFound) + "|"), std::string::npos)
      << box.second;
  EXPECT_EQ(window->Status()->Part(0)->text(), QStringLiteral(" Ready          "));
  EXPECT_EQ(dialog([&] { window->DispatchCommand(CommandId::Options); }).first, "Orvo Options");
  const auto about = dialog([&] { window->DispatchCommand(CommandId::About); });
  EXPECT_EQ(about.first, "Orvo v0.1");
  EXPECT_NE(about.second.find("Version 0.1\n"), std::string::npos) << about.second;
}

TEST_F(WindowTest, QuitAsksAndNoKeepsRunning) {
  emu->settings.ExitMsg = 1;
  OpenWindow();
  answer = false;
  window->DispatchCommand(CommandId::Quit);
  EXPECT_FALSE(window->Quitting());
  EXPECT_TRUE(window->RunPass());
  // Closing the window is the same question; Yes quits and writes the configuration.
  answer = true;
  window->close();
  EXPECT_EQ(questions, std::vector<std::string>(2, "Exit|Are you sure you want to quit Orvo?"));
  EXPECT_TRUE(window->Quitting());
  EXPECT_FALSE(window->RunPass());
  EXPECT_TRUE(std::filesystem::exists(ConfigDir() + "/orvo.ini"));
}

// ---- running ----

TEST_F(WindowTest, PastedTextIsTypedIn) {
  OpenWindow();
  QGuiApplication::clipboard()->setText(QStringLiteral("10 PRINT 42"));
  QTest::keyClick(window.get(), Qt::Key_F12);
  ASSERT_TRUE(TypingActive(emu->m));
  // Typed at the paste's own pace; the user's Spool Speed is left as it was.
  EXPECT_EQ(emu->m.input.TypingSpoolSpeed, 4);
  EXPECT_EQ(emu->m.settings.SpoolSpeed, 15);
}

std::unique_ptr<QMimeData> Urls(const std::vector<std::string>& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
  data->setUrls(urls);
  return data;
}

TEST_F(WindowTest, DropsAndTheCommandLineOpenFilesArchivesAndText) {
  OpenWindow();
  emu->m.Paused = 1;
  const std::string path = ConfigDir() + "/notes.xyz";
  std::ofstream(path) << "not a Spectrum file";
  EXPECT_TRUE(window->HandleDrop(*Urls({path, ConfigDir() + "/second.sna"})));
  EXPECT_EQ(emu->files.CurrentFilePath, "");
  EXPECT_EQ(emu->m.Paused, 0u);
  // An unknown extension is ignored silently and not remembered; the second file is never
  // looked at.
  EXPECT_TRUE(messages.empty());

  QMimeData text;
  text.setText(QStringLiteral("PRINT 1"));
  EXPECT_TRUE(window->HandleDrop(text));
  EXPECT_TRUE(TypingActive(emu->m));
  EXPECT_EQ(emu->m.FullSpeed, 1u);

  // A dropped archive opens the entry picker.
  const auto zip = orvo::test::SharedFile("testdata/media/zip/timingtest-0.2.zip");
  ORVO_REQUIRE_FILE(zip);
  ASSERT_TRUE(window->HandleDrop(*Urls({zip.string()})));
  ProcessEvents();
  auto* picker = window->findChild<ZipPicker*>();
  ASSERT_NE(picker, nullptr);
  EXPECT_TRUE(picker->isVisible());
  ASSERT_EQ(picker->List()->count(), 10);
  // OK with nothing chosen leaves the picker open.
  picker->accept();
  EXPECT_TRUE(picker->isVisible());
  const auto items = picker->List()->findItems("timingtest-0.2/timing.tap", Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1);
  picker->List()->setCurrentItem(items.first());
  picker->accept();
  ProcessEvents();
  EXPECT_TRUE(emu->m.tape.image != nullptr);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(window->findChild<ZipPicker*>(), nullptr);  // closed and gone
}

// ---- the picture ----

// The software view scales by whole pixels; the OpenGL view (xcb only) draws the same picture,
// and keeps it through a new view for Vsync.
TEST_F(WindowTest, PictureIsScaledByWholePixelsInEitherView) {
  std::vector<uint32_t> pixels(352 * 296);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint32_t>(i * 2654435761u) >> 8;
  emu->settings.DrawSize = 2;
  emu->settings.DrawMode = 0;
  OpenWindow();
  window->Present(pixels.data());
  ProcessEvents();
  const QImage soft = window->View()->Grab();
  ASSERT_EQ(soft.size(), QSize(704, 592));
  for (int y = 0; y < 592; ++y)
    for (int x = 0; x < 704; ++x)
      ASSERT_EQ(soft.pixel(x, y), pixels[static_cast<size_t>(y / 2 * 352 + x / 2)] | 0xFF000000u)
          << x << "," << y;

  if (QGuiApplication::platformName() != QLatin1String("xcb") || !PlatformSupportsOpenGl())
    GTEST_SKIP() << "OpenGL is tested on the xcb platform with OpenGL only";
  window.reset();
  emu->settings.DrawMode = 1;
  OpenWindow();
  ASSERT_TRUE(window->View()->IsOpenGl());
  window->Present(pixels.data());
  ProcessEvents();
  EXPECT_EQ(window->View()->Grab().convertToFormat(QImage::Format_RGB32),
            soft.convertToFormat(QImage::Format_RGB32));
  window->DispatchCommand(CommandId::Vsync);
  ASSERT_TRUE(window->View()->IsOpenGl());
  EXPECT_TRUE(static_cast<GlPictureView*>(window->View())->Vsync());
  ProcessEvents();
  EXPECT_EQ(window->View()->Grab().convertToFormat(QImage::Format_RGB32),
            soft.convertToFormat(QImage::Format_RGB32));
}

// The shader effects on OpenGL (xcb only; the offscreen platform has no OpenGL view): the chosen
// effect on screen and the parameters dialog applied live and kept.
class ShaderWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !PlatformSupportsOpenGl())
      GTEST_SKIP() << "shaders are tested on the xcb platform with OpenGL only";
  }
  // A flat grey picture, drawn and read back at the view's size.
  QImage Show() {
    const std::vector<uint32_t> grey(352 * 296, 0xCACACA);
    window->Present(grey.data());
    ProcessEvents();
    return window->View()->Grab();
  }
  // How much brighter row 100 is than row 101 in the middle of the picture.
  static int Spread(const QImage& image) {
    return qGray(image.pixel(300, 100)) - qGray(image.pixel(300, 101));
  }
};

TEST_F(ShaderWindowTest, ParametersApplyLiveAndAreKeptPerEffect) {
  emu->settings.DrawMode = 2;
  emu->settings.OptShader = 3;  // Scanlines
  emu->settings.DrawSize = 2;
  OpenWindow();
  ASSERT_TRUE(window->View()->IsOpenGl());
  EXPECT_EQ(emu->m.video.ColourTable[0], 0x303030u);  // black is lifted for the effects
  const int spread = Spread(Show());
  EXPECT_GT(spread, 10);  // at 200% every second row lies between two lines

  window->DispatchCommand(CommandId::ShaderParameters);
  ProcessEvents();
  auto* height = window->findChild<QSlider*>(QStringLiteral("SPOT_HEIGHT"));
  ASSERT_NE(height, nullptr);
  height->setValue(height->maximum());  // a tall spot: no gap between the lines
  EXPECT_LT(Spread(Show()), spread);
  EXPECT_NE(emu->settings.ShaderParameters[3].find("SPOT_HEIGHT=1"), std::string::npos)
      << emu->settings.ShaderParameters[3];
  window->findChild<QPushButton*>(QStringLiteral("reset"))->click();
  EXPECT_EQ(emu->settings.ShaderParameters[3], "");
  EXPECT_EQ(Spread(Show()), spread);
}

// A preset orvo.ini names that cannot be read (here a folder) is reported once and forgotten;
// the window starts with the chosen built-in effect.
TEST_F(ShaderWindowTest, AnUnreadablePresetFallsBackToTheBuiltInEffect) {
  emu->settings.DrawMode = 2;
  emu->settings.OptShader = 3;  // Scanlines
  emu->settings.DrawSize = 2;
  emu->settings.ShaderPreset = QDir::tempPath().toStdString();
  OpenWindow();
  ASSERT_TRUE(window->View()->IsOpenGl());
  EXPECT_EQ(emu->settings.ShaderPreset, "");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find(MessageText(kMsgShaderPreset)), std::string::npos)
      << messages[0].text;
  EXPECT_GT(Spread(Show()), 10);
}

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
}

}  // namespace
}  // namespace orvo::ui::test
