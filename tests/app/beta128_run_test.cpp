// The Pentagon 128 and the Beta 128 interface through orvo-run: the Pentagon's menu, TR-DOS from
// it and from 48 BASIC, and TR-DOS commands typed at its prompt working on TRD and SCL images
// that are saved back and read again by a later run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "formats/trd_format.h"
#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

// A ROM folder of links to the shared images the runs need (never copies).
struct RomLinks {
  RomLinks() {
    for (const char* name : {"pentagon.rom", "trdos.rom"})
      fs::create_symlink(RomDir() / "extras" / name, dir.path / name);
    fs::create_symlink(RomDir() / "48k.rom", dir.path / "48k.rom");
  }
  TempDir dir;
};

#define REQUIRE_BETA_ROMS()                              \
  do {                                                   \
    ORVO_REQUIRE_RUNNER("48k.rom");                      \
    ORVO_REQUIRE_FILE(RomDir() / "extras/pentagon.rom"); \
    ORVO_REQUIRE_FILE(RomDir() / "extras/trdos.rom");    \
  } while (0)

// Down four times in the Pentagon's menu, to "TR-DOS", and ENTER; its prompt is up by frame 250.
const char kMenuToTrdos[] =
    "--key 100:CS+6:3 --key 110:CS+6:3 --key 120:CS+6:3 --key 130:CS+6:3 --key 140:ENTER:3 "
    "--type-frame 250 ";

// Down three times, to "48 BASIC", and ENTER.
const char kMenuTo48Basic[] =
    "--key 100:CS+6:3 --key 110:CS+6:3 --key 120:CS+6:3 --key 130:ENTER:3";

std::string Pentagon(const RomLinks& roms, const std::string& args, int* status) {
  return RunOrvo("--model pentagon " + args + " --screen-text", status, roms.dir.path);
}

TEST(Beta128Run, PentagonBootsToItsMenuAndIntoTrdos) {
  REQUIRE_BETA_ROMS();
  RomLinks roms;
  int status = 0;
  std::string out = Pentagon(roms, "--frames 200", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Model: Pentagon 128"), std::string::npos) << out;
  EXPECT_NE(out.find("128 BASIC"), std::string::npos) << out;
  EXPECT_NE(out.find("TR-DOS"), std::string::npos) << out;
  out = Pentagon(roms, std::string(kMenuToTrdos) + "--frames 300", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("TR-DOS Ver 5.03"), std::string::npos) << out;
  EXPECT_NE(out.find("A>"), std::string::npos) << out;
}

// SAVE and CAT at the Pentagon's TR-DOS prompt; each run reads the image the last one
// saved back, and an SCL built from its files opens as a disk holding them.
TEST(Beta128Run, TrdosSavesAndCataloguesOnATrdAcrossRuns) {
  REQUIRE_BETA_ROMS();
  RomLinks roms;
  const std::string disk = roms.dir / "work.trd";
  int status = 0;
  std::string out = Pentagon(roms,
                             "--new-trd " + disk + " --trd-a " + disk + " " + kMenuToTrdos +
                                 "--type '10 PRINT \"HELLO\"\\nSAVE \"prog\"' --frames 700",
                             &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("O.K."), std::string::npos) << out;

  out = Pentagon(roms,
                 "--trd-a " + disk + " " + kMenuToTrdos +
                     "--type 'SAVE \"code\"CODE 16384,100\\nCAT' --frames 900",
                 &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("2 File(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("prog    <B>"), std::string::npos) << out;
  EXPECT_NE(out.find("code    <C>"), std::string::npos) << out;
  EXPECT_NE(out.find("2542 Free"), std::string::npos) << out;

  // The files as the image holds them: TR-DOS's catalogue, read back by the format's reader.
  TrdDisk saved;
  ASSERT_TRUE(ParseTrd(ReadWholeFile(disk), saved).Ok());
  const std::vector<TrdFile> files = TrdCatalogue(saved);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].name, "code    ");
  EXPECT_EQ(files[1].start, 16384);
  EXPECT_EQ(files[1].length, 100);

  // An SCL of those files: its catalogue shows them; a change to it goes to a TRD beside it.
  const std::string scl = roms.dir.Write(
      "packed.scl",
      std::string(reinterpret_cast<const char*>(WriteScl(files).data()), WriteScl(files).size()));
  out =
      Pentagon(roms, "--trd-a " + scl + " " + kMenuToTrdos + "--type 'CAT' --frames 700", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("changes go to"), std::string::npos) << out;
  EXPECT_NE(out.find("prog    <B>"), std::string::npos) << out;
  EXPECT_NE(out.find("code    <C>"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(roms.dir.path / "packed.trd")) << "an unchanged disk is not written";
}

// The same interface fitted to a 48K: RANDOMIZE USR 15616 enters TR-DOS (which takes the first
// key it is given as its start-up key), SAVE and CAT work, and a read-only image is refused
// writes.
TEST(Beta128Run, FortyEightKWithTheInterfaceSavesAndRefusesReadOnlyDisks) {
  REQUIRE_BETA_ROMS();
  RomLinks roms;
  const std::string disk = roms.dir / "48.trd";
  int status = 0;
  const std::string typed =
      " --type-frame 100 --type 'RANDOMIZE USR 15616\\n\\n10 PRINT \"HI\"\\nSAVE \"p\"\\nCAT' "
      "--frames 800 --screen-text";
  std::string out = RunOrvo("--model 48 --beta128 --new-trd " + disk + " --trd-a " + disk + typed,
                            &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("1 File(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("A:p       <B>"), std::string::npos) << out;
  TrdDisk saved;
  ASSERT_TRUE(ParseTrd(ReadWholeFile(disk), saved).Ok());
  ASSERT_EQ(TrdCatalogue(saved).size(), 1u);

  fs::permissions(disk, fs::perms::owner_read, fs::perm_options::replace);
  out = RunOrvo("--model 48 --beta128 --trd-a " + disk + typed, &status, roms.dir.path);
  EXPECT_NE(out.find("(write-protected)"), std::string::npos) << out;
  ASSERT_TRUE(ParseTrd(ReadWholeFile(disk), saved).Ok());
  EXPECT_EQ(TrdCatalogue(saved).size(), 1u) << "a write-protected disk is left as it was";

  out = RunOrvo("--model plus3 --beta128 --frames 1", &status, roms.dir.path);
  EXPECT_NE(status, 0) << out;
}

// From 48 BASIC into TR-DOS: FORMAT a disk, SAVE a program and a CODE block, CAT; in a new run
// of the saved image LOAD the block elsewhere and RUN the program (its output proves what was
// saved); then ERASE the block. The same on a 48K with the interface and on the Pentagon (whose
// menu has 48 BASIC as its last entry).
struct DiskSession {
  const char* name;
  std::string machine;  // orvo-run options, up to the typing
  int typeFrame;
};

class TrdosDiskSession : public ::testing::TestWithParam<DiskSession> {};

TEST_P(TrdosDiskSession, FormatsSavesLoadsAndErasesAcrossRuns) {
  REQUIRE_BETA_ROMS();
  const DiskSession& c = GetParam();
  RomLinks roms;
  const std::string disk = roms.dir / "session.trd";
  const std::string code = roms.dir / "code.bin";
  auto run = [&](const std::string& typed, int frames, int* status) {
    return RunOrvo(c.machine + " --trd-a " + disk + " --type-frame " + std::to_string(c.typeFrame) +
                       " --type '" + typed + "' --frames " + std::to_string(frames) +
                       " --screen-text",
                   status, roms.dir.path);
  };
  int status = 0;
  // An unformatted (blank) image: FORMAT writes every track of both sides.
  std::string out = RunOrvo("--new-trd " + disk + " --frames 1", &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  out =
      run("10 PRINT \"X\";6*7\\nRANDOMIZE USR 15616\\nFORMAT \"mydisk\"\\nSAVE \"prog\"\\n"
          "SAVE \"code\"CODE 0,100\\nCAT\\n",
          4000, &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Title: mydisk"), std::string::npos) << out;
  EXPECT_NE(out.find("2 File(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("prog    <B>"), std::string::npos) << out;
  EXPECT_NE(out.find("code    <C>"), std::string::npos) << out;
  EXPECT_NE(out.find("2542 Free"), std::string::npos) << "both sides formatted\n" << out;

  out = run("RANDOMIZE USR 15616\\nLOAD \"code\"CODE 40000\\nRUN \"prog\"\\n", 1200, &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("X42"), std::string::npos) << "the program saved and ran\n" << out;
  // The block went to 40000. It holds what the processor saw at 0 while TR-DOS saved it: the
  // TR-DOS ROM.
  out = RunOrvo(c.machine + " --trd-a " + disk + " --type-frame " + std::to_string(c.typeFrame) +
                    " --type 'RANDOMIZE USR 15616\\nLOAD \"code\"CODE 40000\\n' --frames 1000" +
                    " --save-binary " + code + "@40000,100",
                &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  const std::vector<uint8_t> rom = ReadWholeFile(RomDir() / "extras/trdos.rom");
  ASSERT_GE(rom.size(), 100u);
  std::vector<uint8_t> expected(rom.begin(), rom.begin() + 100);
  // Its bytes of 0xFF (from offset 0x35) pass the 48K's floating bus whole.
  EXPECT_EQ(ReadWholeFile(code), expected);

  out = run("RANDOMIZE USR 15616\\nERASE \"code\"CODE\\nCAT\\n", 1200, &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("1 File(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("2543 Free"), std::string::npos) << "the last file's sectors are free again\n"
                                                      << out;
  TrdDisk saved;
  ASSERT_TRUE(ParseTrd(ReadWholeFile(disk), saved).Ok());
  const std::vector<TrdFile> files = TrdCatalogue(saved);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "prog    ");
}

INSTANTIATE_TEST_SUITE_P(
    Beta128Run, TrdosDiskSession,
    ::testing::Values(DiskSession{"Spectrum48K", "--model 48 --beta128", 100},
                      DiskSession{"Pentagon", std::string("--model pentagon ") + kMenuTo48Basic,
                                  200}),
    [](const auto& instance) { return std::string(instance.param.name); });

// A disk opened through the file dispatch (--load, as the window's Open and a drop): with
// Autoload the machine boots into TR-DOS and runs the disk's "boot" file. A 48K or 128K gets
// the interface fitted; a +3 or 16K, which cannot take one, becomes a Pentagon. An SCL opens the
// same way; without the TR-DOS ROM the disk is refused and the machine stays as it was.
TEST(Beta128Run, OpenedDisksBootTheirBootFileOnEveryModel) {
  REQUIRE_BETA_ROMS();
  RomLinks roms;
  for (const char* name : {"128k.rom", "plus3.rom"})
    fs::create_symlink(RomDir() / name, roms.dir.path / name);
  const std::string disk = roms.dir / "boot.trd";
  int status = 0;
  std::string out = RunOrvo("--model 48 --beta128 --new-trd " + disk + " --trd-a " + disk +
                                " --type-frame 100 --type '10 PRINT \"BOOTED \";2*21\n"
                                "RANDOMIZE USR 15616\n\nSAVE \"boot\" LINE 10' --frames 900",
                            &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  TrdDisk saved;
  ASSERT_TRUE(ParseTrd(ReadWholeFile(disk), saved).Ok());
  ASSERT_EQ(TrdCatalogue(saved).size(), 1u) << out;

  const std::string scl = roms.dir.Write(
      "boot.scl", std::string(reinterpret_cast<const char*>(WriteScl(TrdCatalogue(saved)).data()),
                              WriteScl(TrdCatalogue(saved)).size()));
  struct Case {
    std::string args;
    const char* model;
  };
  for (const Case& c : {Case{"--model 48 --load " + disk, "ZX Spectrum 48K"},
                        Case{"--model 128 --load " + disk, "ZX Spectrum 128K"},
                        Case{"--model plus3 --load " + disk, "Pentagon 128"},
                        Case{"--model pentagon --load " + scl, "Pentagon 128"}}) {
    SCOPED_TRACE(c.args);
    out = RunOrvo(c.args + " --autoload --frames 300 --screen-text", &status, roms.dir.path);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find(std::string("Model: ") + c.model), std::string::npos) << out;
    EXPECT_NE(out.find("BOOTED 42"), std::string::npos) << out;
  }
  // Without Autoload the disk waits in drive A: for TR-DOS.
  out = RunOrvo("--model 48 --load " + disk +
                    " --type-frame 100 --type 'RANDOMIZE USR 15616\n\nCAT' --frames 500 "
                    "--screen-text",
                &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("BOOTED"), std::string::npos) << out;
  EXPECT_NE(out.find("boot    <B>"), std::string::npos) << out;

  TempDir bare;
  fs::create_symlink(RomDir() / "48k.rom", bare.path / "48k.rom");
  out = RunOrvo("--model 48 --load " + disk + " --frames 1", &status, bare.path);
  EXPECT_NE(status, 0) << out;
  EXPECT_NE(out.find("ROM missing"), std::string::npos) << out;
  EXPECT_NE(out.find("trdos.rom"), std::string::npos) << out;
}

// The Pentagon's frame as a program measures it: minfo counts the T-states between interrupts and
// how long the INT line is held, loaded by the Pentagon's own tape loader.
TEST(Beta128Run, PentagonFrameMeasuredByATimingProgram) {
  REQUIRE_BETA_ROMS();
  const auto tape = SharedFile("testdata/media/timing/minfo.tap");
  ORVO_REQUIRE_FILE(tape);
  RomLinks roms;
  int status = 0;
  const std::string out = Pentagon(
      roms, "--tape " + tape.string() + " --key 100:ENTER:3 --fastload --frames 2600", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Frame time: 71680"), std::string::npos) << out;
  EXPECT_NE(out.find("INT time: 36"), std::string::npos) << out;
}

// An SZX saved in the middle of a sector read (TR-DOS's INI loop) carries the interface, the
// controller's command in progress and the drive's image name: loaded into a plain 48K with no
// disk given, it fits the interface, puts the disk back and finishes the LOAD as the
// uninterrupted run does. Without the controller's block the read never finishes.
TEST(Beta128Run, SnapshotMidSectorReadRunsOnAsTheWholeRun) {
  REQUIRE_BETA_ROMS();
  RomLinks roms;
  const std::string disk = roms.dir / "snap.trd";
  int status = 0;
  std::string out = RunOrvo("--model 48 --beta128 --new-trd " + disk + " --trd-a " + disk +
                                " --type-frame 100 --type 'RANDOMIZE USR 15616\\n\\n"
                                "SAVE \"code\"CODE 0,100' --frames 600",
                            &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  const std::string typed =
      " --type-frame 100 --type 'RANDOMIZE USR 15616\\n\\nLOAD \"code\"CODE 40000\\n'";
  const std::string whole = roms.dir / "whole.bin";
  out = RunOrvo("--model 48 --beta128 --trd-a " + disk + typed + " --frames 400 --save-binary " +
                    whole + "@40000,100",
                &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  const std::vector<uint8_t> rom = ReadWholeFile(RomDir() / "extras/trdos.rom");
  ASSERT_EQ(ReadWholeFile(whole), std::vector<uint8_t>(rom.begin(), rom.begin() + 100));

  // The INI that takes the sector's first byte (B counts the bytes down from 0x80 pairs).
  const std::string snap = roms.dir / "mid.szx";
  out = RunOrvo("--model 48 --beta128 --trd-a " + disk + typed +
                    " --frames 400 --break 3FEC:B=#80 --save " + snap,
                &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  const std::string part = roms.dir / "part.bin";
  out = RunOrvo("--model 48 --load " + snap + " --frames 300 --screen-text --save-binary " + part +
                    "@40000,100",
                &status, roms.dir.path);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("O.K."), std::string::npos) << out;
  EXPECT_EQ(ReadWholeFile(part), ReadWholeFile(whole));

  // The same file without Orvo's controller block: the interface's registers alone.
  std::vector<uint8_t> bytes = ReadWholeFile(snap);
  std::vector<uint8_t> kept(bytes.begin(), bytes.begin() + 8);
  for (size_t at = 8; at + 8 <= bytes.size();) {
    const size_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 |
                        static_cast<size_t>(bytes[at + 7]) << 24;
    if (std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4) != "BDRV")
      kept.insert(kept.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + size));
    at += 8 + size;
  }
  ASSERT_LT(kept.size(), bytes.size()) << "the snapshot has a BDRV block";
  const std::string bare = roms.dir.Write(
      "bare.szx", std::string(reinterpret_cast<const char*>(kept.data()), kept.size()));
  out = RunOrvo("--model 48 --trd-a " + disk + " --load " + bare +
                    " --frames 300 --screen-text --save-binary " + part + "@40000,100",
                &status, roms.dir.path);
  EXPECT_NE(ReadWholeFile(part), ReadWholeFile(whole)) << out;
}

// A program of our own times the frame from one interrupt to the next (a HALT, then a loop of 35
// T-states until an IM 2 handler of fixed length runs): 1995 passes on the 48K's 69888 T-states,
// 2046 on the Pentagon's 71680 (each leaves the same 35-63 T-states of handler and start).
TEST(Beta128Run, PentagonFrameTimedByAHaltedLoop) {
  REQUIRE_BETA_ROMS();
  RomLinks roms;
  const std::string program = (DataDir() / "frame_count.asm").string();
  for (const auto& [model, passes] : {std::pair{"48", 1995}, std::pair{"pentagon", 2046}}) {
    SCOPED_TRACE(model);
    int status = 0;
    const std::string out = RunOrvo(std::string("--model ") + model + " --assemble " + program +
                                        " --run start --break done --frames 400",
                                    &status, roms.dir.path);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("\"hl\":" + std::to_string(passes) + ","), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace orvo::test
