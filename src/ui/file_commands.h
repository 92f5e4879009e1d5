#pragma once
// The File and Tape menu commands that open a file dialog and hand the chosen path to the file
// dispatch or the tape deck, and the ZIP entry picker that an opened archive asks for.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

class QLabel;
class QListWidget;

namespace orvo {
class Emulator;
class ZipArchive;
}  // namespace orvo

namespace orvo::ui {

class MainWindow;

// Dialog filters in Qt's form ("Text (*.a *.b)").
QStringList OpenFileFilters();      // "Open file": all supported kinds, one per kind, all files
QStringList OpenSnapshotFilters();  // "Open snapshot" and "Save snapshot"
QStringList OpenTapeFilters();      // the tape deck's "Open file"
// The folder a dialog starts in: the first of `candidates` that is an existing folder (a file
// stands for its folder), else the home folder. Never a missing folder, whose name the dialog
// would put into the file name box.
QString StartFolder(std::initializer_list<std::string> candidates);

// Opens `path` as File, Load File does after its dialog, and lists it in the recent files when
// it loaded.
void OpenChosenFile(MainWindow& w, const QString& path);

void LoadFileCommand(MainWindow& w);           // 113
void LoadSnapshotCommand(MainWindow& w);       // 100
void SaveSnapshotCommand(MainWindow& w);       // 101
void LoadTapeCommand(MainWindow& w);           // 130
void EjectTapeMenuCommand(MainWindow& w);      // 131
void RewindTapeMenuCommand(MainWindow& w);     // 133
void StartStopTapeMenuCommand(MainWindow& w);  // 134

// After any file was opened: an archive asks for its entry picker.
void ShowZipPickerIfPending(MainWindow& w);

// "FILES_ZIPFILES": the entries of the archive in a list, its path above; OK or a double click
// loads the chosen entry as a file of its name. Modeless; the archive stays open while it shows.
class ZipPicker final : public QDialog {
  Q_OBJECT
 public:
  ZipPicker(MainWindow& window, const QString& path);
  ~ZipPicker() override;
  QListWidget* List() const { return list_; }
  bool ArchiveOpen() const;
  void accept() override;

 private:
  MainWindow& window_;
  std::unique_ptr<ZipArchive> archive_;
  QListWidget* list_;
  QLabel* path_;
};

}  // namespace orvo::ui
