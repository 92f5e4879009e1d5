#include "host/module_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace orvo {

namespace {

std::vector<std::filesystem::path> ModuleCandidates(const char* file, const char* buildPath) {
  std::vector<std::filesystem::path> paths;
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path folder = program.parent_path();
    paths.push_back(folder / file);
    paths.push_back((folder / ".." / ORVO_MODULE_INSTALL_DIR / file).lexically_normal());
  }
  if (buildPath != nullptr && *buildPath != '\0') paths.emplace_back(buildPath);
  return paths;
}

}  // namespace

ModuleLoad LoadModule(const char* file, const char* entry, int version, const char* buildPath,
                      const std::string& prefix, const std::string& name) {
  ModuleLoad loaded;
  const std::vector<std::filesystem::path> candidates = ModuleCandidates(file, buildPath);
  std::filesystem::path path;
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec)) {
      path = candidate;
      break;
    }
  }
  if (path.empty()) {
    loaded.error = prefix + "cannot find " + name + " " + file + " (looked for";
    for (size_t i = 0; i < candidates.size(); ++i)
      loaded.error += (i == 0 ? " " : ", ") + candidates[i].string();
    loaded.error += ")";
    return loaded;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    loaded.error = prefix + "cannot load " + name + " " + path.string() + " (" +
                   (why != nullptr ? why : "unknown error") + ")";
    return loaded;
  }
  using Entry = const void* (*)();
  const auto function = reinterpret_cast<Entry>(dlsym(handle, entry));
  const void* table = function != nullptr ? function() : nullptr;
  // Every table starts with its version, an int.
  if (table == nullptr || *static_cast<const int*>(table) != version) {
    loaded.error = prefix + name + " " + path.string() + " does not belong to this version of Orvo";
    dlclose(handle);
    return loaded;
  }
  loaded.table = table;
  return loaded;
}

}  // namespace orvo
