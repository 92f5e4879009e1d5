#include "ui/rzx/rzx_commands.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cstdio>

#include "rzx/rzx_session.h"
#include "shell/emulator.h"
#include "ui/file_commands.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {

constexpr int kPageLines = 40;
constexpr int kWheelLines = 16;

QString AskRzxSavePath(MainWindow& w) {
  ModalScope paused(&w);
  return QFileDialog::getSaveFileName(&w, QStringLiteral("Save snapshot"),
                                      StartFolder({w.Emu().folders.CurrentSnapDir}),
                                      QStringLiteral("RZX files (*.rzx)"));
}

QString Text(const char* format, auto... values) {
  char line[160];
  std::snprintf(line, sizeof line, format, values...);
  return QString::fromUtf8(line);
}

}  // namespace

void RzxPlayCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  QString path;
  {
    ModalScope paused(&w);
    path = QFileDialog::getOpenFileName(&w, QStringLiteral("Open file"),
                                        StartFolder({emu.folders.CurrentSnapDir}),
                                        QStringLiteral("Spectrum RZX File (*.rzx)"));
  }
  if (path.isEmpty()) return;
  emu.folders.CurrentSnapDir = path.toStdString();
  OpenRzxFile(emu, path.toStdString());
}

void RzxStopCommand(MainWindow& w) {
  StopRzxPlayback(w.Emu());
}

void RzxInfoCommand(MainWindow& w) {
  auto* info = new RzxInfoWindow(w);
  info->setAttribute(Qt::WA_DeleteOnClose);
  info->show();
}

void RzxLoggingCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  if (emu.rzx.log) {
    SetRzxLog(emu, {}, false);
  } else {
    QString path;
    {
      ModalScope paused(&w);
      path = QFileDialog::getSaveFileName(&w, QStringLiteral("RZX Logging"),
                                          StartFolder({emu.folders.CurrentSnapDir}));
    }
    if (!path.isEmpty()) SetRzxLog(emu, path.toStdString(), true);
  }
  UpdateRzxMenus(emu, RzxMenuAfter::Logging);
}

void RzxRecordCommand(MainWindow& w) {
  const QString path = AskRzxSavePath(w);
  if (!path.isEmpty()) StartRzxRecording(w.Emu(), path.toStdString());
}

void RzxStopRecordingCommand(MainWindow& w) {
  StopRzxRecording(w.Emu());
}

void RzxContinueCommand(MainWindow& w) {
  const QString path = AskRzxSavePath(w);
  if (!path.isEmpty()) RecordFromRollback(w.Emu(), path.toStdString());
}

void RzxFinaliseCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  const QString path = AskRzxSavePath(w);
  if (path.isEmpty()) return;
  std::string target = path.toStdString();
  if (!target.ends_with(".rzx")) target += ".rzx";
  if (!WriteRzxFile(emu, target)) emu.ShowMessage(CaptionId::File, kMsgCannotSaveSnapshot);
  UpdateRzxMenus(emu, RzxMenuAfter::Finalise);
}

void RzxAddBookmarkCommand(MainWindow& w) {
  AddRollbackPoint(w.Emu());
}

void RzxFromBookmarkCommand(MainWindow& w) {
  RollBackToLast(w.Emu());
}

void RzxGoToBookmarkCommand(MainWindow& w) {
  auto* list = new RzxRollbackList(w);
  list->setAttribute(Qt::WA_DeleteOnClose);
  list->show();
}

RzxInfoWindow::RzxInfoWindow(MainWindow& window) : QDialog(&window) {
  setObjectName(QStringLiteral("RZX_INFO"));
  setWindowTitle(QStringLiteral("RZX Info"));
  fields_ = new QPlainTextEdit(this);
  fields_->setReadOnly(true);
  frames_ = new QListWidget(this);
  frames_->viewport()->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fields_);
  layout->addWidget(frames_, 1);

  const RzxFile& f = window.Emu().rzx.file;
  QStringList lines;
  lines << Text("Signature: RZX!  Version: %u.%u  Flags: %u", f.major, f.minor, f.flags)
        << Text("Creator: %s  Version: %u.%u", f.creator.c_str(), f.creatorMajor, f.creatorMinor)
        << Text("Snapshot: %s  Flags: %u  Length: %u  Blocks: %u", f.snapshot.Extension().c_str(),
                f.snapshot.flags, static_cast<unsigned>(f.snapshot.data.size()), f.snapshotCount)
        << Text("Input blocks: %u  Frames: %llu  Duration: %s",
                static_cast<unsigned>(f.inputs.size()),
                static_cast<unsigned long long>(f.TotalFrames()),
                RzxDurationText(f.TotalFrames()).c_str());
  for (const RzxInputBlock& b : f.inputs) {
    lines << Text("Input block: frames %u  start T-state %u  flags %u",
                  static_cast<unsigned>(b.frames.size()), b.startTState, b.flags);
  }
  fields_->setPlainText(lines.join(QLatin1Char('\n')));
  uint64_t n = 0;
  for (const RzxInputBlock& b : f.inputs) {
    for (const RzxFrame& frame : b.frames) {
      frames_->addItem(Text("%6llu  fetches %5u  reads %5u", static_cast<unsigned long long>(n++),
                            frame.fetches, frame.reads));
    }
  }
  if (frames_->count() > 0) frames_->setCurrentRow(0);
  resize(480, 520);
}

void RzxInfoWindow::ScrollBy(int lines) {
  if (frames_->count() == 0) return;
  const int row = std::clamp(frames_->currentRow() + lines, 0, frames_->count() - 1);
  frames_->setCurrentRow(row);
  frames_->scrollToItem(frames_->item(row));
}

void RzxInfoWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up: ScrollBy(-1); break;
    case Qt::Key_Down: ScrollBy(1); break;
    case Qt::Key_PageUp: ScrollBy(-kPageLines); break;
    case Qt::Key_PageDown: ScrollBy(kPageLines); break;
    case Qt::Key_Home: ScrollBy(-frames_->count()); break;
    case Qt::Key_End: ScrollBy(frames_->count()); break;
    default: QDialog::keyPressEvent(event); return;
  }
  event->accept();
}

bool RzxInfoWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frames_->viewport() && event->type() == QEvent::Wheel) {
    const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
    ScrollBy(-notches * kWheelLines);
    return true;
  }
  if (watched == frames_->viewport() && event->type() == QEvent::KeyPress) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

RzxRollbackList::RzxRollbackList(MainWindow& window) : QDialog(&window), window_(window) {
  setObjectName(QStringLiteral("RZX_ROLLBACK_LIST"));
  setWindowTitle(QStringLiteral("Rollback"));
  list_ = new QListWidget(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  Emulator& emu = window.Emu();
  emu.menu.Enable(CommandId::RzxStopRecording, true);
  emu.menu.Enable(CommandId::RzxFinalise, true);
  for (const RollbackPoint& p : emu.rzx.rollbacks) {
    list_->addItem(QString::fromStdString(p.label) + QStringLiteral(" seconds"));
  }
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (RollBackTo(window_.Emu(), static_cast<size_t>(list_->row(item)))) {
      UpdateRzxMenus(window_.Emu(), RzxMenuAfter::GoToBookmark);
    }
    accept();
  });
}

}  // namespace orvo::ui
