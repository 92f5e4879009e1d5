#pragma once
// Runs orvo-run from the build tree with the shared ROM folder, as the whole-machine tests do, in
// a folder of the test's own.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace orvo::test {

// orvo-run with `arguments` (after --rom-dir), standard error folded into the output.
inline std::string RunOrvo(const std::string& arguments, int* status,
                           const std::filesystem::path& romDir = RomDir()) {
  return CaptureCommand((BuildDir() / "orvo-run").string() + " --rom-dir " + romDir.string() + " " +
                            arguments + " 2>&1",
                        status);
}

// The state JSON line --print-state writes last, or "" when there is none.
inline std::string StateLine(const std::string& out) {
  const size_t at = out.rfind("{\"model\"");
  return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

// Runs the shell `script` under a fresh Xvfb (640 x 480) until it prints SAME, three times at
// the most: two servers started at once by `xvfb-run -a` can take the same display number, and
// the loser's clients fail at once. Returns the last run's output.
inline std::string RunUnderXvfbUntilSame(const std::string& script) {
  std::string out;
  int status = -1;
  for (int attempt = 0; attempt < 3 && out.find("SAME") == std::string::npos; ++attempt)
    out = CaptureCommand(
        "SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 640x480x24' sh -c '" + script + "' 2>&1",
        &status);
  return out;
}

// That state line without the frame counter and the T-state, to compare runs that reach the
// same machine by different paths.
inline std::string StateOf(const std::string& out) {
  const std::string line = StateLine(out);
  return line.substr(0, line.find(",\"frame_tstate\""));
}

// orvo-run as on a machine where no ROM is installed: a copy of it alone in `dir`/bin, with the
// user's and the system's data folders inside `dir` too, so that only `romDir` holds ROMs.
inline std::string RunOrvoAlone(const TempDir& dir, const std::string& arguments, int* status,
                                const std::filesystem::path& romDir) {
  const std::filesystem::path bin = dir.path / "bin";
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(BuildDir() / "orvo-run", bin / "orvo-run",
                             std::filesystem::copy_options::skip_existing);
  return CaptureCommand("env XDG_DATA_HOME=" + (dir / "data") + " XDG_DATA_DIRS=" + (dir / "sys") +
                            " " + (bin / "orvo-run").string() + " --rom-dir " + romDir.string() +
                            " " + arguments + " 2>&1",
                        status);
}

// Skips (or fails, see ORVO_REQUIRE_FILE) without orvo-run or the ROM file `rom`.
#define ORVO_REQUIRE_RUNNER(rom)                \
  do {                                          \
    ORVO_REQUIRE_FILE(BuildDir() / "orvo-run"); \
    ORVO_REQUIRE_FILE(RomDir() / (rom));        \
  } while (0)

}  // namespace orvo::test
