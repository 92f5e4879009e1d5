#include "shell/recent_files.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "formats/file_io.h"
#include "shell/data_folders.h"
#include "shell/snapshot_save.h"

namespace orvo {

namespace fs = std::filesystem;

RecentFiles::RecentFiles(std::string storePath) : storePath_(std::move(storePath)) {}

std::string RecentFiles::DefaultStorePath() {
  const std::string folder = UserStateFolder();
  return folder.empty() ? std::string() : folder + "/recent";
}

void RecentFiles::Load() {
  paths_.clear();
  if (storePath_.empty()) return;
  std::string text;
  if (ReadRegularText(storePath_, text, 1u << 20) != ReadFailure::None) return;
  std::istringstream in(text);
  for (std::string line; paths_.size() < kMaxFiles && std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || std::find(paths_.begin(), paths_.end(), line) != paths_.end()) continue;
    paths_.push_back(line);
  }
}

void RecentFiles::Add(const std::string& path) {
  if (path.empty() || path.find_first_of("\r\n") != std::string::npos) return;
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  const std::string entry = ec ? path : absolute.lexically_normal().string();
  paths_.erase(std::remove(paths_.begin(), paths_.end(), entry), paths_.end());
  paths_.insert(paths_.begin(), entry);
  if (paths_.size() > kMaxFiles) paths_.resize(kMaxFiles);
  Save();
}

bool RecentFiles::Remove(const std::string& path) {
  const auto it = std::find(paths_.begin(), paths_.end(), path);
  if (it == paths_.end()) return false;
  paths_.erase(it);
  Save();
  return true;
}

void RecentFiles::Clear() {
  paths_.clear();
  Save();
}

void RecentFiles::Save() {
  if (storePath_.empty()) return;
  std::string text;
  for (const std::string& p : paths_) {
    text += p;
    text += '\n';
  }
  std::error_code ec;
  fs::create_directories(fs::path(storePath_).parent_path(), ec);
  saved_ = WriteFileReplacing(
      storePath_,
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace orvo
