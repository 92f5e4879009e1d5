#include "ui/printer/printer_buffer_view.h"

#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "devices/printer.h"
#include "shell/emulator.h"
#include "ui/main_window.h"
#include "ui/window_placement.h"

namespace orvo::ui {

namespace {

constexpr const char* kViewName = "DEBUG_VIEWPRINTER";
constexpr uint32_t kShownLines = 64;

class PrinterBufferView final : public QDialog {
 public:
  explicit PrinterBufferView(MainWindow& main) : QDialog(&main), emu_(main.Emu()) {
    setObjectName(kViewName);
    setWindowTitle(QStringLiteral("View Printer Buffer"));
    setAttribute(Qt::WA_DeleteOnClose);
    KeepPlacement(this, emu_, Placement::ViewZxPrinter);
    first_ = new QSpinBox(this);
    first_->setObjectName(QStringLiteral("firstLine"));
    first_->setRange(0, static_cast<int>(kPaperLines) - 1);
    auto* current = new QPushButton(QStringLiteral("Current Line"), this);
    current->setObjectName(QStringLiteral("currentLine"));
    current->setAutoDefault(false);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("buffer"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMinimumSize(760, 480);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("First line"), this));
    top->addWidget(first_);
    top->addWidget(current);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(text_);
    connect(first_, &QSpinBox::valueChanged, this, [this] { Refresh(true); });
    connect(current, &QPushButton::clicked, this, [this] { ShowCurrentLine(); });
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { Refresh(false); });
    timer->start(200);
    ShowCurrentLine();
  }

 private:
  // The last lines up to the one being printed.
  void ShowCurrentLine() {
    const uint32_t line = emu_.m.printer.line;
    first_->setValue(static_cast<int>(line >= kShownLines ? line - kShownLines + 1 : 0));
    Refresh(true);
  }

  void Refresh(bool force) {
    const PrinterState& p = emu_.m.printer;
    if (!force && p.redraws == shownRedraws_ && p.line == shownLine_ && p.column == shownColumn_)
      return;
    shownRedraws_ = p.redraws;
    shownLine_ = p.line;
    shownColumn_ = p.column;
    const std::string text =
        PrinterBufferText(p, static_cast<uint32_t>(first_->value()), kShownLines);
    text_->setPlainText(QString::fromStdString(text));
  }

  Emulator& emu_;
  QSpinBox* first_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  uint32_t shownRedraws_ = ~0u;
  uint32_t shownLine_ = ~0u;
  uint32_t shownColumn_ = ~0u;
};

}  // namespace

void ShowPrinterBufferView(MainWindow& window) {
  ModalScope paused(&window);
  auto* open = window.findChild<PrinterBufferView*>(QString::fromUtf8(kViewName));
  if (open == nullptr) open = new PrinterBufferView(window);
  open->show();
  open->raise();
}

}  // namespace orvo::ui
