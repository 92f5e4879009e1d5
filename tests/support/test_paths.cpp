#include "support/test_paths.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace orvo::test {

namespace {
std::filesystem::path FromEnv(const char* name, const std::filesystem::path& fallback) {
  const char* value = std::getenv(name);
  if (value != nullptr && *value != '\0') return value;
  return fallback;
}
}  // namespace

std::filesystem::path SharedDir() {
  return FromEnv("ORVO_SHARED", std::filesystem::path(ORVO_SOURCE_DIR) / ".." / "shared");
}
std::filesystem::path RomDir() {
  return FromEnv("ORVO_TEST_ROMS", SharedDir() / "roms");
}
std::filesystem::path DataDir() {
  return FromEnv("ORVO_TEST_DATA", std::filesystem::path(ORVO_SOURCE_DIR) / "tests" / "data");
}
std::filesystem::path BuildDir() {
  return FromEnv("ORVO_BUILD_DIR", ORVO_BINARY_DIR);
}
std::filesystem::path SharedFile(const std::string& relative) {
  return SharedDir() / relative;
}

bool SharedDataRequired() {
  const char* value = std::getenv("ORVO_REQUIRE_TEST_DATA");
  return value != nullptr && std::string(value) == "1";
}

bool IsSharedPath(const std::filesystem::path& path) {
  const std::filesystem::path shared = std::filesystem::weakly_canonical(SharedDir());
  const std::filesystem::path full = std::filesystem::weakly_canonical(path);
  const auto [end, rest] = std::mismatch(shared.begin(), shared.end(), full.begin(), full.end());
  (void)rest;
  return end == shared.end();
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CaptureCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  *status = pclose(pipe);
  return out;
}

bool ToolOnPath(const std::string& name) {
  int status = -1;
  CaptureCommand("command -v '" + name + "' >/dev/null 2>&1", &status);
  return status == 0;
}

}  // namespace orvo::test
