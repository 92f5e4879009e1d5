#include "ui/disk/disk_menu.h"

#include <QFileDialog>

#include "devices/beta128.h"
#include "shell/beta_disk_commands.h"
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

// With the Beta 128 fitted the disk items work its four drives, with TR-DOS images.
bool BetaDrives(const Emulator& emu) {
  return Beta128Fitted(emu.m);
}

const QString kBetaFilter = QStringLiteral(
    "TR-DOS Disk Images (*.trd *.scl);;TRD files (*.trd);;SCL files (*.scl);;All files (*)");

void InsertDisk(MainWindow& w, int drive) {
  Emulator& emu = w.Emu();
  if (BetaDrives(emu)) {
    QString path;
    {
      ModalScope paused(&w);
      path = QFileDialog::getOpenFileName(&w, QStringLiteral("Insert Disk"),
                                          QString::fromStdString(emu.betaDisks.path[drive & 3]),
                                          kBetaFilter);
    }
    if (!path.isEmpty()) InsertBetaDiskCommand(emu, drive, path.toStdString());
    return;
  }
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
  if (BetaDrives(w.Emu())) {
    EjectBetaDiskCommand(w.Emu(), drive);
    return;
  }
  EjectDiskCommand(w.Emu(), drive);
}

void NewDisk(MainWindow& w, int drive) {
  Emulator& emu = w.Emu();
  ModalScope paused(&w);
  if (BetaDrives(emu)) {
    const QString path =
        QFileDialog::getSaveFileName(&w, QStringLiteral("New Disk"), QStringLiteral("blank.trd"),
                                     QStringLiteral("TR-DOS Disk Images (*.trd)"));
    if (!path.isEmpty()) NewBetaDiskCommand(emu, drive, path.toStdString());
    return;
  }
  const QString path =
      QFileDialog::getSaveFileName(&w, QStringLiteral("New Disk"), QStringLiteral("blank.dsk"),
                                   QStringLiteral("Spectrum Disk Images (*.dsk)"));
  if (path.isEmpty()) return;
  NewDiskCommand(emu, drive, path.toStdString());
}

void ToggleWriteProtect(MainWindow& w, int drive) {
  Emulator& emu = w.Emu();
  SetBetaWriteProtect(emu, drive, !emu.m.Beta.WriteProtected(drive));
}

}  // namespace

void InsertDiskC(MainWindow& w) {
  InsertDisk(w, 2);
}
void InsertDiskD(MainWindow& w) {
  InsertDisk(w, 3);
}
void EjectDiskC(MainWindow& w) {
  EjectDisk(w, 2);
}
void EjectDiskD(MainWindow& w) {
  EjectDisk(w, 3);
}
void NewDiskC(MainWindow& w) {
  NewDisk(w, 2);
}
void NewDiskD(MainWindow& w) {
  NewDisk(w, 3);
}
void WriteProtectA(MainWindow& w) {
  ToggleWriteProtect(w, 0);
}
void WriteProtectB(MainWindow& w) {
  ToggleWriteProtect(w, 1);
}
void WriteProtectC(MainWindow& w) {
  ToggleWriteProtect(w, 2);
}
void WriteProtectD(MainWindow& w) {
  ToggleWriteProtect(w, 3);
}

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
