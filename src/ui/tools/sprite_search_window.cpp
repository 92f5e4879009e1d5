#include "ui/tools/sprite_search_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPixmap>

#include "shell/emulator.h"

namespace orvo::ui {

QImage SpriteImage(const MachineState& m, uint16_t address, int width, int rows) {
  QImage image(width * 8, rows, QImage::Format_RGB32);
  uint16_t a = address;
  for (int y = 0; y < rows; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x, ++a) {
      const uint8_t byte = m.Peek(a);
      for (int bit = 0; bit < 8; ++bit)
        line[x * 8 + bit] = byte & (0x80 >> bit) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
  }
  return image;
}

SpriteSearchWindow::SpriteSearchWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("Sprite Search"), Placement::SpriteSearch, false) {
  setObjectName(QStringLiteral("OrvoSprite"));
  address_ = new QSpinBox(this);
  address_->setRange(0, 0xFFFF);
  address_->setDisplayIntegerBase(16);
  address_->setPrefix(QStringLiteral("#"));
  address_->setValue(0x4000);
  width_ = new QSpinBox(this);
  width_->setRange(1, 32);
  width_->setValue(2);
  rows_ = new QSpinBox(this);
  rows_->setRange(8, 512);
  rows_->setValue(256);
  zoom_ = new QSpinBox(this);
  zoom_->setRange(1, 4);
  zoom_->setValue(2);
  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Address"), address_);
  form->addRow(QStringLiteral("Width (bytes)"), width_);
  form->addRow(QStringLiteral("Rows"), rows_);
  form->addRow(QStringLiteral("Zoom"), zoom_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(picture_, 1);
  for (QSpinBox* s : {address_, width_, rows_, zoom_})
    connect(s, &QSpinBox::valueChanged, this, &SpriteSearchWindow::Refresh);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &SpriteSearchWindow::Refresh);
  timer_->start(200);
  Refresh();
}

void SpriteSearchWindow::Refresh() {
  image_ = SpriteImage(Emu().m, static_cast<uint16_t>(address_->value()), width_->value(),
                       rows_->value());
  picture_->setPixmap(QPixmap::fromImage(
      image_.scaled(image_.width() * zoom_->value(), image_.height() * zoom_->value())));
}

}  // namespace orvo::ui
