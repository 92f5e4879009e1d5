#pragma once
// The Host as the Qt window provides it: message boxes and questions as modal dialogs, the
// system clock, and the finished picture handed to the window.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "machine/game_controllers.h"
#include "shell/host.h"

class QWidget;

namespace orvo::ui {

class MainWindow;

class QtHost final : public Host {
 public:
  void ShowMessage(CaptionId caption, MessageId message, std::string_view detail = {}) override;
  bool AskYesNo(std::string_view caption, std::string_view text) override;
  Clock& GetClock() override { return clock_; }
  void PresentFrame(const uint32_t* pixels) override;
  void SetUpDisplay() override;
  void ShowPlainMessage(std::string_view caption, std::string_view text) override {
    ShowText(caption, text);
  }
  AudioDevice* Audio() override;
  GameControllers* Controllers() override;

  void SetWindow(MainWindow* window) { window_ = window; }
  MainWindow* Window() const { return window_; }

  // Shows a plain message box with its own caption (the "Help" quotations and the like).
  void ShowText(std::string_view caption, std::string_view text);

  // When set, messages and questions go here instead of a dialog (tests, scripted runs).
  std::function<void(std::string_view caption, std::string_view text)> messageSink;
  std::function<bool(std::string_view caption, std::string_view text)> questionSink;

 private:
  QWidget* DialogParent() const;
  SystemClock clock_;
  std::unique_ptr<AudioDevice> audio_;
  std::unique_ptr<GameControllers> controllers_;
  bool controllersTried_ = false;
  MainWindow* window_ = nullptr;
};

}  // namespace orvo::ui
