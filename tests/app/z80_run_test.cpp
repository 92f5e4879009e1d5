// Z80 files saved and loaded through orvo-run, and read and written by libspectrum's tools
// (snapdump and snapconv, from fuse-emulator-utils) where they are installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_orvo.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

// The state JSON of --print-state without the frame counter and R. The format has no halted
// flag: a machine saved in a HALT runs the HALT again when loaded, which counts R on by one.
std::string StateOf(const std::string& out) {
  const size_t at = out.rfind("{\"model\"");
  if (at == std::string::npos) return out;
  std::string line = out.substr(at);
  line = line.substr(0, line.find(",\"frames\""));
  const size_t r = line.find(",\"r\":");
  return r == std::string::npos ? line : line.erase(r, line.find(',', r + 1) - r);
}

std::string Temp(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("orvo_z80_run_" + name)).string();
}

std::string PcOf(const std::string& out) {
  const size_t at = out.rfind("\"pc\":");
  return at == std::string::npos ? out : out.substr(at, out.find(',', at) - at);
}

// A ROM folder whose plus3.rom is the version 4.1 ROM, which the +3 snapshot was made with: its
// stack holds return addresses into that ROM.
std::filesystem::path Plus3Rom41Dir() {
  const auto dir = std::filesystem::temp_directory_path() / "orvo_z80_run_roms41";
  std::filesystem::create_directories(dir);
  for (const char* name : {"48k.rom", "128k.rom", "plus2.rom"}) {
    std::filesystem::copy_file(RomDir() / name, dir / name,
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::filesystem::copy_file(RomDir() / "plus3-41.rom", dir / "plus3.rom",
                             std::filesystem::copy_options::overwrite_existing);
  return dir;
}

// A machine saved part-way and loaded again runs on as the one that was never saved: the +3 in
// its ROM and paging (the disk controller's timing is in no Z80 file, so only PC is compared), a
// 128K saved with "z80 version=1" or 2 with all its banks.
TEST(Z80Run, SavedMidRunAndReloadedRunsOnTheSame) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  const auto plus3 = SharedFile("testdata/media/snapshots/zxsp_plus3_v3.z80");
  const auto game128 = SharedFile("testdata/media/snapshots/shock_part2_v2_128k.z80");
  ORVO_REQUIRE_FILE(plus3);
  ORVO_REQUIRE_FILE(game128);
  ORVO_REQUIRE_FILE(RomDir() / "plus3-41.rom");
  const std::string rom41 = " --rom-dir " + Plus3Rom41Dir().string();
  const struct {
    std::string start;
    std::string settings;
    bool pcOnly;
  } rows[] = {
      {"--load " + plus3.string() + rom41, "", true},
      {"--load " + game128.string(), "--set \"z80 version=1\"", false},
      {"--model 128", "--set \"z80 version=2\"", false},
  };
  const std::string saved = Temp("mid.z80");
  for (const auto& r : rows) {
    SCOPED_TRACE(r.start + " " + r.settings);
    int status = -1;
    const std::string through = RunOrvo(r.start + " --frames 140 --print-state", &status);
    ASSERT_EQ(status, 0) << through;
    RunOrvo(r.start + " " + r.settings + " --frames 40 --save " + saved, &status);
    ASSERT_EQ(status, 0);
    const std::string reloaded = RunOrvo(
        "--load " + saved + (r.pcOnly ? rom41 : "") + " --frames 100 --print-state", &status);
    EXPECT_EQ(status, 0) << reloaded;
    if (r.pcOnly) {
      EXPECT_EQ(PcOf(reloaded), PcOf(through));
    } else {
      EXPECT_EQ(StateOf(reloaded), StateOf(through));
    }
  }
  // With the ROM it was made with, the +3's Loader finds no disk and goes on to the tape.
  int status = -1;
  const std::string loader =
      RunOrvo("--load " + plus3.string() + rom41 + " --frames 400 --screen-text", &status);
  EXPECT_NE(loader.find("Insert tape and press PLAY"), std::string::npos) << loader;
  std::filesystem::remove(saved);
}

// libspectrum reads the machine and the T-state a file was saved at (stopped mid-frame at a
// breakpoint in the ROM's key wait loop).
TEST(Z80Run, LibspectrumReadsTheTStateAndMachine) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  if (!ToolOnPath("snapdump")) GTEST_SKIP() << "snapdump (fuse-emulator-utils) is not installed";
  const std::string file = Temp("tstate.z80");
  for (const auto& [model, breakAt, name] : {std::tuple{"48", "15DE", "Spectrum 48K"},
                                             {"128", "3685", "Spectrum 128K"},
                                             {"16", "15DE", "Spectrum 16K"}}) {
    SCOPED_TRACE(model);
    int status = -1;
    const std::string out = RunOrvo(std::string("--model ") + model + " --frames 100 --break " +
                                        breakAt + " --save " + file + " --print-state",
                                    &status);
    ASSERT_EQ(status, 0) << out;
    const size_t at = out.find("\"frame_tstate\":");
    ASSERT_NE(at, std::string::npos) << out;
    const unsigned long tstate = std::stoul(out.substr(at + 15));
    EXPECT_GT(tstate, 1000u);  // stopped inside the frame, not at its start
    const std::string dump = CaptureCommand("snapdump " + file + " 2>&1", &status);
    EXPECT_NE(dump.find("tstates: " + std::to_string(tstate) + "\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find(std::string("machine: ") + name + "\n"), std::string::npos) << dump;
  }
  std::filesystem::remove(file);
}

// A file as libspectrum writes it (snapconv of Orvo's own: a 16K with pages 8, 4 and 5, a 48K,
// a +3 with its 0x1FFD byte) runs on as the one Orvo wrote.
TEST(Z80Run, LibspectrumsFilesRunOn) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(RomDir() / "plus3.rom");
  if (!ToolOnPath("snapconv")) GTEST_SKIP() << "snapconv (fuse-emulator-utils) is not installed";
  const std::string ours = Temp("ours.z80");
  const std::string theirs = Temp("theirs.z80");
  for (const char* model : {"16", "48", "plus3"}) {
    SCOPED_TRACE(model);
    int status = -1;
    RunOrvo(
        std::string("--model ") + model + " --frames 150 --type \"10 PRINT 7\\n\" --save " + ours,
        &status);
    ASSERT_EQ(status, 0);
    CaptureCommand("snapconv " + ours + " " + theirs + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    const std::string run = " --frames 60 --screen-text --print-state";
    const std::string a = RunOrvo("--load " + ours + run, &status);
    const std::string b = RunOrvo("--load " + theirs + run, &status);
    EXPECT_EQ(status, 0) << b;
    if (std::string(model) != "plus3") {
      EXPECT_NE(a.find("PRINT 7"), std::string::npos) << a;
    }
    EXPECT_EQ(b.substr(b.find("ROM:")), a.substr(a.find("ROM:")));
  }
  std::filesystem::remove(ours);
  std::filesystem::remove(theirs);
}

}  // namespace
}  // namespace orvo::test
