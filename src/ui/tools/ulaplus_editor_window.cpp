#include "ui/tools/ulaplus_editor_window.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/screen_file.h"
#include "sound/wav_file.h"
#include "video/palette.h"

namespace orvo::ui {

UlaPlusEditorWindow::UlaPlusEditorWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("ULAplus Palette Editor"), Placement::UlaPlusEditor, false) {
  setObjectName(QStringLiteral("OrvoUlaPlus"));
  auto* grid = new QGridLayout;
  for (int i = 0; i < 64; ++i) {
    auto* b = new QPushButton(this);
    b->setFixedSize(24, 24);
    connect(b, &QPushButton::clicked, this, [this, i] { Select(i); });
    grid->addWidget(b, i / 16, i % 16);
    swatches_[static_cast<size_t>(i)] = b;
  }
  entryText_ = new QLabel(this);
  green_ = new QSpinBox(this);
  red_ = new QSpinBox(this);
  blue_ = new QSpinBox(this);
  green_->setRange(0, 7);
  red_->setRange(0, 7);
  blue_->setRange(0, 3);
  for (QSpinBox* s : {green_, red_, blue_})
    connect(s, &QSpinBox::valueChanged, this, &UlaPlusEditorWindow::Store);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Entry"), entryText_);
  form->addRow(QStringLiteral("Green"), green_);
  form->addRow(QStringLiteral("Red"), red_);
  form->addRow(QStringLiteral("Blue"), blue_);
  auto* files = new QHBoxLayout;
  auto* load = new QPushButton(QStringLiteral("Load..."), this);
  auto* save = new QPushButton(QStringLiteral("Save..."), this);
  files->addWidget(load);
  files->addWidget(save);
  connect(load, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load palette"));
    if (!path.isEmpty()) LoadPalette(path);
  });
  connect(save, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save palette"));
    if (!path.isEmpty()) SavePalette(path);
  });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(form);
  layout->addLayout(files);
  Select(0);
}

void UlaPlusEditorWindow::Select(int entry) {
  selected_ = entry;
  Refresh();
}

void UlaPlusEditorWindow::Refresh() {
  refreshing_ = true;
  const auto bytes = UlaPlusPaletteBytes(Emu().m);
  for (int i = 0; i < 64; ++i) {
    const uint32_t rgb = Emu().m.ports.UlaPlusPalette[static_cast<size_t>(i)];
    swatches_[static_cast<size_t>(i)]->setStyleSheet(
        QStringLiteral("background:#%1; border:%2")
            .arg(rgb, 6, 16, QChar('0'))
            .arg(i == selected_ ? QStringLiteral("2px solid red")
                                : QStringLiteral("1px solid gray")));
  }
  const uint8_t byte = bytes[static_cast<size_t>(selected_)];
  // The entry's place: CLUT 0-3, ink 0-7 or paper 8-15 within it.
  entryText_->setText(QStringLiteral("%1 (CLUT %2 %3 %4): %5")
                          .arg(selected_)
                          .arg(selected_ / 16)
                          .arg(selected_ % 16 < 8 ? QStringLiteral("ink") : QStringLiteral("paper"))
                          .arg(selected_ % 8)
                          .arg(byte, 2, 16, QChar('0'))
                          .toUpper());
  green_->setValue(byte >> 5);
  red_->setValue(byte >> 2 & 7);
  blue_->setValue(byte & 3);
  refreshing_ = false;
}

void UlaPlusEditorWindow::Store() {
  if (refreshing_) return;
  auto bytes = UlaPlusPaletteBytes(Emu().m);
  bytes[static_cast<size_t>(selected_)] =
      static_cast<uint8_t>(green_->value() << 5 | red_->value() << 2 | blue_->value());
  SetUlaPlusPaletteBytes(Emu().m, bytes);
  Refresh();
}

bool UlaPlusEditorWindow::LoadPalette(const QString& path) {
  std::vector<uint8_t> bytes;
  if (const MessageId bad = ReadWholeFile(path.toStdString(), bytes); bad != kMsgNone) {
    Emu().ShowMessage(CaptionId::File, bad);
    return false;
  }
  if (bytes.size() != 64) {
    Emu().ShowMessage(CaptionId::File, kMsgScreenFileLength);
    return false;
  }
  SetUlaPlusPaletteBytes(Emu().m, std::span<const uint8_t, 64>(bytes.data(), 64));
  Refresh();
  return true;
}

bool UlaPlusEditorWindow::SavePalette(const QString& path) {
  const auto bytes = UlaPlusPaletteBytes(Emu().m);
  std::string error;
  if (!WriteFileAtomically(path.toStdString(), bytes, &error)) {
    Emu().ShowMessage(CaptionId::File, kMsgCannotSaveFile);
    return false;
  }
  return true;
}

}  // namespace orvo::ui
