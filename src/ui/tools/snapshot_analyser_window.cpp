#include "ui/tools/snapshot_analyser_window.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/snapshot_report.h"

namespace orvo::ui {

SnapshotAnalyserWindow::SnapshotAnalyserWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("Snapshot Analyser"), std::nullopt, true) {
  setObjectName(QStringLiteral("OrvoSnapAnal"));
  const FileState& f = Emu().files;
  const std::string name = FileNameOfPath(f.CurrentFilePath);
  const ReportRows rows = AnalyseFile(name, f.AnalyserCopy);
  table_ = new QTableWidget(static_cast<int>(rows.size()), 2, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (size_t i = 0; i < rows.size(); ++i) {
    table_->setItem(static_cast<int>(i), 0,
                    new QTableWidgetItem(QString::fromStdString(rows[i].first)));
    table_->setItem(static_cast<int>(i), 1,
                    new QTableWidgetItem(QString::fromStdString(rows[i].second)));
  }
  table_->resizeColumnToContents(0);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  resize(420, 480);
}

QString SnapshotAnalyserWindow::Value(const QString& field) const {
  for (int r = 0; r < table_->rowCount(); ++r)
    if (table_->item(r, 0)->text() == field) return table_->item(r, 1)->text();
  return {};
}

}  // namespace orvo::ui
