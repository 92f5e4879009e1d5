#pragma once
// What the tool windows share: a dialog over the main window that keeps its place in orvo.ini
// (for the windows the configuration has a placement for), the state that outlives the windows
// (the calculator, the POKE list), and opening a window once, raising it when already open.
#include <QDialog>
#include <memory>
#include <optional>

#include "shell/config.h"
#include "shell/poke_memory.h"
#include "tools/calculator.h"
#include "ui/main_window.h"

namespace orvo::ui {

// Kept as a child of the main window for the run: the calculator's state is process-wide and
// applied pokes stay undoable after the POKE Memory window closes.
class ToolState final : public QObject {
  Q_OBJECT
 public:
  explicit ToolState(QObject* parent) : QObject(parent) {}
  Calculator calculator;
  PokeList pokes;
};
ToolState& ToolStateOf(MainWindow& window);

class ToolWindow : public QDialog {
  Q_OBJECT
 public:
  // A modal window pauses the machine (and its sound) until it closes, without blocking the
  // caller: it is shown window-modal and the pause ends with the window, whatever closes it.
  ToolWindow(MainWindow& main, const QString& title, std::optional<Placement> placement,
             bool modal);
  ~ToolWindow() override;
  // Called once the window exists (after the creation's own sound pause has ended, so the two
  // pauses do not restore each other's state): a modal window pauses the machine from here on.
  void BeginPause();
  Emulator& Emu() { return main_.Emu(); }
  MainWindow& Main() { return main_; }

 protected:
  void done(int result) override;

 private:
  void StorePlacement();
  MainWindow& main_;
  std::optional<Placement> placement_;
  std::unique_ptr<ModalScope> pause_;
  bool modal_;
};

// Opens the window of type T (constructed as T(MainWindow&)) or raises the open one. The sound
// pauses while the window is being made; the machine runs on as soon as it exists.
template <class T>
T* OpenToolWindow(MainWindow& main) {
  if (T* open = main.findChild<T*>(QString(), Qt::FindDirectChildrenOnly)) {
    open->raise();
    open->activateWindow();
    return open;
  }
  T* window = nullptr;
  {
    ModalScope creating(&main);
    window = new T(main);
  }
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->BeginPause();
  window->show();
  return window;
}

}  // namespace orvo::ui
