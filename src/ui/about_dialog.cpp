#include "ui/about_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "ui/main_window.h"

namespace orvo::ui {

namespace {
constexpr int kAboutWidth = 350;
constexpr int kAboutHeight = 198;
}  // namespace

QString AboutText() {
  return QStringLiteral("Version ") + VersionText() +
         QStringLiteral(
             "\nA ZX Spectrum emulator for Linux\n16K, 48K, 128K, +2, +2A and +3\n"
             "Written by the Orvo developers");
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ORVO_ABOUT"));
  setWindowTitle(WindowTitle());
  if (parent != nullptr) setWindowIcon(parent->windowIcon());
  setFixedSize(kAboutWidth, kAboutHeight);

  text_ = new QLabel(AboutText(), this);
  text_->setObjectName(QStringLiteral("aboutText"));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(15);
  font.setBold(true);
  text_->setFont(font);
  text_->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  text_->setAttribute(Qt::WA_TranslucentBackground);
  QPalette palette = text_->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  text_->setPalette(palette);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("aboutOk"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const QSize button = ok_->sizeHint();
  // OK centred, 5 pixels above the bottom; the text in the lower right above it.
  ok_->setGeometry((width() - button.width()) / 2, height() - button.height() - 5, button.width(),
                   button.height());
  const QSize text = text_->sizeHint();
  text_->setGeometry(width() - text.width() - 10, ok_->y() - text.height() - 6, text.width(),
                     text.height());
}

void AboutDialog::paintEvent(QPaintEvent*) {
  // The background: pale paper with the four stripes of the Spectrum's colours in the corner.
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0xE8, 0xE4, 0xD8));
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor stripes[] = {QColor(0xD7, 0x00, 0x00), QColor(0xD7, 0xD7, 0x00),
                            QColor(0x00, 0xD7, 0x00), QColor(0x00, 0xD7, 0xD7)};
  const int band = 14;
  for (int i = 0; i < 4; ++i) {
    QPolygon poly;
    const int x = 20 + i * band;
    poly << QPoint(x, height()) << QPoint(x + band, height()) << QPoint(x + band + 110, 0)
         << QPoint(x + 110, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(stripes[i]);
    painter.drawPolygon(poly);
  }
  QFont title(QStringLiteral("Arial"));
  title.setPixelSize(40);
  title.setBold(true);
  painter.setFont(title);
  painter.setPen(Qt::black);
  painter.drawText(QRect(0, 14, width() - 20, 50), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Orvo"));
}

void ShowAboutBox(QWidget* parent) {
  AboutDialog box(parent);
  box.exec();
}

}  // namespace orvo::ui
