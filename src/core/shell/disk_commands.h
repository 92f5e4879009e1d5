#pragma once
// Putting disk images into the +3's drives and taking them out. A drive holds the image in
// memory; what the +3 writes changes it there, and it goes back to its file (a temporary file
// renamed over it) when the disk is ejected, replaced or the program ends. A file that cannot be
// written is mounted write-protected.
#include <cstdint>
#include <span>
#include <string>

namespace orvo {

class Emulator;

// The boot snapshot "Disk autoload" loads from the libs folder: the +3 at its menu, on the
// "Loader" entry. (A version 3 Z80 for now; the name is all that changes for another format.)
inline constexpr const char* kDiskBootSnapshotName = "disk_plus3.z80";

// Reads and inserts an image. A file that cannot be read or is not a sound DSK shows why and
// leaves the drive empty; returns false then.
bool InsertDiskFile(Emulator& emu, int drive, const std::string& path);
// The same for an image already read (the file dispatch, ZIP entries). `path` is the file it
// is saved back to, unless `writeProtect` (an archive's entry) or the file is read-only.
bool InsertDiskBytes(Emulator& emu, int drive, std::span<const uint8_t> bytes,
                     const std::string& path, bool writeProtect = false);

// "Insert Disk" (drive 0 = A:, 1 = B:): the dialog chose `path`. The old disk is ejected; an
// unknown extension shows message 22; with "Disk autoload" on the +3 first boots to its Loader.
// Returns 0 when the disk went in.
int InsertDiskCommand(Emulator& emu, int drive, const std::string& path);
// Writes a blank disk (40 cylinders, one side, nothing formatted: a new disk out of its sleeve) to
// `path` through a temporary file renamed over it. False when it cannot be written.
bool WriteBlankDisk(const std::string& path);
// "New Disk" (drive 0 = A:, 1 = B:): writes a blank disk to `path` and puts it into the drive,
// ready for FORMAT. A file that cannot be written shows message 147 with its name and leaves the
// drive as it was. Returns 0 when the disk went in.
int NewDiskCommand(Emulator& emu, int drive, const std::string& path);
// "Eject Disk": saves a changed image back to its file and empties the drive.
void EjectDiskCommand(Emulator& emu, int drive);
// Saves every changed image (at quit). Returns false when one could not be written (a message
// said which).
bool SaveChangedDisks(Emulator& emu);

// Loads kDiskBootSnapshotName from the libs folder (or, when it is missing, boots the +3 to its
// menu from a reset) and types ENTER, which starts the Loader: it reads the disk as soon as one
// is in. Returns 0, or 1 when neither worked.
int LoadDiskBootSnapshot(Emulator& emu);
// From a reset: runs until the +3 menu waits for a key (the boot snapshot's state). False when
// that does not happen within `frameLimit` frames.
bool BootToDiskLoader(Emulator& emu, uint32_t frameLimit = 1500);

}  // namespace orvo
