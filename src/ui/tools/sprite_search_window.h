#pragma once
// Sprite search: memory drawn as 1-bit graphics, a chosen number of bytes wide, from a chosen
// address, so a game's sprites and fonts show up as pictures. Updated live.
#include <QImage>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include "ui/tools/tool_window.h"

namespace orvo::ui {

// The picture: `width` bytes (8 pixels each) per row, `rows` rows, from `address` (wrapping at
// 0xFFFF), set bits black on white.
QImage SpriteImage(const MachineState& m, uint16_t address, int width, int rows);

class SpriteSearchWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit SpriteSearchWindow(MainWindow& main);
  void Refresh();
  QSpinBox* address() const { return address_; }
  QSpinBox* width() const { return width_; }
  const QImage& image() const { return image_; }

 private:
  QSpinBox* address_;
  QSpinBox* width_;
  QSpinBox* rows_;
  QSpinBox* zoom_;
  QLabel* picture_;
  QImage image_;
  QTimer* timer_;
};

}  // namespace orvo::ui
