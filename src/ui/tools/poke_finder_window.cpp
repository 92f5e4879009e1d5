#include "ui/tools/poke_finder_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "shell/emulator.h"
#include "ui/tools/poke_memory_window.h"

namespace orvo::ui {

PokeFinderWindow::PokeFinderWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("POKE Finder"), std::nullopt, false) {
  setObjectName(QStringLiteral("OrvoPokeFind"));
  value_ = new QLineEdit(this);
  start_ = new QLineEdit(QStringLiteral("23296"), this);
  end_ = new QLineEdit(QStringLiteral("65535"), this);
  search_button_ = new QPushButton(QStringLiteral("Search"), this);
  next_ = new QPushButton(QStringLiteral("Next"), this);
  next_->setEnabled(false);
  rule_ = new QComboBox(this);
  rule_->addItems({QStringLiteral("went down by 1"), QStringLiteral("went up by 1"),
                   QStringLiteral("unchanged"), QStringLiteral("changed")});
  results_ = new QListWidget(this);
  results_->setMinimumWidth(150);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Value"), value_);
  form->addRow(QStringLiteral("Start address"), start_);
  form->addRow(QStringLiteral("End address"), end_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(search_button_);
  buttons->addWidget(next_);
  buttons->addWidget(rule_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  layout->addWidget(results_);

  connect(search_button_, &QPushButton::clicked, this, &PokeFinderWindow::Search);
  connect(next_, &QPushButton::clicked, this, &PokeFinderWindow::Next);
  connect(results_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    auto* poke = OpenToolWindow<PokeMemoryWindow>(Main());
    poke->SetAddress(item->text());
  });
}

void PokeFinderWindow::Search() {
  const MessageId bad = search_.Search(Emu().m, value_->text().toStdString(),
                                       start_->text().toStdString(), end_->text().toStdString());
  if (bad != kMsgNone) {
    Emu().ShowMessage(CaptionId::PokeFind, bad);
    return;
  }
  Refill();
  search_button_->setEnabled(false);
  next_->setEnabled(true);
}

void PokeFinderWindow::Next() {
  search_.Next(Emu().m, static_cast<PokeNext>(rule_->currentIndex()));
  Refill();
}

void PokeFinderWindow::Refill() {
  results_->clear();
  for (const PokeCandidate& c : search_.candidates()) results_->addItem(QString::number(c.address));
}

}  // namespace orvo::ui
