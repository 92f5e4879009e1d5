// Input recordings across emulators: Orvo's own recordings replay in Orvo on every model, also
// once libspectrum's rzxtool has rewritten them (another creator, uncompressed), and in Fuse,
// run as a black box: its picture at the end of the replay must show what Orvo's shows.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

// --key options typing `text` from `frame` on, a key every 10 frames ('#' is ENTER).
std::string Keys(long frame, const std::string& text) {
  std::string out;
  for (const char c : text) {
    const std::string key = c == ' '   ? "SPACE"
                            : c == '#' ? "ENTER"
                            : c == ':' ? "SS+Z"
                            : c == ';' ? "SS+O"
                            : c == ',' ? "SS+N"
                                       : std::string(1, static_cast<char>(std::toupper(c)));
    out += " --key " + std::to_string(frame) + ":" + key + ":2";
    frame += 10;
  }
  return out;
}

std::string Played(int frames) {
  const std::string n = std::to_string(frames);
  return n + " of " + n + " frames played, mismatch: none";
}

// Every model records keys, a tape loading through the ROM (traps and fast loading asked for,
// which a recording sets aside) and a rollback; the recording and its rzxtool rewrite replay to
// their end. The 128K menu's ENTER lands an interrupt a few instructions into a frame, which
// every player has to take at the frame's start.
TEST(RzxInterop, EveryModelsRecordingReplaysHereAndRewrittenByRzxtool) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  const auto tape = SharedFile("testdata/media/tap/zasm_hello_world.tap");
  ORVO_REQUIRE_FILE(tape);
  const bool rzxtool = ToolOnPath("rzxtool");
  const TempDir dir;
  int status = -1;
  for (const std::string model : {"16", "48", "128", "plus2", "plus2a", "plus3"}) {
    const bool is48 = model == "16" || model == "48";
    const std::string keys =
        is48 ? "--key 100:J:3 --key 110:SS+P:3 --key 120:SS+P:3 --key 130:ENTER:3"
             : "--key 100:ENTER:3";
    const std::string rzx = dir / (model + ".rzx"), rewritten = dir / (model + "-u.rzx");
    std::string out =
        RunOrvo("--model " + model + " --tape " + tape.string() + " --traps --fastload " + keys +
                    " --rollback-at 200 --roll-back 260 --frames 900 --record-rzx " + rzx,
                &status);
    ASSERT_EQ(status, 0) << model << out;
    EXPECT_NE(RunOrvo("--rzx " + rzx, &status).find(Played(840)), std::string::npos) << model;
    // libspectrum's tools fail on any 16K snapshot they write back (their own ones too).
    if (!rzxtool || model == "16") continue;
    CaptureCommand("rzxtool -u " + rzx + " " + rewritten + " 2>&1", &status);
    ASSERT_EQ(status, 0) << model;
    out = RunOrvo("--rzx " + rewritten, &status);
    EXPECT_NE(out.find(Played(840)), std::string::npos) << model << out;
  }
  if (!rzxtool) GTEST_SKIP() << "missing tool: rzxtool (the rewritten recordings)";
}

// Fuse replays Orvo's recordings: a RANDOMIZE (the seed is the frame counter, so one interrupt
// more or less changes it) and a PRINT RND typed with keys near the end; Fuse's picture must
// show the same number on the same text line as Orvo's replay. Fuse runs under Xvfb and its
// window is read with ImageMagick, both as 1-bit pictures of that line.
struct FuseCase {
  const char* model;
  const char* fuseMachine;
  const char* keys;
  int frames;
  int row;  // the text line the number is printed on
};

class RzxInFuse : public testing::TestWithParam<FuseCase> {};

TEST_P(RzxInFuse, ReplaysOrvosRecordingToItsEnd) {
  const FuseCase& c = GetParam();
  for (const char* tool : {"fuse-sdl", "xvfb-run", "import", "convert"}) ORVO_REQUIRE_TOOL(tool);
  ORVO_REQUIRE_RUNNER("plus3.rom");
  const TempDir dir;
  const std::string rzx = dir / "r.rzx", png = dir / "orvo.png", line = dir / "orvo.pbm";
  int status = -1;
  std::string out = RunOrvo(std::string("--model ") + c.model + " " + c.keys + " --frames " +
                                std::to_string(c.frames) + " --record-rzx " + rzx,
                            &status);
  ASSERT_EQ(status, 0) << out;
  out = RunOrvo("--rzx " + rzx + " --no-border --save-screen " + png, &status);
  ASSERT_NE(out.find(Played(c.frames)), std::string::npos) << out;
  const std::string y = std::to_string(c.row * 8);
  const std::string mono = " -colorspace gray -threshold 50% ";
  CaptureCommand("convert " + png + " -crop 256x8+0+" + y + mono + line, &status);
  ASSERT_EQ(status, 0);
  // The number is there: the line is not all paper.
  ASSERT_NE(CaptureCommand("convert " + line + " -format '%[fx:mean]' info:", &status), "1");

  const std::string r = RomDir().string() + "/";
  std::string roms =
      " --rom-48 " + r + "48.rom --rom-128-0 " + r + "128-0.rom --rom-128-1 " + r + "128-1.rom";
  for (int i = 0; i < 4; ++i) {
    roms += " --rom-plus3-" + std::to_string(i) + " " + r + "plus3-" + std::to_string(i) + ".rom";
  }
  // Fuse keeps running after the replay; its window (320 x 240, the display at 32,24) is read
  // every second until the line shows or half a minute has passed. Now and then Fuse gives up
  // initialising under a fresh Xvfb: it is started again, up to three times.
  const std::string shot = dir / "fuse.png", fuseLine = dir / "fuse.pbm", log = dir / "fuse.log";
  const std::string script =
      std::string("for try in 1 2 3; do fuse-sdl --no-sound --speed 10000 --machine ") +
      c.fuseMachine + roms + " --playback " + rzx + " >" + log + " 2>&1 & p=$!; i=0; " +
      "while [ $i -lt 30 ] && kill -0 $p 2>/dev/null; do sleep 1; import -window root " + shot +
      " && convert " + shot + " -crop 256x8+32+" + std::to_string(24 + c.row * 8) + mono +
      fuseLine + " && cmp -s " + line + " " + fuseLine + " && echo SAME && break; i=$((i+1)); " +
      "done; kill -9 $p 2>/dev/null; wait $p; [ $i -lt 30 ] && [ -f " + fuseLine + " ] && " +
      "cmp -s " + line + " " + fuseLine + " && break; done; tail -3 " + log;
  out = RunUnderXvfbUntilSame(script);
  EXPECT_NE(out.find("SAME"), std::string::npos) << c.model << ": " << out;
}

const std::string kRandom128 =
    "--key 200:CS+6:3 --key 230:ENTER:3" + Keys(300, "randomize:print at 10,0;rnd#");

INSTANTIATE_TEST_SUITE_P(
    Models, RzxInFuse,
    testing::Values(FuseCase{"48", "48",
                             "--key 100:T:3 --key 110:ENTER:3 --key 120:P:3 --key 130:CS+SS:3 "
                             "--key 140:T:3 --key 150:ENTER:3",
                             200, 0},
                    FuseCase{"128", "128", kRandom128.c_str(), 650, 10},
                    FuseCase{"plus3", "plus3", kRandom128.c_str(), 650, 10}),
    [](const testing::TestParamInfo<FuseCase>& p) { return std::string(p.param.model); });

}  // namespace
}  // namespace orvo::test
