#include "ui/file_commands.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/media_loaders.h"
#include "shell/recent_files.h"
#include "shell/snapshot_save.h"
#include "shell/tape_commands.h"
#include "shell/zip_archive.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {

// The dialog's filter list: every extension together under `allLabel`, then each on its own
// ("SNA files (*.sna)"), then all files.
QStringList Filters(const char* allLabel, std::initializer_list<const char*> extensions) {
  QStringList patterns;
  for (const char* ext : extensions) patterns << QStringLiteral("*.") + QLatin1String(ext);
  QStringList list{QStringLiteral("%1 (%2)").arg(QLatin1String(allLabel), patterns.join(' '))};
  for (const char* ext : extensions) {
    list << QStringLiteral("%1 files (*.%2)")
                .arg(QString::fromLatin1(ext).toUpper(), QLatin1String(ext));
  }
  list << QStringLiteral("All files (*)");
  return list;
}

}  // namespace

QStringList OpenFileFilters() {
  return Filters("All supported filetypes",
                 {"sna", "z80", "szx", "snx", "sp", "sem", "snp", "sit", "zxs", "tzx", "tap", "csw",
                  "zip", "pzx", "wav", "trd", "scl"});
}

QStringList OpenSnapshotFilters() {
  // The Save dialog numbers the writers by this order.
  return Filters("All supported snapshots",
                 {"sna", "z80", "szx", "snx", "sp", "sem", "snp", "sit", "zxs"});
}

QStringList OpenTapeFilters() {
  return Filters("All supported Spectrum tape files", {"tzx", "tap", "csw", "pzx", "wav"});
}

QString StartFolder(std::initializer_list<std::string> candidates) {
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    const QFileInfo info(QString::fromStdString(candidate));
    if (info.isDir()) return info.absoluteFilePath();
    if (info.isFile() && info.absoluteDir().exists()) return info.absolutePath();
  }
  return QDir::homePath();
}

namespace {

// The folder of the newest recent file: the last folder a file was opened from or saved to.
std::string LastUsedFolder(MainWindow& w) {
  const auto& paths = w.Recent().Paths();
  return paths.empty()
             ? std::string()
             : QFileInfo(QString::fromStdString(paths.front())).absolutePath().toStdString();
}

// The Open dialog, with the emulation paused while it is up; empty when cancelled. It starts in
// the configured folder, else the last used one, else the home folder.
QString AskOpenPathPaused(MainWindow& w, const QString& title, const std::string& configured,
                          const std::string& remembered, const QStringList& filters) {
  ModalScope paused(&w);
  return QFileDialog::getOpenFileName(&w, title,
                                      StartFolder({configured, remembered, LastUsedFolder(w)}),
                                      filters.join(QStringLiteral(";;")));
}

bool LastLoadSucceeded(const Emulator& emu) {
  return emu.files.LastLoadStatus == kLoadedOk;
}

}  // namespace

void OpenChosenFile(MainWindow& w, const QString& path) {
  Emulator& emu = w.Emu();
  if (OpenFileCommand(emu, path.toStdString()) == 0 && LastLoadSucceeded(emu)) {
    w.NoteRecentFile(path.toStdString());
  }
  ShowZipPickerIfPending(w);
}

void LoadFileCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  const QString path =
      AskOpenPathPaused(w, QStringLiteral("Open file"), emu.folders.ConfiguredSnapDir,
                        emu.folders.CurrentSnapDir, OpenFileFilters());
  if (path.isEmpty()) return;
  OpenChosenFile(w, path);
}

void LoadSnapshotCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  const QString path =
      AskOpenPathPaused(w, QStringLiteral("Open snapshot"), emu.folders.ConfiguredSnapDir,
                        emu.folders.CurrentSnapDir, OpenSnapshotFilters());
  if (path.isEmpty()) return;
  if (OpenSnapshotCommand(emu, path.toStdString()) == 0 && LastLoadSucceeded(emu)) {
    w.NoteRecentFile(path.toStdString());
  }
}

void SaveSnapshotCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  ModalScope paused(&w);
  const QStringList filters = OpenSnapshotFilters();
  QString selected = filters.value(0);
  QString start =
      StartFolder({emu.folders.ConfiguredSnapDir, emu.folders.CurrentSnapDir, LastUsedFolder(w)});
  if (!emu.files.CurrentFileTitle.empty()) {
    start = QDir(start).filePath(QString::fromStdString(emu.files.CurrentFileTitle));
  }
  const QString path = QFileDialog::getSaveFileName(&w, QStringLiteral("Save snapshot"), start,
                                                    filters.join(QStringLiteral(";;")), &selected);
  if (path.isEmpty()) return;
  // The writer follows the chosen file type, numbered from 1 as the dialog lists them.
  const int filter = static_cast<int>(filters.indexOf(selected)) + 1;
  std::string written;
  if (orvo::SaveSnapshotCommand(emu, path.toStdString(), filter, &written) == kSaved) {
    w.NoteRecentFile(written.empty() ? path.toStdString() : written);
  }
}

void LoadTapeCommand(MainWindow& w) {
  Emulator& emu = w.Emu();
  const QString path =
      AskOpenPathPaused(w, QStringLiteral("Open file"), emu.folders.ConfiguredTapeDir,
                        emu.folders.CurrentTapeDir, OpenTapeFilters());
  if (path.isEmpty()) return;
  if (OpenTapeFile(emu, path.toStdString()) == 0) w.NoteRecentFile(path.toStdString());
}

void EjectTapeMenuCommand(MainWindow& w) {
  EjectTapeCommand(w.Emu());
  w.Emu().m.Paused = 0;
}

void RewindTapeMenuCommand(MainWindow& w) {
  RewindTapeCommand(w.Emu());
}

void StartStopTapeMenuCommand(MainWindow& w) {
  StartStopTapeCommand(w.Emu());
}

void ShowZipPickerIfPending(MainWindow& w) {
  Emulator& emu = w.Emu();
  if (!emu.files.ZipPickerPending) return;
  emu.files.ZipPickerPending = 0;
  auto* picker = new ZipPicker(w, QString::fromStdString(emu.files.CurrentFilePath));
  picker->setAttribute(Qt::WA_DeleteOnClose);
  picker->show();
}

// ---- the ZIP entry picker ----

ZipPicker::ZipPicker(MainWindow& window, const QString& path)
    : QDialog(&window), window_(window), archive_(std::make_unique<ZipArchive>()) {
  setObjectName(QStringLiteral("FILES_ZIPFILES"));
  setWindowTitle(QStringLiteral("ZIP Archive"));
  auto* layout = new QVBoxLayout(this);
  path_ = new QLabel(path, this);
  path_->setObjectName(QStringLiteral("zipPath"));
  layout->addWidget(path_);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("zipEntries"));
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &ZipPicker::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ZipPicker::reject);
  layout->addWidget(buttons);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });

  if (archive_->Open(path.toStdString())) {
    const int64_t count = archive_->EntryCount();
    for (int64_t i = 0; i < count; ++i) {
      auto* item = new QListWidgetItem(QString::fromStdString(archive_->EntryName(i)), list_);
      item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(i));
    }
  }
  list_->setFocus();
}

ZipPicker::~ZipPicker() = default;

bool ZipPicker::ArchiveOpen() const {
  return archive_->IsOpen();
}

void ZipPicker::accept() {
  const QList<QListWidgetItem*> chosen = list_->selectedItems();
  if (chosen.isEmpty() || !archive_->IsOpen()) return;  // nothing chosen: the picker stays
  QListWidgetItem* item = chosen.first();
  const int64_t index = item->data(Qt::UserRole).toLongLong();
  LoadZipEntry(window_.Emu(), *archive_, index);
  archive_->Close();
  QDialog::accept();
}

}  // namespace orvo::ui
