#include "ui/microdrive/cartridge_viewer.h"

#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "devices/microdrive.h"
#include "formats/mdr_format.h"
#include "shell/emulator.h"
#include "ui/main_window.h"
#include "ui/window_placement.h"

namespace orvo::ui {

namespace {

constexpr const char* kViewerName = "DEBUG_VIEWMICRODRIVE";

// Sixteen bytes a line: offset, hex, and the printable characters.
QString Dump(const uint8_t* bytes, size_t count) {
  QString out;
  for (size_t row = 0; row < count; row += 16) {
    QString hex, text;
    for (size_t i = row; i < row + 16 && i < count; ++i) {
      hex += QStringLiteral("%1 ").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
      text += bytes[i] >= 32 && bytes[i] < 127 ? QChar(bytes[i]) : QChar('.');
    }
    out += QStringLiteral("%1  %2 %3\n").arg(row, 3, 16, QLatin1Char('0')).arg(hex, -48).arg(text);
  }
  return out;
}

class CartridgeViewer final : public QDialog {
 public:
  explicit CartridgeViewer(MainWindow& main) : QDialog(&main), main_(main) {
    setObjectName(kViewerName);
    setWindowTitle(QStringLiteral("View Microdrive Cartridge"));
    setAttribute(Qt::WA_DeleteOnClose);
    KeepPlacement(this, main_.Emu(), Placement::ViewMicrodriveCartridge);
    drive_ = new QSpinBox(this);
    drive_->setRange(1, kMicrodriveCount);
    sector_ = new QSpinBox(this);
    sector_->setRange(0, static_cast<int>(kMdrSectors) - 1);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMinimumSize(560, 420);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Drive"), this));
    top->addWidget(drive_);
    top->addWidget(new QLabel(QStringLiteral("Sector"), this));
    top->addWidget(sector_);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(text_);
    const MicrodriveState& s = main_.Emu().m.microdrives;
    for (int n = 0; n < kMicrodriveCount; ++n) {
      if (s.drives[static_cast<size_t>(n)].inserted) {
        drive_->setValue(n + 1);
        break;
      }
    }
    connect(drive_, &QSpinBox::valueChanged, this, [this] { Show(); });
    connect(sector_, &QSpinBox::valueChanged, this, [this] { Show(); });
    Show();
  }

 private:
  void Show() {
    const MicrodriveUnit& d =
        main_.Emu().m.microdrives.drives[static_cast<size_t>(drive_->value() - 1)];
    if (!d.inserted || d.image.size() != kCartridgeImageSize) {
      text_->setPlainText(QString::fromUtf8(kNoCartridgeName));
      return;
    }
    const uint8_t* slot = d.image.data() + static_cast<size_t>(sector_->value()) * kSlotBytes;
    text_->setPlainText(QString::fromStdString(d.name) + QStringLiteral("\n\nHeader\n") +
                        Dump(slot + kSlotHeaderOffset, kMdrHeaderBytes) +
                        QStringLiteral("\nData\n") + Dump(slot + kSlotDataOffset, kMdrDataBytes));
  }

  MainWindow& main_;
  QSpinBox* drive_ = nullptr;
  QSpinBox* sector_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace

void ShowCartridgeViewer(MainWindow& window) {
  if (!AnyCartridge(window.Emu().m.microdrives)) {
    window.Emu().ShowMessage(CaptionId::Debug, kMsgNoCartridge);
    return;
  }
  auto* open = window.findChild<CartridgeViewer*>(QString::fromUtf8(kViewerName));
  if (open == nullptr) open = new CartridgeViewer(window);
  open->show();
  open->raise();
}

}  // namespace orvo::ui
