#pragma once
// The recent files list: the last ten files opened or saved, newest first, kept apart from
// orvo.ini in $XDG_STATE_HOME/orvo/recent (one absolute path a line).
#include <cstddef>
#include <string>
#include <vector>

namespace orvo {

class RecentFiles {
 public:
  static constexpr size_t kMaxFiles = 10;

  // `storePath` is the list's file; "" keeps the list in memory only.
  explicit RecentFiles(std::string storePath);
  // "$XDG_STATE_HOME/orvo/recent" (default ~/.local/state/orvo/recent); "" without a home.
  static std::string DefaultStorePath();

  // Reads the file (a missing or unreadable file is an empty list; blank lines and lines beyond
  // the tenth are dropped).
  void Load();
  // Puts `path` (made absolute) at the top, dropping an older entry of it and the eleventh file.
  // A path holding a line break cannot be listed and is ignored. Saves the list.
  void Add(const std::string& path);
  // Removes `path`; true when it was listed. Saves the list.
  bool Remove(const std::string& path);
  // Empties the list and saves it.
  void Clear();

  const std::vector<std::string>& Paths() const { return paths_; }
  const std::string& StorePath() const { return storePath_; }
  // False when the last save failed (the list is still kept in memory).
  bool Saved() const { return saved_; }

 private:
  void Save();

  std::string storePath_;
  std::vector<std::string> paths_;
  bool saved_ = true;
};

}  // namespace orvo
