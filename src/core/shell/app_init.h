#pragma once
// Start-up shared by the window and the headless runner: the program's folders, the counters and
// flags of the frame loop, the configuration and the first machine set-up.
#include <string>
#include <string_view>

namespace orvo {

class Emulator;

// The folder holding the running program (read from /proc/self/exe), without a trailing "/".
// Empty when it cannot be found.
std::string ExecutableFolder();

// "$XDG_CONFIG_HOME/Orvo" when XDG_CONFIG_HOME is set to an absolute path, otherwise
// "$HOME/.config/Orvo". Empty when neither can be found.
std::string DefaultConfigFolder();

// The folder part of a program path: everything before its last "/" ("." when there is none).
std::string FolderOfPath(std::string_view path);

// Fills emu.folders: ProgramFolder (trailing separators removed), RomsFolder and LibsFolder
// (ending in "/"), ConfigFolder, and the current ROM folder := RomsFolder. Creates the
// ConfigFolder tree when it is missing; returns false when it cannot be created (the program
// runs on: saving the configuration reports its own failure later).
bool SetUpFolders(Emulator& emu, std::string_view programFolder, std::string_view configFolder);

// The counters and flags of the frame loop at start-up: FrameTState, Paused, FullSpeed,
// FramesThisSecond, TapePlaying, FocusPaused, NmiRequest 0; FrameSkipCountdown 1; the throttle's
// last frame time forgotten; the core's Q flag cleared; every key of the matrix released.
void ResetRunState(Emulator& emu);

// The core part of start-up, after the folders: run state, then orvo.ini from the ConfigFolder
// (LoadConfig: defaults and a new file when it is missing or corrupt), which sets the chosen
// model up and hard-resets it. Without `loadConfig` the live settings are kept as they are and
// the model is set up and hard-reset directly (the headless runner, tests).
void InitApplication(Emulator& emu, bool loadConfig = true);

// Removes what saves cut short by a crash or a kill left behind (their temporary files) from the
// folders this program saves into: the configuration folder and the folder its orvo.ini really
// lives in, the folders of the recent files, and the current folder.
void RemoveInterruptedSaves(const Emulator& emu);

// A model named on the command line: the settings take it as the options' model choice does (the
// 128K with its keyboard issue), and the machine is set up and hard-reset as that model.
void ChooseStartModel(Emulator& emu, int model);

// The command line as one path: the arguments joined with single blanks and every double-quote
// character removed ("" when there are none).
std::string CommandLinePath(int argc, const char* const* argv);
std::string RemoveQuotes(std::string_view text);

}  // namespace orvo
