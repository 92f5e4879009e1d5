// A machine saved in the middle of the ROM's LOAD runs on after reloading exactly as the unbroken
// run does: the loader reads its own last ULA output back on the EAR bit, so that output (kept in
// the SZX file) must come back with the rest of the machine.
#include <gtest/gtest.h>

#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

TEST(SnapshotMidLoad, EveryModelReloadedInTheRomLoaderRunsOnLikeTheUnbrokenRun) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  const TempDir dir;
  int status = -1;
  for (const std::string model : {"16", "48", "128", "plus2", "plus2a", "plus3"}) {
    const bool is48 = model == "16" || model == "48";
    // LOAD "" typed with keys, or the 128K family's menu entry for the tape.
    const std::string start =
        "--model " + model +
        (is48 ? " --key 100:J:3 --key 110:SS+P:3 --key 120:SS+P:3 --key 130:ENTER:3"
              : " --key 100:ENTER:3");
    const std::string szx = dir / (model + ".szx");
    RunOrvo(start + " --frames 200 --save " + szx, &status);
    ASSERT_EQ(status, 0) << model;
    const std::string unbroken =
        RunOrvo(start + " --frames 300 --print-state --screen-text", &status);
    const std::string reloaded =
        RunOrvo("--load " + szx + " --frames 100 --print-state --screen-text", &status);
    EXPECT_EQ(StateOf(reloaded), StateOf(unbroken)) << model;
  }
  // The 16K case of the report: stopped in LOAD at frame 10, the next frame. The Z80 file has no
  // place for the last ULA output; the MIC bit the loader left high is assumed.
  const auto boot16 = SharedFile("testdata/media/snapshots/spectron_boot_16k.szx");
  ORVO_REQUIRE_FILE(boot16);
  const std::string next =
      StateOf(RunOrvo("--load " + boot16.string() + " --frames 11 --print-state", &status));
  for (const char* name : {"boot16.szx", "boot16.z80"}) {
    const std::string saved = dir / name;
    RunOrvo("--load " + boot16.string() + " --frames 10 --save " + saved, &status);
    EXPECT_EQ(StateOf(RunOrvo("--load " + saved + " --frames 1 --print-state", &status)), next)
        << name;
  }
}

}  // namespace
}  // namespace orvo::test
