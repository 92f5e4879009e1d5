// Z80 files saved and loaded through orvo-run, and read and written by libspectrum's tools
// (snapdump and snapconv, from fuse-emulator-utils) where they are installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

// The field `name` of the --print-state JSON, or the whole state without the frame counter and R
// (the format has no halted flag: a machine saved in a HALT runs it again, which counts R on).
std::string Field(const std::string& out, const std::string& name = "") {
  std::string line = out.substr(std::min(out.size(), out.rfind("{\"model\"")));
  if (!name.empty()) {
    const size_t at = line.find("\"" + name + "\":");
    return at == std::string::npos ? line : line.substr(at, line.find(',', at) - at);
  }
  line = line.substr(0, line.find(",\"frames\""));
  const size_t r = line.find(",\"r\":");
  return r == std::string::npos ? line : line.erase(r, line.find(',', r + 1) - r);
}

// A machine saved part-way and loaded again runs on as the one never saved: the +3 in its ROM
// and paging (run with the version 4.1 ROM it was made with, whose addresses its stack holds; the
// disk controller's timing is in no Z80 file, so PC is compared), a 128K saved with "z80
// version=1" or 2 with all its banks. With its own ROM the +3's Loader goes on to the tape.
TEST(Z80Run, SavedMidRunAndReloadedRunsOnTheSame) {
  const auto plus3 = SharedFile("testdata/media/snapshots/zxsp_plus3_v3.z80");
  const auto game128 = SharedFile("testdata/media/snapshots/shock_part2_v2_128k.z80");
  ORVO_REQUIRE_FILE(plus3);
  ORVO_REQUIRE_FILE(game128);
  ORVO_REQUIRE_FILE(RomDir() / "plus3-41.rom");
  const TempDir dir;
  const fs::path roms41 = dir.path;
  for (const char* name : {"48k.rom", "128k.rom", "plus2.rom", "plus3-41.rom"}) {
    const std::string to = std::string(name) == "plus3-41.rom" ? "plus3.rom" : name;
    fs::copy_file(RomDir() / name, roms41 / to, fs::copy_options::overwrite_existing);
  }
  const std::string rom41 = " --rom-dir " + roms41.string();
  const std::string rows[][2] = {{"--load " + plus3.string() + rom41, rom41},
                                 {"--load " + game128.string(), "--set \"z80 version=1\""},
                                 {"--model 128", "--set \"z80 version=2\""}};
  const std::string saved = dir / "mid.z80";
  int status = -1;
  for (const auto& [start, settings] : rows) {
    const std::string through = RunOrvo(start + " --frames 140 --print-state", &status);
    ASSERT_EQ(status, 0) << through;
    RunOrvo(start + " " + settings + " --frames 40 --save " + saved, &status);
    ASSERT_EQ(status, 0) << start;
    const bool pcOnly = settings == rom41;
    const std::string back =
        RunOrvo("--load " + saved + (pcOnly ? rom41 : "") + " --frames 100 --print-state", &status);
    EXPECT_EQ(Field(back, pcOnly ? "pc" : ""), Field(through, pcOnly ? "pc" : "")) << start;
  }
  const std::string loader =
      RunOrvo("--load " + plus3.string() + rom41 + " --frames 400 --screen-text", &status);
  EXPECT_NE(loader.find("Insert tape and press PLAY"), std::string::npos) << loader;
}

// libspectrum reads the machine and the T-state a file was saved at (stopped mid-frame at a
// breakpoint in the ROM's key wait loop), and its own file of Orvo's 16K (pages 8, 4 and 5) runs
// on as Orvo's.
TEST(Z80Run, LibspectrumReadsAndWritesThem) {
  if (!ToolOnPath("snapdump") || !ToolOnPath("snapconv"))
    GTEST_SKIP() << "snapdump and snapconv (fuse-emulator-utils) are not installed";
  const TempDir dir;
  const std::string ours = dir / "ours.z80", theirs = dir / "theirs.z80";
  int status = -1;
  for (const auto& [model, breakAt, name] :
       {std::tuple{"48", "15DE", "Spectrum 48K"}, {"128", "3685", "Spectrum 128K"}}) {
    const std::string out = RunOrvo(std::string("--model ") + model + " --frames 100 --break " +
                                        breakAt + " --save " + ours + " --print-state",
                                    &status);
    const std::string tstate = Field(out, "frame_tstate").substr(15);
    EXPECT_GT(std::stoul(tstate), 1000u) << "stopped inside the frame";
    const std::string dump = CaptureCommand("snapdump " + ours + " 2>&1", &status);
    EXPECT_NE(dump.find("tstates: " + tstate + "\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find(std::string("machine: ") + name + "\n"), std::string::npos) << dump;
  }
  RunOrvo("--model 16 --frames 150 --type \"10 PRINT 7\\n\" --save " + ours, &status);
  CaptureCommand("snapconv " + ours + " " + theirs + " 2>&1", &status);
  ASSERT_EQ(status, 0);
  const std::string a =
      RunOrvo("--load " + ours + " --frames 60 --screen-text --print-state", &status);
  const std::string b =
      RunOrvo("--load " + theirs + " --frames 60 --screen-text --print-state", &status);
  EXPECT_NE(a.find("PRINT 7"), std::string::npos) << a;
  EXPECT_EQ(b.substr(b.find("ROM:")), a.substr(a.find("ROM:")));
}

}  // namespace
}  // namespace orvo::test
