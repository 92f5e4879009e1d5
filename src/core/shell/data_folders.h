#pragma once
// Where an installed Orvo finds its data and keeps its state, after the XDG base directory
// conventions: the ROM images (the configured folder, beside the program, the user's data folder,
// the installation's share/orvo), the tape boot snapshots and the recent files list.
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

// The installation's data folder for a program in PREFIX/bin: "PREFIX/share/orvo" ("" without a
// program folder).
std::string InstalledDataFolder(std::string_view programFolder);

// The folders the ROM images are looked for in, in order, each ending in "/", without repeats:
// the configured (current) ROM folder, the roms folder beside the program, the user's data
// folder's roms, the installation's share/orvo/roms.
std::vector<std::string> RomSearchFolders(const Folders& folders);

// The first of `folders` holding a regular file `name`; "" when none does.
std::string FindInFolders(const std::vector<std::string>& folders, std::string_view name);

// The folder of the tape boot snapshots: libs beside the program when it exists, else the
// installation's share/orvo/libs when that exists, else libs beside the program. Ends in "/".
std::string FindLibsFolder(std::string_view programFolder);

}  // namespace orvo
