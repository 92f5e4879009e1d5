#pragma once
// Where an installed Orvo finds its data and keeps its state, after the XDG base directory
// conventions: the ROM images (the configured folder, beside the program, the user's data folder,
// the installation's share/orvo, the system's data folders), the tape boot snapshots, the recent
// files list and the default folders for snapshots, tapes and downloads.
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

struct Folders;

// $`variable` when it holds an absolute path (a relative one is invalid and ignored), else
// $HOME/`fallback`; "" when neither is known. No trailing separator.
std::string XdgFolder(const char* variable, std::string_view fallback);

// "$XDG_DATA_HOME/orvo" (default ~/.local/share/orvo).
std::string UserDataFolder();
// "$XDG_STATE_HOME/orvo" (default ~/.local/state/orvo).
std::string UserStateFolder();

// The system's data folders each followed by "/orvo": $XDG_DATA_DIRS (colon-separated; relative
// entries are ignored), default "/usr/local/share:/usr/share".
std::vector<std::string> SystemDataFolders();

// The default folder `name` ("roms", "snapshots", "tapes", "downloads") of the Folders options:
// under the user's data folder, or beside the program when no home folder is known. Ends in "/".
std::string DefaultUserFolder(std::string_view programFolder, std::string_view name);

// The installation's data folder for a program in PREFIX/bin: "PREFIX/share/orvo" ("" without a
// program folder).
std::string InstalledDataFolder(std::string_view programFolder);

// The folders every ROM image (the models', the add-ons', a custom ROM named without a folder) is
// looked for in, in order, each ending in "/", without repeats: the configured (current) ROM
// folder, the roms folder beside the program, the user's data folder's roms, the installation's
// share/orvo/roms, then roms in each of the system's data folders.
std::vector<std::string> RomSearchFolders(const Folders& folders);

// The first of `folders` holding a regular file `name`, spelled as given or, failing that, in
// any mix of capitals (a folder is searched both ways before the next); "" when none does.
std::string FindInFolders(const std::vector<std::string>& folders, std::string_view name);

// The detail of a "ROM missing" message: the file's name, then each folder searched on a line
// of its own.
std::string RomMissingDetail(std::string_view name, const std::vector<std::string>& folders);

// The folder of the tape boot snapshots: libs beside the program when it exists, else the
// installation's share/orvo/libs when that exists, else libs beside the program. Ends in "/".
std::string FindLibsFolder(std::string_view programFolder);

}  // namespace orvo
