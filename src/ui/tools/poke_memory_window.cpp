#include "ui/tools/poke_memory_window.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "tools/parse_number.h"

namespace orvo::ui {

PokeMemoryWindow::PokeMemoryWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("POKE Memory"), std::nullopt, true) {
  setObjectName(QStringLiteral("OrvoPokeMemory"));
  address_ = new QLineEdit(this);
  value_ = new QLineEdit(this);
  bank_ = new QComboBox(this);
  bank_->addItem(QStringLiteral("Paged"));
  for (int b = 0; b < 8; ++b) bank_->addItem(QString::number(b));
  bank_->setEnabled(Is128KFamily(Emu().m.MachineModel));
  current_ = new QLabel(this);
  list_ = new QListWidget(this);
  trainers_ = new QListWidget(this);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Address"), address_);
  form->addRow(QStringLiteral("Bank"), bank_);
  form->addRow(QStringLiteral("Now holds"), current_);
  form->addRow(QStringLiteral("Value"), value_);
  auto button = [this](const char* text, auto slot) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  auto* row = new QHBoxLayout;
  row->addWidget(button("Add", [this] { AddPoke(); }));
  row->addWidget(button("Apply", [this] {
    if (list_->currentRow() >= 0) List().Apply(Emu().m, static_cast<size_t>(list_->currentRow()));
    Refill();
  }));
  row->addWidget(button("Undo", [this] {
    if (list_->currentRow() >= 0) List().Undo(Emu().m, static_cast<size_t>(list_->currentRow()));
    Refill();
  }));
  row->addWidget(button("Remove", [this] {
    if (list_->currentRow() >= 0) List().Remove(Emu().m, static_cast<size_t>(list_->currentRow()));
    Refill();
  }));
  row->addWidget(button("Undo All", [this] {
    List().UndoAll(Emu().m);
    Refill();
  }));
  auto* pokRow = new QHBoxLayout;
  pokRow->addWidget(button("Open .POK...", [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open trainer file"),
                                                      QString(), QStringLiteral("POK (*.pok)"));
    if (!path.isEmpty()) OpenPokFile(path);
  }));
  pokRow->addWidget(button("Apply Trainer", [this] { ApplyTrainer(trainers_->currentRow()); }));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(row);
  layout->addWidget(list_);
  layout->addLayout(pokRow);
  layout->addWidget(trainers_);
  connect(address_, &QLineEdit::textChanged, this, &PokeMemoryWindow::ShowCurrent);
  connect(bank_, &QComboBox::currentIndexChanged, this, &PokeMemoryWindow::ShowCurrent);
  Refill();
}

PokeList& PokeMemoryWindow::List() {
  return ToolStateOf(Main()).pokes;
}

void PokeMemoryWindow::SetAddress(const QString& address) {
  address_->setText(address);
}

void PokeMemoryWindow::ShowCurrent() {
  const uint32_t a = ParseNumber(address_->text().toStdString());
  const uint8_t bank =
      bank_->currentIndex() == 0 ? kPokNoBank : static_cast<uint8_t>(bank_->currentIndex() - 1);
  current_->setText(a > 0xFFFF
                        ? QString()
                        : QString::number(PeekForPoke(Emu().m, bank, static_cast<uint16_t>(a))));
}

void PokeMemoryWindow::AddPoke() {
  const std::string bank =
      bank_->currentIndex() == 0 ? std::string() : std::to_string(bank_->currentIndex() - 1);
  const MessageId bad =
      List().Add(address_->text().toStdString(), value_->text().toStdString(), bank);
  if (bad != kMsgNone) {
    Emu().ShowMessage(CaptionId::PokeMemory, bad);
    return;
  }
  List().Apply(Emu().m, List().entries().size() - 1);
  Refill();
  ShowCurrent();
}

bool PokeMemoryWindow::OpenPokFile(const QString& path) {
  std::vector<uint8_t> bytes;
  if (const MessageId bad = ReadWholeFile(path.toStdString(), bytes); bad != kMsgNone) {
    Emu().ShowMessage(CaptionId::PokeMemory, bad);
    return false;
  }
  PokParseResult pok = ParsePok(bytes);
  if (!pok.Ok()) {
    Emu().ShowMessage(CaptionId::PokeMemory, kMsgPokFileLine,
                      "line " + std::to_string(pok.errorLine));
    return false;
  }
  loaded_ = std::move(pok.trainers);
  trainers_->clear();
  for (const PokTrainer& t : loaded_) trainers_->addItem(QString::fromStdString(t.name));
  return true;
}

void PokeMemoryWindow::ApplyTrainer(int index) {
  if (index < 0 || static_cast<size_t>(index) >= loaded_.size()) return;
  const PokTrainer& trainer = loaded_[static_cast<size_t>(index)];
  int asked = 0;
  if (TrainerAsks(trainer)) {
    bool ok = false;
    asked = QInputDialog::getInt(this, QString::fromStdString(trainer.name),
                                 QStringLiteral("Value (0-255)"), 0, 0, 255, 1, &ok);
    if (!ok) return;
  }
  const size_t first = List().entries().size();
  List().AddTrainer(trainer, static_cast<uint8_t>(asked));
  for (size_t i = first; i < List().entries().size(); ++i) List().Apply(Emu().m, i);
  Refill();
}

void PokeMemoryWindow::Refill() {
  list_->clear();
  for (const PokeEntry& e : List().entries()) {
    QString text = QStringLiteral("%1,%2").arg(e.address).arg(e.value);
    if (e.bank != kPokNoBank) text += QStringLiteral(" bank %1").arg(e.bank);
    if (!e.trainer.empty()) text += QStringLiteral("  (%1)").arg(QString::fromStdString(e.trainer));
    if (e.applied) text += QStringLiteral("  applied");
    list_->addItem(text);
  }
}

}  // namespace orvo::ui
