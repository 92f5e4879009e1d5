#include "shell/data_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "shell/emulator.h"

namespace orvo {

namespace fs = std::filesystem;

namespace {

std::string WithoutTrailingSlashes(std::string_view path) {
  std::string out(path);
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string WithSlash(std::string_view folder) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  return out;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string XdgFolder(const char* variable, std::string_view fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return WithoutTrailingSlashes(value);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return WithoutTrailingSlashes(home) + "/" + std::string(fallback);
}

std::string UserDataFolder() {
  const std::string base = XdgFolder("XDG_DATA_HOME", ".local/share");
  return base.empty() ? std::string() : base + "/orvo";
}

std::string UserStateFolder() {
  const std::string base = XdgFolder("XDG_STATE_HOME", ".local/state");
  return base.empty() ? std::string() : base + "/orvo";
}

std::vector<std::string> SystemDataFolders() {
  const char* value = std::getenv("XDG_DATA_DIRS");
  const std::string_view dirs =
      value != nullptr && value[0] != '\0' ? value : "/usr/local/share:/usr/share";
  std::vector<std::string> out;
  size_t from = 0;
  while (from <= dirs.size()) {
    size_t to = dirs.find(':', from);
    if (to == std::string_view::npos) to = dirs.size();
    const std::string_view dir = dirs.substr(from, to - from);
    if (!dir.empty() && dir[0] == '/') out.push_back(WithoutTrailingSlashes(dir) + "/orvo");
    from = to + 1;
  }
  return out;
}

std::string DefaultUserFolder(std::string_view programFolder, std::string_view name) {
  const std::string data = UserDataFolder();
  if (!data.empty()) return data + "/" + std::string(name) + "/";
  const std::string program = WithoutTrailingSlashes(programFolder);
  return (program == "/" ? std::string() : program) + "/" + std::string(name) + "/";
}

std::string InstalledDataFolder(std::string_view programFolder) {
  if (programFolder.empty()) return {};
  // PREFIX/bin/.. is PREFIX; spelled out so the folder reads well in messages.
  const fs::path prefix = fs::path(WithoutTrailingSlashes(programFolder)).parent_path();
  return (prefix / "share" / "orvo").string();
}

std::vector<std::string> RomSearchFolders(const Folders& folders) {
  std::vector<std::string> out;
  auto add = [&out](const std::string& folder) {
    if (folder.empty()) return;
    const std::string f = WithSlash(folder);
    for (const std::string& seen : out) {
      if (seen == f) return;
    }
    out.push_back(f);
  };
  add(folders.CurrentRomDir);
  add(folders.RomsFolder);
  if (const std::string data = UserDataFolder(); !data.empty()) add(data + "/roms");
  if (const std::string installed = InstalledDataFolder(folders.ProgramFolder); !installed.empty())
    add(installed + "/roms");
  for (const std::string& system : SystemDataFolders()) add(system + "/roms");
  return out;
}

std::string FindInFolders(const std::vector<std::string>& folders, std::string_view name) {
  if (name.empty()) return {};
  for (const std::string& folder : folders) {
    const fs::path path = fs::path(folder) / name;
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) return path.string();
    // "48K.ROM" from an old disk or another program stands for "48k.rom".
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (SameIgnoringCase(it->path().filename().string(), name) &&
          fs::is_regular_file(it->path(), ec))
        return it->path().string();
    }
  }
  return {};
}

std::string RomMissingDetail(std::string_view name, const std::vector<std::string>& folders) {
  std::string detail(name);
  for (const std::string& folder : folders) detail += "\n" + folder;
  return detail;
}

std::string FindLibsFolder(std::string_view programFolder) {
  const std::string program = WithoutTrailingSlashes(programFolder);
  const std::string beside = (program == "/" ? std::string() : program) + "/libs";
  if (IsFolder(beside)) return beside + "/";
  const std::string installed = InstalledDataFolder(programFolder);
  if (!installed.empty() && IsFolder(installed + "/libs")) return installed + "/libs/";
  return beside + "/";
}

}  // namespace orvo
