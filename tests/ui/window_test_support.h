#pragma once
// A main window on a real machine for the window tests: ROMs from the shared folder, a private
// configuration folder, messages and questions caught instead of shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/app_init.h"
#include "shell/emulator.h"
#include "support/test_paths.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"

namespace orvo::ui::test {

struct CaughtMessage {
  std::string caption;
  std::string text;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(configDir_.isValid());
    // The recent files list of these windows lives in the test's own folder.
    qputenv("XDG_STATE_HOME", configDir_.path().toUtf8());
    host.messageSink = [this](std::string_view caption, std::string_view text) {
      messages.push_back({std::string(caption), std::string(text)});
    };
    host.questionSink = [this](std::string_view caption, std::string_view text) {
      questions.push_back(std::string(caption) + "|" + std::string(text));
      return answer;
    };
    emu = std::make_unique<Emulator>(host);
    SetUpFolders(*emu, orvo::test::BuildDir().string(), configDir_.path().toStdString());
    emu->folders.CurrentRomDir = orvo::test::RomDir().string() + "/";
    // No sound device: the frame loop paces itself at 50 frames a second.
    emu->m.settings.Sound = 0;
  }

  void TearDown() override {
    window.reset();
    emu.reset();
  }

  // The machine set up from the live settings (no orvo.ini), then the window, shown and active.
  void OpenWindow() {
    InitApplication(*emu, false);
    window = std::make_unique<MainWindow>(*emu, host);
    window->ShowInitially();
    QApplication::setActiveWindow(window.get());
    window->activateWindow();
    ProcessEvents();
  }

  void ProcessEvents() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  // Runs main-loop passes until `done` holds or `ms` milliseconds have passed.
  bool RunPassesUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
      if (timer.elapsed() > ms) return false;
      if (!window->RunPass()) return done();
    }
    return true;
  }

  void RunFrames(int frames) {
    const uint64_t target = emu->m.FrameCount + static_cast<uint64_t>(frames);
    RunPassesUntil([&] { return emu->m.FrameCount >= target; }, 60000);
  }

  std::string ConfigDir() const { return configDir_.path().toStdString(); }

  QtHost host;
  std::unique_ptr<Emulator> emu;
  std::unique_ptr<MainWindow> window;
  std::vector<CaughtMessage> messages;
  std::vector<std::string> questions;
  bool answer = true;

 private:
  QTemporaryDir configDir_;
};

}  // namespace orvo::ui::test
