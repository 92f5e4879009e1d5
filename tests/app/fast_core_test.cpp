// The fast core against the single steps: tapes, disks, sound and replays run in batches on the
// quiet core must end in the same machine, the same files and the same sound as when every
// instruction runs on its own with the hooks after it (--single-steps).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a run leaves behind: its report (the replay's speed taken out), the machine as a snapshot
// and, when `wav`, its sound.
struct RunResult {
  int status = -1;
  std::string out, snapshot, sound;
};

// A run that writes its disk back gets a fresh copy of `disk` for "%DISK%" in `arguments`.
RunResult RunBoth(const std::string& arguments, bool singleSteps, bool wav, const TempDir& dir,
                  const std::string& disk) {
  RunResult r;
  const std::string tag = singleSteps ? "single" : "fast";
  std::string args = arguments;
  if (const size_t at = args.find("%DISK%"); at != std::string::npos) {
    std::filesystem::copy_file(disk, dir / (tag + ".dsk"));
    args.replace(at, 6, dir / (tag + ".dsk"));
  }
  args += " --print-state --save " + dir / (tag + ".szx");
  if (wav) args += " --wav " + dir / (tag + ".wav");
  if (singleSteps) args += " --single-steps";
  r.out = std::regex_replace(RunOrvo(args, &r.status), std::regex(R"(\(\d+ frames/s\))"), "");
  r.out = std::regex_replace(r.out, std::regex(R"(/(single|fast)\.)"), "/run.");
  r.snapshot = FileBytes(dir / (tag + ".szx"));
  if (wav) r.sound = FileBytes(dir / (tag + ".wav"));
  return r;
}

// Runs `arguments` both ways and compares everything; `mustShow` is looked for in the report.
void ExpectSameBothWays(const std::string& arguments, bool wav, const std::string& mustShow = "",
                        const std::string& disk = "") {
  TempDir dir;
  const RunResult fast = RunBoth(arguments, false, wav, dir, disk);
  const RunResult single = RunBoth(arguments, true, wav, dir, disk);
  // (A replay cut short by --frames ends with status 1 both ways.)
  EXPECT_EQ(single.status, fast.status);
  EXPECT_EQ(single.out, fast.out) << arguments;
  EXPECT_FALSE(fast.snapshot.empty()) << fast.out;
  EXPECT_TRUE(single.snapshot == fast.snapshot) << "the machines differ: " << arguments;
  if (wav) {
    EXPECT_GT(fast.sound.size(), 44u);
    EXPECT_TRUE(single.sound == fast.sound) << "the sound differs: " << arguments;
  }
  if (!mustShow.empty()) {
    EXPECT_NE(fast.out.find(mustShow), std::string::npos) << fast.out;
  }
}

std::string Media(const std::string& name) {
  return SharedFile("testdata/media/" + name).string();
}

// Tapes played into the loader edge by edge: a turbo loader, the ROM's loader with the sound of
// the tape and the loader's border in the WAV, a direct recording and a CSW file, and fast loading
// (the deck stopped and started by the loader through the port it polls). Tape wobble is left
// out: its noise is seeded from the host's clock.
TEST(FastCore, TapesLoadTheSameAsSingleSteps) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  for (const char* name :
       {"tzx/wizball_turbo.tzx", "tap/zasm_hello_world.tap", "tzx/penetrator_4500baud_id15.tzx",
        "csw/StarBike_csw1.01_rle_45454Hz.csw"}) {
    ORVO_REQUIRE_FILE(Media(name));
  }
  ExpectSameBothWays("--tape " + Media("tzx/wizball_turbo.tzx") + " --autoload --frames 2500",
                     false);
  ExpectSameBothWays(
      "--tape " + Media("tap/zasm_hello_world.tap") + " --autoload --frames 600 --screen-text",
      true);
  ExpectSameBothWays(
      "--tape " + Media("tzx/penetrator_4500baud_id15.tzx") + " --autoload --frames 1200", true);
  ExpectSameBothWays("--tape " + Media("csw/StarBike_csw1.01_rle_45454Hz.csw") +
                         " --autoload --fastload --frames 300",
                     false);
  ExpectSameBothWays("--tape " + Media("tzx/wizball_turbo.tzx") +
                         " --autoload --fastload"
                         " --frames 200",
                     false);
}

// Loaders' loops of several shapes waiting for the tape's edges (tests/data/edge_loops.asm), whose
// passes between edges the fast core counts out at once, on a 128K making its AY's samples as it
// goes.
TEST(FastCore, LoadersPollingLoopsSoundAsSingleSteps) {
  ORVO_REQUIRE_RUNNER("128k.rom");
  ORVO_REQUIRE_FILE(Media("tap/zasm_hello_world.tap"));
  ExpectSameBothWays("--model 128 --tape " + Media("tap/zasm_hello_world.tap") +
                         " --set Autoload=1 --assemble " + (DataDir() / "edge_loops.asm").string() +
                         " --run start --frames 400",
                     true);
}

// Sound: the AY written between samples (128K music), the beeper with a halted CPU between
// interrupts (BEEP then PAUSE), 8-bit mono at another rate, and the Orator's speech, whose
// synthesiser steps once per sample.
TEST(FastCore, SoundIsTheSameAsSingleSteps) {
  ORVO_REQUIRE_RUNNER("128k.rom");
  ORVO_REQUIRE_FILE(Media("snapshots/aytest_0.2_128k.sna"));
  ExpectSameBothWays("--load " + Media("snapshots/aytest_0.2_128k.sna") + " --frames 400", true);
  ExpectSameBothWays("--load " + Media("snapshots/aytest_0.2_128k.sna") +
                         " --frames 300 --sound-freq 22050 --sound-bits 8 --sound-output mono",
                     true);
  ExpectSameBothWays("--frames 400 --type-frame 100 --type 'BEEP .5,12: PAUSE 50: BEEP .2,-7\\n'",
                     true);
  ExpectSameBothWays(
      "--speech orator --frames 300 --type-frame 100 --type 'OUT 159,20: PAUSE 20: OUT 159,33\\n'",
      true);
}

// A 48K's samples are all alike between port writes while it has no AY: a batch's first sample
// is copied. Those that differ each time (an echo, the SpecDrum reset at every frame of sound)
// are mixed one by one; a read of the Fuller Box's data port switches the AY on in the middle of
// a batch, and its tone counters must have been kept in step with the samples all along.
TEST(FastCore, BeeperSoundIsTheSameAsSingleSteps) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const std::string beeps = " --frames 400 --type-frame 100 --type 'BEEP .3,12: BEEP .2,-7\\n'";
  ExpectSameBothWays(beeps + " --sound-output mono --sound-bits 8", true);
  ExpectSameBothWays(beeps + " --set Effect=1", true);
  ExpectSameBothWays(beeps + " --set Effect=2 --sound-freq 48000", true);
  ExpectSameBothWays(
      "--set SpecDrum=1 --frames 300 --type-frame 100 --type 'OUT 223,200: PAUSE 9: OUT 223,9\\n'",
      true);
  ExpectSameBothWays(
      "--frames 500 --type-frame 100 --type 'BEEP .2,0: LET a=IN 95: BEEP .1,3: "
      "OUT 65533,8: OUT 49149,15: OUT 65533,1: OUT 49149,2: BEEP .2,5\\n'",
      true);
}

// The +3 Loader reading a disk with the ROM's delay loops trapped (--disk-fastload), and a replay
// whose every port read is answered from the recording.
TEST(FastCore, DisksAndReplaysAreTheSameAsSingleSteps) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  ORVO_REQUIRE_FILE(Media("disk/dizzy7_crystal_kingdom_2017.dsk"));
  ORVO_REQUIRE_FILE(Media("rzx/exolon.rzx"));
  ExpectSameBothWays("--model plus3 --disk-autoload --disk-fastload --disk-a %DISK% --frames 900",
                     false, "", Media("disk/dizzy7_crystal_kingdom_2017.dsk"));
  ExpectSameBothWays("--rzx " + Media("rzx/exolon.rzx") + " --frames 3000", true, "mismatch: none");
}

}  // namespace
}  // namespace orvo::test
