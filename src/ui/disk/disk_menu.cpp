#include "ui/disk/disk_menu.h"

#include <QFileDialog>

#include "shell/disk_commands.h"
#include "shell/emulator.h"
#include "ui/main_window.h"
#include "ui/options_sheet.h"

namespace orvo::ui {

namespace {

QString AskDiskPath(QWidget* parent, const Emulator& emu, int drive) {
  const std::string& current = emu.disks.path[drive & 1];
  return QFileDialog::getOpenFileName(
      parent, QStringLiteral("Insert Disk"), QString::fromStdString(current),
      QStringLiteral("Spectrum Disk Images (*.dsk);;DSK files (*.dsk)"));
}

void InsertDisk(MainWindow& w, int drive) {
  Emulator& emu = w.Emu();
  QString path;
  {
    ModalScope paused(&w);
    path = AskDiskPath(&w, emu, drive);
  }
  if (path.isEmpty()) return;
  InsertDiskCommand(emu, drive, path.toStdString());
}

void EjectDisk(MainWindow& w, int drive) {
  ModalScope paused(&w);
  EjectDiskCommand(w.Emu(), drive);
}

void NewDisk(MainWindow& w, int drive) {
  Emulator& emu = w.Emu();
  ModalScope paused(&w);
  const QString path =
      QFileDialog::getSaveFileName(&w, QStringLiteral("New Disk"), QStringLiteral("blank.dsk"),
                                   QStringLiteral("Spectrum Disk Images (*.dsk)"));
  if (path.isEmpty()) return;
  NewDiskCommand(emu, drive, path.toStdString());
}

}  // namespace

void NewDiskA(MainWindow& w) {
  NewDisk(w, 0);
}
void NewDiskB(MainWindow& w) {
  NewDisk(w, 1);
}

void InsertDiskA(MainWindow& w) {
  InsertDisk(w, 0);
}
void InsertDiskB(MainWindow& w) {
  InsertDisk(w, 1);
}
void EjectDiskA(MainWindow& w) {
  EjectDisk(w, 0);
}
void EjectDiskB(MainWindow& w) {
  EjectDisk(w, 1);
}

void InstallDiskOptionHooks() {
  OptionsSheet::insertDisk = [](Emulator& emu, QWidget* parent, int drive) {
    const QString path = AskDiskPath(parent, emu, drive);
    if (!path.isEmpty()) InsertDiskCommand(emu, drive, path.toStdString());
    return QString::fromStdString(emu.disks.path[drive & 1]);
  };
  OptionsSheet::diskName = [](const Emulator& emu, int drive) {
    return QString::fromStdString(emu.disks.path[drive & 1]);
  };
}

}  // namespace orvo::ui
