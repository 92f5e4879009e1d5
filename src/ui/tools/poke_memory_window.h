#pragma once
// POKE Memory: pokes typed in (address, value, and the bank on the 128K family) or opened from a
// .POK trainer file, applied and undone. The list lives on after the window closes.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "formats/pok_format.h"
#include "ui/tools/tool_window.h"

namespace orvo::ui {

class PokeMemoryWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit PokeMemoryWindow(MainWindow& main);
  void SetAddress(const QString& address);
  // Reads a .POK file and lists its trainers; false after the message naming the bad line.
  bool OpenPokFile(const QString& path);
  void ApplyTrainer(int index);
  QLineEdit* address() const { return address_; }
  QLineEdit* value() const { return value_; }
  QLabel* current() const { return current_; }
  QListWidget* pokes() const { return list_; }
  QListWidget* trainers() const { return trainers_; }
  void AddPoke();

 private:
  void ShowCurrent();
  void Refill();
  PokeList& List();
  QLineEdit* address_;
  QLineEdit* value_;
  QComboBox* bank_;
  QLabel* current_;
  QListWidget* list_;
  QListWidget* trainers_;
  std::vector<PokTrainer> loaded_;
};

}  // namespace orvo::ui
