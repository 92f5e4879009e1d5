#pragma once
// The RZX menu: playing, recording, rollback points, the mismatch log and the "RZX_INFO" window.
#include <QDialog>
#include <QString>

class QListWidget;
class QPlainTextEdit;
class QLabel;

namespace orvo::ui {

class MainWindow;

void RzxPlayCommand(MainWindow& w);           // 117
void RzxStopCommand(MainWindow& w);           // 118
void RzxInfoCommand(MainWindow& w);           // 119
void RzxLoggingCommand(MainWindow& w);        // 126
void RzxRecordCommand(MainWindow& w);         // 200
void RzxStopRecordingCommand(MainWindow& w);  // 201
void RzxContinueCommand(MainWindow& w);       // 202
void RzxFinaliseCommand(MainWindow& w);       // 203
void RzxAddBookmarkCommand(MainWindow& w);    // 204
void RzxFromBookmarkCommand(MainWindow& w);   // 205
void RzxGoToBookmarkCommand(MainWindow& w);   // 207

// "RZX_INFO": the recording's header, creator, snapshot and input block in text fields, and its
// frames in a list that scrolls by a line (arrow keys), 40 lines (Page Up/Down), to either end
// (Home/End) and 16 lines per mouse-wheel notch.
class RzxInfoWindow final : public QDialog {
  Q_OBJECT
 public:
  explicit RzxInfoWindow(MainWindow& window);
  QPlainTextEdit* Fields() const { return fields_; }
  QListWidget* Frames() const { return frames_; }
  // Moves the list by `lines` (negative: up), clamped to its ends.
  void ScrollBy(int lines);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* fields_;
  QListWidget* frames_;
};

// "RZX_ROLLBACK_LIST": the rollback points as "%.2f seconds"; a double click returns to one.
class RzxRollbackList final : public QDialog {
  Q_OBJECT
 public:
  explicit RzxRollbackList(MainWindow& window);
  QListWidget* List() const { return list_; }

 private:
  MainWindow& window_;
  QListWidget* list_;
};

}  // namespace orvo::ui
