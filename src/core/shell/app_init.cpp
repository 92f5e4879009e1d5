#include "shell/app_init.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "formats/file_io.h"
#include "machine/keyboard.h"
#include "shell/config.h"
#include "shell/data_folders.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/recent_files.h"

namespace orvo {

namespace {

std::string WithoutTrailingSlashes(std::string_view path) {
  std::string out(path);
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return FolderOfPath(exe.string());
}

std::string DefaultConfigFolder() {
  const std::string base = XdgFolder("XDG_CONFIG_HOME", ".config");
  return base.empty() ? std::string() : base + "/Orvo";
}

std::string FolderOfPath(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

bool SetUpFolders(Emulator& emu, std::string_view programFolder, std::string_view configFolder) {
  Folders& f = emu.folders;
  f.ProgramFolder = WithoutTrailingSlashes(programFolder.empty() ? "." : programFolder);
  const std::string base = f.ProgramFolder == "/" ? std::string() : f.ProgramFolder;
  f.RomsFolder = base + "/roms/";
  f.LibsFolder = FindLibsFolder(f.ProgramFolder);
  f.CurrentRomDir = f.RomsFolder;
  f.ConfigFolder = WithoutTrailingSlashes(configFolder);
  if (f.ConfigFolder.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(f.ConfigFolder, ec);
  return !ec && std::filesystem::is_directory(f.ConfigFolder, ec);
}

void ResetRunState(Emulator& emu) {
  MachineState& m = emu.m;
  m.FrameTState = 0;
  m.Paused = 0;
  m.FullSpeed = 0;
  m.FramesThisSecond = 0;
  m.TapePlaying = 0;
  m.FocusPaused = 0;
  m.NmiRequest = 0;
  m.FrameSkipCountdown = 1;
  m.LastFrameTimeNs = 0;
  m.cpu.Q = 0;
  ReleaseAllKeys(m);
}

void RemoveInterruptedSaves(const Emulator& emu) {
  std::vector<std::string> folders = {"."};
  if (!emu.folders.ConfigFolder.empty()) {
    folders.push_back(emu.folders.ConfigFolder);
    folders.push_back(FolderOfPath(SaveTargetOf(ConfigFilePath(emu))));
  }
  RecentFiles recent(RecentFiles::DefaultStorePath());
  recent.Load();
  for (const std::string& path : recent.Paths())
    folders.push_back(FolderOfPath(SaveTargetOf(path)));
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  for (const std::string& folder : folders) RemoveStaleSaveFiles(folder, true);
}

void InitApplication(Emulator& emu, bool loadConfig) {
  ResetRunState(emu);
  if (loadConfig) RemoveInterruptedSaves(emu);
  if (loadConfig) {
    // Whether the file is read or replaced by defaults, this sets the chosen model up and
    // hard-resets it.
    LoadConfig(emu);
  } else {
    SetUpMachine(emu);
    ResetMachine(emu, true);
  }
}

void ChooseStartModel(Emulator& emu, int model) {
  Settings& s = emu.settings;
  s.ModelType = model;
  s.CustomRom = 0;
  if (model == kModel128K) s.KeyboardIssue = 1;
  emu.m.MachineModel = static_cast<uint8_t>(model);
  SetUpMachine(emu);
  SetRomFileNameFromModel(emu);
  ResetMachine(emu, true);
}

std::string RemoveQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '"') out.push_back(c);
  }
  return out;
}

std::string CommandLinePath(int argc, const char* const* argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined.push_back(' ');
    joined += argv[i];
  }
  return RemoveQuotes(joined);
}

}  // namespace orvo
