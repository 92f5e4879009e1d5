// SZX snapshots and input recordings through orvo-run, as a user runs them.
#include <gtest/gtest.h>

#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

// The state JSON without the frame counter and the T-state.
std::string StateOf(const std::string& out) {
  const std::string line = StateLine(out);
  return line.substr(0, line.find(",\"frame_tstate\""));
}

TEST(SzxRun, EveryModelReloadsToTheSameStateAndRunsOnLikeItsZ80) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  const TempDir dir;
  const std::string szx = dir / "s.szx", z80 = dir / "s.z80";
  int status = -1;
  for (const std::string model : {"16", "48", "128", "plus2", "plus2a", "plus3"}) {
    const std::string saved =
        RunOrvo("--model " + model + " --frames 130 --print-state --save " + szx, &status);
    ASSERT_EQ(status, 0) << saved;
    RunOrvo("--model " + model + " --frames 130 --save " + z80, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(StateOf(RunOrvo("--load " + szx + " --print-state", &status)), StateOf(saved))
        << model;
    const std::string fromSzx =
        RunOrvo("--load " + szx + " --frames 100 --screen-text --print-state", &status);
    const std::string fromZ80 =
        RunOrvo("--load " + z80 + " --frames 100 --screen-text --print-state", &status);
    EXPECT_EQ(fromSzx.substr(fromSzx.find("ROM:")), fromZ80.substr(fromZ80.find("ROM:"))) << model;
  }
}

TEST(SzxRun, SharedSnapshotsLoadAndBrokenOnesLeaveNoTrace) {
  const auto zexall = SharedFile("testdata/media/snapshots/zexall2_48k.szx");
  const auto boot128 = SharedFile("testdata/media/snapshots/spectron_boot_128k.szx");
  ORVO_REQUIRE_FILE(zexall);
  ORVO_REQUIRE_FILE(boot128);
  int status = -1;
  std::string out = RunOrvo("--load " + zexall.string() + " --frames 100 --screen-text", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("instruction exerciser"), std::string::npos) << out;
  out = RunOrvo("--load " + boot128.string() + " --frames 50 --screen-text", &status);
  EXPECT_NE(out.find("ZX Spectrum 128"), std::string::npos) << out;

  // A page cut short: a message, never "Loaded".
  const TempDir dir;
  const auto bytes = ReadWholeFile(zexall);
  out = RunOrvo("--load " + dir.Write("broken.szx", std::string(bytes.begin(), bytes.end() - 10)),
                &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(out.find("Loaded"), std::string::npos) << out;
  EXPECT_NE(out.find("Incorrect BLOCK length"), std::string::npos) << out;
  // A recording whose header is cut short is refused the same way.
  out = RunOrvo(
      "--rzx " + dir.Write("bad.rzx", std::string("RZX!\x00\x0c\x00\x00\x00\x00\x80\xff\xff", 13)),
      &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(out.find("Loaded"), std::string::npos) << out;
}

TEST(RzxRun, OwnRecordingReplaysTheRolledBackHistory) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const TempDir dir;
  const std::string rzx = dir / "rollback.rzx";
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
  const std::string z80 = dir / "before_recording.z80";
  RunOrvo("--frames 150 --save " + z80, &status);
  RunOrvo("--load " + z80 + " --frames 60 --record-rzx " + rzx, &status);
  EXPECT_NE(RunOrvo("--rzx " + rzx, &status).find("60 of 60 frames played, mismatch: none"),
            std::string::npos);
}

}  // namespace
}  // namespace orvo::test
