#pragma once
// Putting TR-DOS disks (TRD and SCL images) into the Beta 128's four drives and taking them out.
// A drive holds the disk in memory; what TR-DOS writes changes it there, and it goes back to its
// file (a temporary file renamed over it) when the disk is ejected or replaced, or the program
// ends. An SCL file is a list of files, not a disk: its changes are saved as a TRD file of the
// same name beside it, never over the SCL. A file that cannot be written is mounted
// write-protected.
#include <cstdint>
#include <span>
#include <string>

namespace orvo {

class Emulator;
struct SnapshotRecord;

// The image a name's extension says: true for .trd and .scl (either case).
bool IsBetaDiskName(const std::string& path);
// Reads and inserts an image into drive 0-3 (A: to D:). A file that cannot be read or is not a
// sound image shows why and leaves the drive as it was; returns false then.
bool InsertBetaDiskFile(Emulator& emu, int drive, const std::string& path);
// The same for an image already read; `writeProtect` for one that has no file to go back to.
bool InsertBetaDiskBytes(Emulator& emu, int drive, std::span<const uint8_t> bytes,
                         const std::string& path, bool writeProtect = false);
// Writes a blank TR-DOS disk (formatted, 80 cylinders, two sides, empty catalogue) to `path`.
bool WriteBlankTrd(const std::string& path);
// Saves a changed image back and empties the drive.
void EjectBetaDisk(Emulator& emu, int drive);
// Saves every changed image. False when one could not be written (a message said which).
bool SaveChangedBetaDisks(Emulator& emu);
// A TRD or SCL file opened through the file dispatch (Open file, a drop, the command line, a ZIP
// entry): the machine gets a Beta 128 if it has none (the 48K, 128K and +2 have the interface
// fitted, a setting that stays; the other models change to the Pentagon, for this machine only),
// the disk goes into drive A:, and with "Autoload" or "Disk autoload" on the machine boots into
// TR-DOS and runs the disk's "boot" file. False when the disk could not go in (a message said
// why: the TR-DOS ROM missing, or the image unreadable).
bool OpenBetaDiskBytes(Emulator& emu, std::span<const uint8_t> bytes, const std::string& path,
                       bool writeProtect);
// The File menu's disk commands on a machine with the Beta 128 (drives A: to D:). Insert and
// New show why they failed and return 1 then; New writes a blank TRD to `path` first.
int InsertBetaDiskCommand(Emulator& emu, int drive, const std::string& path);
int NewBetaDiskCommand(Emulator& emu, int drive, const std::string& path);
void EjectBetaDiskCommand(Emulator& emu, int drive);
// The write-protect tab. A disk whose file cannot be written back (read-only, or an entry of an
// archive) stays protected: returns false then.
bool SetBetaWriteProtect(Emulator& emu, int drive, bool on);
// The menu items of the four drives: enabled with the interface fitted, the write-protect
// marks as the drives hold them.
void UpdateBetaDiskMenus(Emulator& emu);

// A snapshot's "BDRV" block names the images its drives held: they go back in (from their files,
// the disks in memory kept where a drive already holds the same one) before the machine's state
// is applied. A name with no file leaves its drive empty.
void InsertSnapshotBetaDisks(Emulator& emu, const SnapshotRecord& record);

// With "Autoload": boots the machine into TR-DOS and runs the disk's "boot" file (RUN at the
// TR-DOS prompt). Returns 0, or 1 when TR-DOS did not come up.
int BootTrdosDisk(Emulator& emu);

}  // namespace orvo
