#pragma once
// The +3 disk commands of the File menu ("Insert Disk", "Eject Disk" and "New Disk" for A: and B:)
// and the options sheet's "Disks" page buttons.
namespace orvo::ui {

class MainWindow;

void InsertDiskA(MainWindow& w);
void InsertDiskB(MainWindow& w);
void EjectDiskA(MainWindow& w);
void EjectDiskB(MainWindow& w);
// "New Disk": asks where to keep a blank disk, writes it there and inserts it.
void NewDiskA(MainWindow& w);
void NewDiskB(MainWindow& w);

// Connects the options sheet's "Disk A:" / "Disk B:" fields and buttons to the drives.
void InstallDiskOptionHooks();

}  // namespace orvo::ui
