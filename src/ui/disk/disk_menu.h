#pragma once
// The +3 disk commands of the File menu ("Insert Disk" and "Eject Disk" for A: and B:) and the
// options sheet's "Disks" page buttons.
namespace orvo::ui {

class MainWindow;

void InsertDiskA(MainWindow& w);
void InsertDiskB(MainWindow& w);
void EjectDiskA(MainWindow& w);
void EjectDiskB(MainWindow& w);

// Connects the options sheet's "Disk A:" / "Disk B:" fields and buttons to the drives.
void InstallDiskOptionHooks();

}  // namespace orvo::ui
