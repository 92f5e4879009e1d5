// Snapshots and input recordings through orvo-run, as a user runs them: SZX and Z80 files saved
// and loaded again (and read and written by libspectrum's tools, snapdump and snapconv from
// fuse-emulator-utils, where they are installed), and recordings replayed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "halt_program.h"
#include "run_orvo.h"

namespace orvo::test {
namespace {

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

// Saved halted (between frames, with PC on the HALT as every reader of the format has it), the
// machine runs on as the unbroken one: from Orvo's file, from an older Orvo's file (PC past the
// HALT, creator version 0.0) and from libspectrum's rewrite of it (snapconv, where installed).
TEST(SzxRun, AHaltedMachineRunsOnFromItsFileAndLibspectrumsRewrite) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const TempDir dir;
  const std::string source = dir.Write("halt.asm", kHaltProgram);
  const std::string szx = dir / "h.szx", old = dir / "old.szx", theirs = dir / "theirs.szx";
  const std::string run = "--model 48 --assemble " + source + " --run start ";
  int status = -1;
  const std::string unbroken = RunOrvo(run + "--frames 150 --print-state", &status);
  ASSERT_EQ(status, 0) << unbroken;
  RunOrvo(run + "--frames 100 --save " + szx, &status);
  ASSERT_EQ(status, 0);

  std::vector<uint8_t> bytes = ReadWholeFile(szx);
  const std::string text(bytes.begin(), bytes.end());
  const size_t crtr = text.find("CRTR"), z80r = text.find("Z80R");
  ASSERT_NE(z80r, std::string::npos);
  const size_t pc = z80r + 8 + 22, flags = z80r + 8 + 34;
  ASSERT_EQ(bytes[flags] & 2, 2) << "saved halted";
  ASSERT_EQ(bytes[pc] | bytes[pc + 1] << 8, 0x8006) << "PC on the HALT";
  // Saved between frames with the interrupt to come: at the end of the frame before, as other
  // programs keep it.
  const size_t t = z80r + 8 + 29;
  EXPECT_GE(bytes[t] | bytes[t + 1] << 8 | bytes[t + 2] << 16, 69888);
  // The same machine as an older Orvo wrote it.
  bytes[pc] = 0x07;
  bytes[crtr + 8 + 34] = 0;
  const uint32_t inFrame = (bytes[t] | bytes[t + 1] << 8 | bytes[t + 2] << 16) - 69888;
  for (int k = 0; k < 3; ++k) bytes[t + k] = static_cast<uint8_t>(inFrame >> (8 * k));
  dir.Write("old.szx", std::string(bytes.begin(), bytes.end()));

  std::vector<std::string> files = {szx, old};
  if (ToolOnPath("snapconv")) {
    CaptureCommand("snapconv " + szx + " " + theirs + " 2>&1", &status);
    ASSERT_EQ(status, 0);
    files.push_back(theirs);
  }
  // A holds the frames less the HALTs left, C the HALTs left, R the fetches: all as unbroken.
  for (const std::string& file : files) {
    const std::string out = RunOrvo("--load " + file + " --frames 50 --print-state", &status);
    EXPECT_EQ(StateOf(out), StateOf(unbroken)) << file;
  }
  if (!ToolOnPath("snapconv")) GTEST_SKIP() << "missing tool: snapconv (libspectrum's rewrite)";
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
