// SZX snapshots and input recordings through orvo-run, as a user runs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "run_orvo.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

// The last line (the state JSON of --print-state) without the frame counter and the T-state.
std::string StateOf(const std::string& out) {
  std::string line = out.substr(out.rfind("{\"model\""));
  return line.substr(0, line.find(",\"frame_tstate\""));
}

std::string Temp(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("orvo_szx_test_" + name)).string();
}

TEST(SzxRun, EveryModelReloadsToTheSameStateAndRunsOnLikeItsZ80) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(RomDir() / "plus3.rom");
  for (const char* model : {"16", "48", "128", "plus2", "plus2a", "plus3"}) {
    const std::string szx = Temp(std::string(model) + ".szx");
    const std::string z80 = Temp(std::string(model) + ".z80");
    int status = -1;
    const std::string saved = RunOrvo(
        std::string("--model ") + model + " --frames 130 --print-state --save " + szx, &status);
    ASSERT_EQ(status, 0) << saved;
    RunOrvo(std::string("--model ") + model + " --frames 130 --save " + z80, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(StateOf(RunOrvo("--load " + szx + " --print-state", &status)), StateOf(saved))
        << model;
    const std::string fromSzx =
        RunOrvo("--load " + szx + " --frames 100 --screen-text --print-state", &status);
    const std::string fromZ80 =
        RunOrvo("--load " + z80 + " --frames 100 --screen-text --print-state", &status);
    EXPECT_EQ(fromSzx.substr(fromSzx.find("ROM:")), fromZ80.substr(fromZ80.find("ROM:"))) << model;
    std::filesystem::remove(szx);
    std::filesystem::remove(z80);
  }
}

TEST(SzxRun, SharedSnapshotsLoadAndBrokenOnesLeaveNoTrace) {
  const auto zexall = SharedFile("testdata/media/snapshots/zexall2_48k.szx");
  ORVO_REQUIRE_FILE(zexall);
  int status = -1;
  std::string out = RunOrvo("--load " + zexall.string() + " --frames 100 --screen-text", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("instruction exerciser"), std::string::npos) << out;
  const auto boot128 = SharedFile("testdata/media/snapshots/spectron_boot_128k.szx");
  out = RunOrvo("--load " + boot128.string() + " --frames 50 --screen-text", &status);
  EXPECT_NE(out.find("ZX Spectrum 128"), std::string::npos) << out;

  // A page cut short: a message, never "Loaded".
  const std::string broken = Temp("broken.szx");
  auto bytes = ReadWholeFile(zexall);
  bytes.resize(bytes.size() - 10);
  FILE* f = fopen(broken.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  out = RunOrvo("--load " + broken, &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(out.find("Loaded"), std::string::npos) << out;
  EXPECT_NE(out.find("Incorrect BLOCK length"), std::string::npos) << out;
  std::filesystem::remove(broken);
}

TEST(RzxRun, OwnRecordingReplaysTheRolledBackHistory) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const std::string rzx = Temp("rollback.rzx");
  // Points at frames 40, 100 and 160; "PRINT 7" is typed, then thrown away by rolling back at
  // frame 250 to the last point; "BORDER 1" is typed and run instead.
  int status = -1;
  const std::string recorded = RunOrvo(
      "--frames 520 --rollback-at 40 --rollback-at 100 --rollback-at 160 --key 170:P:3"
      " --key 190:7:3 --roll-back 250 --key 300:B:3 --key 330:1:3 --key 360:ENTER:3"
      " --screen-text --print-state --record-rzx " +
          rzx,
      &status);
  ASSERT_EQ(status, 0) << recorded;
  // Rolled back to the point at 160 and on from there: 160 + 270 frames.
  EXPECT_NE(recorded.find("(430 frames)"), std::string::npos) << recorded;
  const std::string played = RunOrvo("--rzx " + rzx + " --screen-text --print-state", &status);
  EXPECT_EQ(status, 0) << played;
  EXPECT_NE(played.find("430 of 430 frames played, mismatch: none"), std::string::npos) << played;
  EXPECT_EQ(StateOf(played), StateOf(recorded));
  // The screens (the text before the state line) are the same too.
  const auto screen = [](const std::string& out, const char* after) {
    const size_t from = out.find('\n', out.find(after)) + 1;
    return out.substr(from, out.rfind("{\"model\"") - from);
  };
  const std::string shown = screen(played, "RZX:");
  EXPECT_NE(shown.find("0 OK, 0:1"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("PRINT"), std::string::npos) << shown;
  EXPECT_EQ(screen(recorded, "Recorded:"), shown);

  // Recording straight after loading a snapshot: its first frame has its interrupt (and the
  // keyboard reads of it) as the replay's has.
  const std::string z80 = Temp("before_recording.z80");
  RunOrvo("--frames 150 --save " + z80, &status);
  RunOrvo("--load " + z80 + " --frames 60 --record-rzx " + rzx, &status);
  EXPECT_NE(RunOrvo("--rzx " + rzx, &status).find("60 of 60 frames played, mismatch: none"),
            std::string::npos);
  std::filesystem::remove(z80);
  std::filesystem::remove(rzx);
}

TEST(RzxRun, RefusesBrokenRecordings) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  const std::string bad = Temp("bad.rzx");
  FILE* f = fopen(bad.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("RZX!\x00\x0c\x00\x00\x00\x00\x80\xff\xff", f);
  fclose(f);
  int status = -1;
  const std::string out = RunOrvo("--rzx " + bad, &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(out.find("Loaded"), std::string::npos) << out;
  std::filesystem::remove(bad);
}

}  // namespace
}  // namespace orvo::test
