#pragma once
// The file dispatch: every way of putting a file into the emulator (the "Open file" and "Open
// snapshot" commands, a dropped file, the command line, a ZIP entry) reads the file whole, finds
// its kind by the end of its name and hands the bytes to that kind's loader.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/messages.h"

namespace orvo {

class Emulator;

// Reads a whole file into `out`. Returns kMsgNone, or 8 "File Not Found", 23 (a read error) or
// 4 "Out of memory" (larger than any Spectrum file); `out` is untouched on failure.
MessageId ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Reads `path` whole into emu.files.Loaded. Returns 0, or 1 after message 8 "File Not Found" (it
// cannot be opened or read) or 4 "Out of memory", under `caption`.
int ReadLoadedFile(Emulator& emu, const std::string& path, CaptionId caption);

// Finds the kind of `name` and calls its loader for the bytes in emu.files.Loaded. Returns 0 when
// a kind was matched and handled (whether or not its loader accepted the file: see
// emu.files.LastLoadStatus), 1 when no extension matched (nothing is done, nothing shown).
int DispatchByExtension(Emulator& emu, std::string_view name);

// As DispatchByExtension for a ZIP entry already in emu.files.Loaded: an empty name does nothing;
// an unknown extension shows message 22; a match soft-resets the machine first; only snapshots,
// TZX, TAP and CSW are loaded, and on the +3 disk images (into A:, write-protected); an SZX
// leaves the CPU halted until the next interrupt.
int DispatchZipEntry(Emulator& emu, std::string_view entryName);

// "Open file": the dialog chose `path`. Reads it, hard-resets and dispatches by the file name.
// Returns 0 when a kind was handled, 1 otherwise (unknown kinds are ignored silently).
int OpenFileCommand(Emulator& emu, const std::string& path);
// A file dropped on the window: as "Open file", dispatched by the full path. Folders are ignored.
int LoadFile(Emulator& emu, const std::string& path);
// The file named on the command line: double quotes removed, no reset.
int OpenCommandLineFile(Emulator& emu, std::string_view argument);
// "Open snapshot": snapshot kinds only; an unknown extension shows message 22. Soft reset.
int OpenSnapshotCommand(Emulator& emu, const std::string& path);

// With Autoload on, inserting a tape first loads the model's boot snapshot from the libs folder:
// "tape_48.z80" (16K, 48K, Custom), "tape_128.z80", "tape_plus2.z80" or "tape_plus3.z80" (+2A,
// +3), after a soft reset. Returns 0, or 1 after message 11 "Snapshot Error: Snapshot file
// missing" when the file cannot be read, or the Z80 loader's refusal.
int LoadTapeBootSnapshot(Emulator& emu);

// The file name and extension of `path` ("%s%s" of its name and extension parts).
std::string FileNameOfPath(std::string_view path);

}  // namespace orvo
