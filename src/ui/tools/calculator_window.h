#pragma once
// The calculator window: a 16-character display, digit and operation buttons, base, size and
// sign buttons; keys typed on the keyboard work as the buttons do.
#include <QLabel>
#include <QPushButton>
#include <array>

#include "ui/tools/tool_window.h"

namespace orvo::ui {

class CalculatorWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit CalculatorWindow(MainWindow& main);
  ~CalculatorWindow() override;
  QLabel* display() const { return display_; }
  QPushButton* Button(const QString& text) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Calculator& Calc();
  void Refresh();
  QLabel* display_;
  std::array<QPushButton*, 16> digits_{};
  QPushButton* carry_;
  QPushButton* size_;
  QPushButton* sign_;
  QPushButton* plusMinus_;
  std::array<QPushButton*, 3> bases_{};
};

}  // namespace orvo::ui
