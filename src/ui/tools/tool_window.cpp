#include "ui/tools/tool_window.h"

#include "shell/emulator.h"

namespace orvo::ui {

ToolState& ToolStateOf(MainWindow& window) {
  if (auto* state = window.findChild<ToolState*>(QString(), Qt::FindDirectChildrenOnly))
    return *state;
  return *new ToolState(&window);
}

ToolWindow::ToolWindow(MainWindow& main, const QString& title, std::optional<Placement> placement,
                       bool modal)
    : QDialog(&main), main_(main), placement_(placement), modal_(modal) {
  setWindowTitle(title);
  if (modal) setWindowModality(Qt::WindowModal);
  if (placement_) {
    const WindowPosition p = GetWindowPlacement(main.Emu(), *placement_);
    if (p.left != 0 || p.top != 0) move(p.left, p.top);
  }
}

void ToolWindow::BeginPause() {
  if (modal_ && !pause_) pause_ = std::make_unique<ModalScope>(&main_);
}

ToolWindow::~ToolWindow() {
  StorePlacement();
}

void ToolWindow::done(int result) {
  StorePlacement();
  pause_.reset();  // the machine runs again as soon as the window goes
  QDialog::done(result);
}

void ToolWindow::StorePlacement() {
  if (placement_ && isVisible()) SetWindowPlacement(Emu(), *placement_, {x(), y()});
}

}  // namespace orvo::ui
