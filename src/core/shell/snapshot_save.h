#pragma once
// Saving snapshots: the writer is chosen by the dialog's file type or by the file's extension.
// Every writer builds the whole file in memory; it is written to a temporary file beside the
// target and renamed over it, so a save that fails never destroys the old file.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/extension_table.h"

namespace orvo {

class Emulator;

// Writes `bytes` to `path` through a temporary file in the same folder renamed over it. Returns
// false (and leaves any old file as it was) when any step fails.
bool WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes);

// The SZX file of the running machine (the same bytes a saved .szx holds; input recordings and
// their rollback points embed it).
std::vector<uint8_t> BuildSZX(const Emulator& emu);

// The file of writer kind `kind` for the current machine; false when there is no writer for it.
bool BuildSnapshotFile(const Emulator& emu, FileKind kind, std::vector<uint8_t>& out);

// Results of the savers.
constexpr int kSaved = 0;
constexpr int kSaveFailed = 1;    // nothing written; a message said why
constexpr int kSaveNoWriter = 2;  // this kind has no writer (yet): nothing written

// Saves the machine to `path` with the writer of `kind`. A failed write, a kind with no writer, or
// a 48K SNA that cannot hold PC (the stack is in ROM), shows message 148 "Snapshot Error: Cannot
// save snapshot file" under "Orvo File" and writes nothing; SNX, SP, SEM, SNP and SIT from a
// model other than the 16K and 48K show message 17 under "Orvo Options" and write nothing.
int SaveSnapshotKind(Emulator& emu, const std::string& path, FileKind kind);

// Saves by the extension of `path` (the characters after the last dot: "sna"/"SNA", "z80"/"Z80",
// ...). An unknown extension shows message 191 under "Orvo File".
int SaveSnapshot(Emulator& emu, const std::string& path);

// The extension the "Save snapshot" dialog's filter `filter` (1-based, as the dialog numbers its
// filters) writes, with its dot; empty for the filters that write nothing (1 "All supported
// snapshots", 10 ZXS, 11 "All files").
std::string_view SaveFilterExtension(int filter);

// "Save snapshot": the dialog returned `chosenPath` with filter `filter`. The file is written in
// the chosen folder under the chosen title cut at its last dot (the cut title becomes
// CurrentFileTitle) with the filter's extension: saving "game.z80" as SNA writes "game.sna".
// With "All supported snapshots" or "All files" the typed extension picks the writer (".z80" is
// added when there is none; an extension no writer has shows message 191); the ZXS filter shows
// message 192. `written` receives the path written. Returns kSaved, kSaveFailed or kSaveNoWriter;
// anything but kSaved has shown why.
int SaveSnapshotCommand(Emulator& emu, const std::string& chosenPath, int filter,
                        std::string* written = nullptr);

}  // namespace orvo
