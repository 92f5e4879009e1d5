#pragma once
// The snapshot analyser: what the last opened file holds, as a table of fields and values.
#include <QTableWidget>

#include "ui/tools/tool_window.h"

namespace orvo::ui {

class SnapshotAnalyserWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit SnapshotAnalyserWindow(MainWindow& main);
  QTableWidget* table() const { return table_; }
  // The value of the first row called `field`, or an empty text.
  QString Value(const QString& field) const;

 private:
  QTableWidget* table_;
};

}  // namespace orvo::ui
