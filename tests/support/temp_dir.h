#pragma once
// A scratch folder for a test's files.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace orvo::test {

// A fresh folder, unique to the process and the test, removed with everything in it at the end.
struct TempDir {
  TempDir() {
    static std::atomic<int> counter{0};
    path = std::filesystem::temp_directory_path() /
           ("orvo-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  // Writes `bytes` to the file `name` in the folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
    return *this / name;
  }
  std::filesystem::path path;
};

}  // namespace orvo::test
