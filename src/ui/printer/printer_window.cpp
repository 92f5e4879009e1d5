#include "ui/printer/printer_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "devices/printer.h"
#include "host/png_writer.h"
#include "shell/config.h"
#include "shell/emulator.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {

QPixmap PaperPixmap(const PrinterState& p) {
  const std::vector<uint32_t> pixels = PaperViewPixels(p);
  QImage view(reinterpret_cast<const uchar*>(pixels.data()), kPaperViewWidth, kPaperViewHeight,
              kPaperViewWidth * 4, QImage::Format_RGB32);
  // The paper framed, as the window has always shown it.
  QImage framed(kPaperViewWidth + 10, kPaperViewHeight + 10, QImage::Format_RGB32);
  framed.fill(Qt::white);
  QPainter painter(&framed);
  painter.drawImage(5, 5, view);
  painter.setPen(Qt::black);
  painter.drawRect(3, 3, kPaperViewWidth + 4, kPaperViewHeight + 4);
  return QPixmap::fromImage(framed);
}

QPushButton* Button(QWidget* parent, const char* text, const char* name) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::fromUtf8(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

PrinterWindow::PrinterWindow(Emulator& emu, QWidget* parent) : QDialog(parent), emu_(emu) {
  setObjectName(QStringLiteral("ORVO_PRINTER"));
  setWindowTitle(QStringLiteral("ZX Printer"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  PrinterState& p = emu_.m.printer;
  p.style = PaperStyle::Grey;
  SetPrinterAttached(emu_.m, true);
  emu_.menu.Enable(CommandId::ViewPrinterBuffer, true);

  paper_ = new QLabel(this);
  paper_->setObjectName(QStringLiteral("paper"));
  scroll_ = new QScrollBar(Qt::Vertical, this);
  scroll_->setObjectName(QStringLiteral("paperScroll"));
  scroll_->setPageStep(static_cast<int>(kPaperViewRows));
  scroll_->setSingleStep(1);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
    emu_.m.printer.scroll = value;
    Refresh(true);
  });
  lamp_ = new QLabel(this);
  lamp_->setObjectName(QStringLiteral("motorLamp"));
  lamp_->setFixedSize(16, 8);

  auto* feed = Button(this, "Feed", "feed");
  auto* clear = Button(this, "Clear", "clear");
  auto* style = Button(this, "Style", "style");
  auto* save = Button(this, "Save paper as PNG", "savePaper");
  auto* close = Button(this, "Close", "close");
  connect(feed, &QPushButton::clicked, this, [this] {
    FeedPaper(emu_.m.printer);
    Refresh(true);
  });
  connect(clear, &QPushButton::clicked, this, [this] {
    ClearPaper(emu_.m.printer);
    Refresh(true);
  });
  connect(style, &QPushButton::clicked, this, [this] {
    PrinterState& ps = emu_.m.printer;
    ps.style = ps.style == PaperStyle::Grey ? PaperStyle::White : PaperStyle::Grey;
    Refresh(true);
  });
  connect(save, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save paper as PNG"),
                                                      QString(), QStringLiteral("PNG (*.png)"));
    if (path.isEmpty()) return;
    if (QString error; !SavePaper(path, &error))
      QMessageBox::warning(this, QStringLiteral("ZX Printer"), error);
  });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QVBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(feed), static_cast<QWidget*>(clear),
                     static_cast<QWidget*>(style), static_cast<QWidget*>(save)})
    buttons->addWidget(w);
  buttons->addWidget(lamp_);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(paper_);
  layout->addWidget(scroll_);
  layout->addLayout(buttons);

  const WindowPosition at = GetWindowPlacement(emu_, Placement::ZxPrinter);
  move(at.left, at.top);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
  timer_->start(50);
  Refresh(true);
}

PrinterWindow::~PrinterWindow() = default;

void PrinterWindow::done(int result) {
  SetWindowPlacement(emu_, Placement::ZxPrinter, {x(), y()});
  SetPrinterAttached(emu_.m, false);
  timer_->stop();
  QDialog::done(result);
}

void PrinterWindow::Refresh(bool force) {
  const PrinterState& p = emu_.m.printer;
  if (force || p.redraws != shownRedraws_ || p.line != shownLine_) {
    shownRedraws_ = p.redraws;
    shownLine_ = p.line;
    const int maximum = std::max(0, static_cast<int>(p.rows) - static_cast<int>(kPaperViewRows));
    if (scroll_->maximum() != maximum) {
      const QSignalBlocker quiet(scroll_);
      scroll_->setRange(0, maximum);
      scroll_->setValue(std::min(p.scroll, maximum));
    }
    paper_->setPixmap(PaperPixmap(p));
  }
  if (static_cast<int>(p.motor) != shownMotor_) {
    shownMotor_ = p.motor;
    lamp_->setStyleSheet(p.motor ? QStringLiteral("background: #00c000; border: 1px solid black")
                                 : QStringLiteral("background: #e00000; border: 1px solid black"));
  }
}

bool PrinterWindow::SavePaper(const QString& path, QString* error) const {
  uint32_t height = 0;
  const std::vector<uint32_t> pixels = PrintedPaperPixels(emu_.m.printer, height);
  if (height == 0) {
    *error = QStringLiteral("Nothing has been printed.");
    return false;
  }
  std::string why;
  if (!WritePng(path.toStdString(), pixels.data(), static_cast<int>(kPaperWidth),
                static_cast<int>(height), &why)) {
    *error = QString::fromStdString(why);
    return false;
  }
  return true;
}

void ZxPrinterCommand(MainWindow& w) {
  if (auto* open = w.findChild<PrinterWindow*>()) {
    open->raise();
    open->activateWindow();
    return;
  }
  auto* window = new PrinterWindow(w.Emu(), &w);
  window->show();
}

}  // namespace orvo::ui
