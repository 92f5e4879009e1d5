#pragma once
// The keyboard helper: the Spectrum's forty keys with their keywords, lit while the machine sees
// them pressed; pressing one with the mouse holds that key down until it is let go.
#include <QPushButton>
#include <QTimer>
#include <array>

#include "ui/tools/tool_window.h"

namespace orvo::ui {

class KeyboardHelperWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit KeyboardHelperWindow(MainWindow& main);
  ~KeyboardHelperWindow() override;
  void Refresh();
  // Keys by their place: row 0-3 from the top, column 0-9.
  QPushButton* Key(int row, int column) const {
    return keys_[static_cast<size_t>(row * 10 + column)];
  }

 private:
  std::array<QPushButton*, 40> keys_{};
  QTimer* timer_;
};

}  // namespace orvo::ui
