#pragma once
// Where tests find their data: the public suites and ROM images in ../shared (ORVO_SHARED, or
// ORVO_TEST_ROMS for the ROM folder alone) and the project's own fixtures in tests/data.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvo::test {

std::filesystem::path SharedDir();  // ../shared
std::filesystem::path RomDir();     // ORVO_TEST_ROMS or ../shared/roms
std::filesystem::path DataDir();    // tests/data
std::filesystem::path BuildDir();   // the build tree (programs, roms/, libs/)
std::filesystem::path SharedFile(const std::string& relative);  // SharedDir() / relative
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
// Runs a shell command and returns its standard output; `status` gets its wait status.
std::string CaptureCommand(const std::string& command, int* status);
// True when the program `name` is on the PATH.
bool ToolOnPath(const std::string& name);

// Missing shared test data (the suites, media and ROM images under SharedDir()) skips a test,
// except when ORVO_REQUIRE_TEST_DATA is set to 1, as CI does: there it is a failure, so a test
// that silently stopped running is noticed.
bool SharedDataRequired();
bool IsSharedPath(const std::filesystem::path& path);

}  // namespace orvo::test

// Ends the current test for missing shared data: skipped, or failed where the data is required.
#define ORVO_MISSING_SHARED_DATA(message)                      \
  do {                                                         \
    if (::orvo::test::SharedDataRequired()) FAIL() << message; \
    GTEST_SKIP() << message;                                   \
  } while (0)

// Ends the current test with a message naming the file when it is absent: skipped, or failed
// for a shared file where shared data is required.
#define ORVO_REQUIRE_FILE(file_path)                                                        \
  do {                                                                                      \
    const std::filesystem::path orvo_required_ = (file_path);                               \
    if (!std::filesystem::exists(orvo_required_)) {                                         \
      if (::orvo::test::SharedDataRequired() && ::orvo::test::IsSharedPath(orvo_required_)) \
        FAIL() << "missing test file: " << orvo_required_.string();                         \
      GTEST_SKIP() << "missing test file: " << orvo_required_.string();                     \
    }                                                                                       \
  } while (0)

// Skips the current test with a message naming the tool when it is not installed.
#define ORVO_REQUIRE_TOOL(tool_name)                                                         \
  do {                                                                                       \
    if (!orvo::test::ToolOnPath(tool_name)) GTEST_SKIP() << "missing tool: " << (tool_name); \
  } while (0)
