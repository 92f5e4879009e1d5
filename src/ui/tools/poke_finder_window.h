#pragma once
// The POKE finder window: value and address range, "Search" then "Next" as the counter changes,
// the remaining addresses listed; a double click opens POKE Memory at the address.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "shell/poke_finder.h"
#include "ui/tools/tool_window.h"

namespace orvo::ui {

class PokeFinderWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit PokeFinderWindow(MainWindow& main);
  void Search();
  void Next();
  QLineEdit* value() const { return value_; }
  QLineEdit* start() const { return start_; }
  QLineEdit* end() const { return end_; }
  QListWidget* results() const { return results_; }
  QPushButton* nextButton() const { return next_; }
  QComboBox* rule() const { return rule_; }

 private:
  void Refill();
  PokeSearch search_;
  QLineEdit* value_;
  QLineEdit* start_;
  QLineEdit* end_;
  QPushButton* search_button_;
  QPushButton* next_;
  QComboBox* rule_;
  QListWidget* results_;
};

}  // namespace orvo::ui
