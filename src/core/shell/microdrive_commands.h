#pragma once
// The Interface 1's ROM and the Microdrive cartridges as the user handles them: the ROM loaded
// from the ROM folder, cartridges inserted from MDR files, created, and written back to their
// files when they are ejected (through a temporary file renamed over the old one, so a failed
// write never loses the cartridge the user had).
#include <string>

namespace orvo {

class Emulator;

// Loads "IF1.rom", looked for in the ROM folders (RomSearchFolders), when Interface 1 is on and the
// model takes it. A missing file shows message 2 "ROM missing", a length other than 8192 message 3
// "ROM file incorrect length" (both under "Orvo Error"); Interface 1 then stays off. Returns 0
// or 1.
int LoadInterface1Rom(Emulator& emu);
// Loads the ROM when Interface 1 is on and none is loaded yet, and frees it when Interface 1 is
// off; then updates the devices and the menu.
void UpdateInterface1(Emulator& emu);

// Drive numbers are 0..7. Each returns 0, or 1 after a message (under "Orvo File"):
//   131 "Microdrive Error: Cannot read cartridge file"
//   132 "Microdrive Error: Cartridge file is corrupt"
//   133 "Microdrive Error: Cartridge file is read-only"
//   134 "Microdrive Error: Cannot write cartridge file"
// A refused cartridge leaves the drive as it was.
int InsertCartridge(Emulator& emu, int drive, const std::string& path);
// Writes the cartridge back as a full-size MDR file and empties the drive; when the write
// fails the cartridge stays in the drive.
int EjectCartridge(Emulator& emu, int drive);
// Writes a blank, writable cartridge file (any cartridge in the drive is ejected first) and
// inserts it, ready for FORMAT.
int CreateCartridge(Emulator& emu, int drive, const std::string& path);
// Ejects every cartridge (at quit). Returns the number of write-backs that failed.
int EjectAllCartridges(Emulator& emu);
// The protect tab of drive n's cartridge: toggled by the Microdrives window.
void SetCartridgeProtected(Emulator& emu, int drive, bool protect);

}  // namespace orvo
