#include "ui/tools/calculator_window.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace orvo::ui {

CalculatorWindow::CalculatorWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("Orvo Calculator"), Placement::Calculator, false) {
  setObjectName(QStringLiteral("OrvoCalculator"));
  Calc().Open();
  display_ = new QLabel(this);
  display_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  display_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  display_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* grid = new QGridLayout;
  auto add = [&](const QString& text, int row, int column, auto action) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(text);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, action] {
      action();
      Refresh();
    });
    grid->addWidget(b, row, column);
    return b;
  };
  const char* const kDigitText = "0123456789ABCDEF";
  for (int d = 0; d < 16; ++d) {
    // Digits in the lower left: 0-9 in three rows of three and a zero, A-F in a column pair.
    const int row = d == 0 ? 6 : d < 10 ? 5 - (d - 1) / 3 : 1 + (d - 10) / 2;
    const int column = d == 0 ? 0 : d < 10 ? (d - 1) % 3 : 3 + (d - 10) % 2;
    digits_[static_cast<size_t>(d)] =
        add(QString(QChar(kDigitText[d])), row, column, [this, d] { Calc().Digit(d); });
  }
  struct Key {
    const char* text;
    CalcKey key;
    int row, column;
  };
  const Key keys[] = {
      {"=", CalcKey::Equals, 6, 2},      {"+", CalcKey::Plus, 6, 3},
      {"-", CalcKey::Minus, 6, 4},       {"*", CalcKey::Multiply, 5, 3},
      {"/", CalcKey::Divide, 5, 4},      {"AND", CalcKey::And, 0, 5},
      {"OR", CalcKey::Or, 1, 5},         {"XOR", CalcKey::Xor, 2, 5},
      {"NOT", CalcKey::Not, 3, 5},       {"RL", CalcKey::Rl, 0, 6},
      {"RR", CalcKey::Rr, 1, 6},         {"RLC", CalcKey::Rlc, 2, 6},
      {"RRC", CalcKey::Rrc, 3, 6},       {"SLA", CalcKey::Sla, 4, 6},
      {"SRA", CalcKey::Sra, 5, 6},       {"SLL", CalcKey::Sll, 6, 6},
      {"SRL", CalcKey::Srl, 4, 5},       {"CA", CalcKey::ClearAll, 0, 0},
      {"CE", CalcKey::ClearEntry, 0, 1}, {"STO", CalcKey::Store, 0, 2},
  };
  for (const Key& k : keys)
    add(QString::fromLatin1(k.text), k.row, k.column, [this, k] { Calc().Press(k.key); });
  // The bases in a row of their own above the digits, the size and sign modes beside the clears:
  // no button sits over another, so A to F can all be pressed.
  bases_[0] = add(QStringLiteral("BIN"), 1, 0, [this] { Calc().Press(CalcKey::Bin); });
  bases_[1] = add(QStringLiteral("DEC"), 1, 1, [this] { Calc().Press(CalcKey::Dec); });
  bases_[2] = add(QStringLiteral("HEX"), 1, 2, [this] { Calc().Press(CalcKey::Hex); });
  for (QPushButton* b : bases_) b->setCheckable(true);
  carry_ = add(QStringLiteral("CARRY"), 5, 5, [this] { Calc().Press(CalcKey::Carry); });
  plusMinus_ = add(QStringLiteral("+/-"), 6, 1, [this] { Calc().Press(CalcKey::PlusMinus); });
  size_ = add(QStringLiteral("BYTE"), 0, 3, [this] { Calc().Press(CalcKey::Size); });
  sign_ = add(QStringLiteral("SIGN"), 0, 4, [this] { Calc().Press(CalcKey::SignMode); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(display_);
  layout->addLayout(grid);
  Refresh();
}

CalculatorWindow::~CalculatorWindow() {
  Calc().Close();
}

Calculator& CalculatorWindow::Calc() {
  return ToolStateOf(Main()).calculator;
}

QPushButton* CalculatorWindow::Button(const QString& text) const {
  return findChild<QPushButton*>(text);
}

void CalculatorWindow::Refresh() {
  const Calculator& c = ToolStateOf(Main()).calculator;
  display_->setText(QString::fromStdString(c.display()));
  for (int d = 0; d < 16; ++d) digits_[static_cast<size_t>(d)]->setEnabled(c.DigitEnabled(d));
  bases_[0]->setChecked(c.base() == 2);
  bases_[1]->setChecked(c.base() == 10);
  bases_[2]->setChecked(c.base() == 16);
  carry_->setText(QString::fromLatin1(c.CarryCaption()));
  size_->setText(QString::fromLatin1(c.SizeCaption()));
  sign_->setText(QString::fromLatin1(c.SignCaption()));
  plusMinus_->setEnabled(c.signedMode());
}

void CalculatorWindow::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  bool used = false;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    used = Calc().Type('=');
  else if (event->key() == Qt::Key_Escape)
    used = Calc().Type(27);
  else if (text.size() == 1 && text[0].unicode() < 128)
    used = Calc().Type(static_cast<char>(text[0].unicode()));
  if (used) {
    Refresh();
    return;
  }
  ToolWindow::keyPressEvent(event);
}

}  // namespace orvo::ui
