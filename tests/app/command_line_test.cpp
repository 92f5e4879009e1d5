// The two programs' command lines as a Unix user types them: values joined with "=", a file named
// without an option, status lines apart from the output asked for, errors that name the file and
// the reason, and no display needed (or a one-line message when one is).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

int ExitCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// With no display to be found, whatever the session had.
const char kNoDisplay[] = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

TEST(CommandLine, ValuesJoinedWithEqualsAndAFileWithoutAnOption) {
  ORVO_REQUIRE_RUNNER("128k.rom");
  const fs::path tap = SharedFile("testdata/media/tap/zasm_hello_world.tap");
  const fs::path z80 = SharedFile("testdata/media/snapshots/aquaplane_v2_48k.z80");
  ORVO_REQUIRE_FILE(tap);
  ORVO_REQUIRE_FILE(z80);
  int status = -1;
  const std::string joined = RunOrvo("--model=128 --frames=60 --print-state", &status);
  EXPECT_EQ(status, 0) << joined;
  const std::string spaced = RunOrvo("--model 128 --frames 60 --print-state", &status);
  EXPECT_NE(StateLine(joined), "");
  EXPECT_EQ(StateLine(joined), StateLine(spaced));
  // A key whose value holds "=" keeps it; an option that takes no value refuses one.
  EXPECT_NE(StateLine(RunOrvo("--set=ULAplus=1 --print-state", &status)), "");
  EXPECT_EQ(status, 0);
  std::string out = RunOrvo("--realtime=1 --frames 1", &status);
  EXPECT_EQ(ExitCode(status), 2);
  EXPECT_NE(out.find("--realtime takes no value"), std::string::npos) << out;

  // A snapshot and a tape named on their own, as --load opens them.
  out = RunOrvo(z80.string() + " --frames 1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Loaded: "), std::string::npos) << out;
  out = RunOrvo("--frames 1 " + tap.string(), &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Tape: " + tap.string() + " ("), std::string::npos) << out;
  // One file at a time; after "--" a name starting with "-" is a file.
  out = RunOrvo(z80.string() + " " + tap.string(), &status);
  EXPECT_EQ(ExitCode(status), 2);
  EXPECT_NE(out.find("one file at a time"), std::string::npos) << out;
  const TempDir dir;
  fs::copy_file(tap, dir.path / "-odd.tap");
  out = CaptureCommand("cd " + dir.path.string() + " && " + (BuildDir() / "orvo-run").string() +
                           " --rom-dir " + RomDir().string() + " -- -odd.tap 2>&1",
                       &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Tape: -odd.tap ("), std::string::npos) << out;
}

TEST(CommandLine, StandardOutputCarriesOnlyWhatWasAskedFor) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const fs::path z80 = SharedFile("testdata/media/snapshots/aquaplane_v2_48k.z80");
  ORVO_REQUIRE_FILE(z80);
  const std::string runner =
      (BuildDir() / "orvo-run").string() + " --rom-dir " + RomDir().string() + " ";
  int status = -1;
  if (ToolOnPath("python3")) {
    const std::string json =
        CaptureCommand(runner + "--load " + z80.string() +
                           " --frames 5 --print-state 2>/dev/null | " + "python3 -m json.tool",
                       &status);
    EXPECT_EQ(status, 0) << json;
    EXPECT_NE(json.find("\"frames\": 5"), std::string::npos) << json;
  }
  // The screen's 24 lines and nothing else; the status lines went to standard error.
  const std::string screen =
      CaptureCommand(runner + z80.string() + " --frames 5 --screen-text 2>/dev/null", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Lines(screen), 24u) << screen;
  const std::string status_lines =
      CaptureCommand(runner + z80.string() + " --frames 5 --screen-text 2>&1 >/dev/null", &status);
  EXPECT_NE(status_lines.find("Model: "), std::string::npos) << status_lines;
  EXPECT_NE(status_lines.find("Loaded: "), std::string::npos) << status_lines;
}

TEST(CommandLine, AFileThatCannotBeReadIsNamedWithTheReason) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const TempDir dir;
  int status = -1;
  std::string out = RunOrvo("--load " + dir / "none.z80", &status);
  EXPECT_EQ(ExitCode(status), 1);
  EXPECT_EQ(out, "orvo-run: " + dir / "none.z80" + ": No such file or directory\n");
  fs::create_directory(dir.path / "folder.tzx");
  out = RunOrvo("--tape " + dir / "folder.tzx", &status);
  EXPECT_EQ(ExitCode(status), 1);
  EXPECT_EQ(out, "orvo-run: " + dir / "folder.tzx" + ": Is a directory\n");
}

TEST(CommandLine, WithoutADisplay) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const std::string runner =
      kNoDisplay + (BuildDir() / "orvo-run").string() + " --rom-dir " + RomDir().string() + " ";
  int status = -1;
  // The runner needs none, unless the picture goes through the shaders.
  std::string out = CaptureCommand(runner + "--frames 5 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  out = CaptureCommand(runner + "--frames 5 --shader 4 2>&1", &status);
  EXPECT_EQ(ExitCode(status), 1) << out;
  EXPECT_EQ(out,
            "orvo-run: --shader needs a display: no display (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set)\n");

  const fs::path window = BuildDir() / "orvo";
  if (!fs::exists(window)) GTEST_SKIP() << "no window program built";
  const std::string orvo = kNoDisplay + window.string();
  // Help and version need no display; a bad option is refused before one is looked for.
  EXPECT_NE(CaptureCommand(orvo + " --help", &status).find("--fullscreen"), std::string::npos);
  EXPECT_EQ(status, 0);
  CaptureCommand(orvo + " --fullscreen --version", &status);
  EXPECT_EQ(status, 0);
  for (const char* bad : {" --bogus", " --model 7", " --model", " --help=x"}) {
    out = CaptureCommand(orvo + bad + " 2>&1", &status);
    EXPECT_EQ(ExitCode(status), 2) << bad;
    EXPECT_EQ(Lines(out), 1u) << out;
  }
  // No display at all, and one that is named but cannot be reached: one line, exit status 1.
  out = CaptureCommand(orvo + " 2>&1", &status);
  EXPECT_EQ(ExitCode(status), 1) << out;
  EXPECT_EQ(out,
            "orvo: cannot open the window: no display (neither DISPLAY nor WAYLAND_DISPLAY "
            "is set)\n");
  out = CaptureCommand(
      "env -u WAYLAND_DISPLAY DISPLAY=:97 QT_QPA_PLATFORM=xcb " + window.string() + " 2>&1",
      &status);
  EXPECT_EQ(ExitCode(status), 1) << out;
  EXPECT_EQ(Lines(out), 1u) << out;
  EXPECT_NE(out.find("orvo: cannot connect to the display (DISPLAY=:97"), std::string::npos) << out;
}

}  // namespace
}  // namespace orvo::test
