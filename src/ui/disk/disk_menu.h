#pragma once
// The disk commands of the File menu ("Insert Disk", "Eject Disk" and "New Disk" for the +3's A:
// and B:, or the Beta 128's A: to D:, and the Beta 128's "Write Protect")
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

// The Beta 128's drives: C: and D:, and the write-protect tab of A: to D:. (A: and B: insert,
// eject and make new disks through the items above, on the Beta 128's drives where it is fitted.)
void InsertDiskC(MainWindow& w);
void InsertDiskD(MainWindow& w);
void EjectDiskC(MainWindow& w);
void EjectDiskD(MainWindow& w);
void NewDiskC(MainWindow& w);
void NewDiskD(MainWindow& w);
void WriteProtectA(MainWindow& w);
void WriteProtectB(MainWindow& w);
void WriteProtectC(MainWindow& w);
void WriteProtectD(MainWindow& w);

// Connects the options sheet's "Disk A:" / "Disk B:" fields and buttons to the drives.
void InstallDiskOptionHooks();

}  // namespace orvo::ui
