// Interface 1 and Microdrives through orvo-run, as a user drives them: the ROM's own commands
// typed at the keyboard, cartridges written back to their files at the end of a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kFullCartridge = 137923;

class Interface1Run : public ::testing::Test {
 protected:
  void SetUp() override { ORVO_REQUIRE_RUNNER("IF1.rom"); }
  // A writable copy of a shared cartridge (the shared files are read-only, which Orvo refuses).
  std::string Copy(const std::string& relative) {
    const fs::path to = dir.path / fs::path(relative).filename();
    fs::copy_file(SharedFile(relative), to);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to.string();
  }
  TempDir dir;
  int status = -1;
};

TEST_F(Interface1Run, LoadsAndRunsFromCartridgesAndWritesThemBack) {
  const char* const demo = "testdata/media/mdr/demo_cartridge.mdr";
  const char* const shortCart = "testdata/media/mdr/zesarux_testmicrodrive.mdr";
  const char* const tape = "testdata/media/tap/testmicrodrive.tap";
  for (const char* file : {demo, shortCart, tape}) ORVO_REQUIRE_FILE(SharedFile(file));
  // The tape's program runs a program from the ten-sector cartridge in drive 1.
  const std::string cart = Copy(shortCart);
  std::string out = RunOrvo("--mdr 1:" + cart + " --tape " + SharedFile(tape).string() +
                                " --autoload --traps --frames 1500 --screen-text",
                            &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("RUN PROGRAM OK"), std::string::npos) << out;
  // The short file goes back at a full cartridge's size.
  EXPECT_EQ(fs::file_size(cart), kFullCartridge);

  // CAT lists the files of a full cartridge in drive 2; reading it changes nothing on disk.
  const std::string copy = Copy(demo);
  out = RunOrvo("--mdr 2:" + copy + " --frames 600 --type 'CAT 2' --type-frame 150 --screen-text",
                &status);
  EXPECT_EQ(status, 0) << out;
  for (const char* name : {"INTRO2", "Dbase prog", "title SCREEN$", "0 OK, 0:1"})
    EXPECT_NE(out.find(name), std::string::npos) << name << "\n" << out;
  EXPECT_EQ(ReadWholeFile(copy), ReadWholeFile(SharedFile(demo)));
}

TEST_F(Interface1Run, NewCartridgeFormatsSavesAndLoadsBack) {
  const std::string cart = dir / "new.mdr";
  std::string out = RunOrvo("--mdr-new 1:" + cart + " --frames 4000 --type-frame 150" +
                                " --type '10 PRINT \"SAVED BY ORVO\"\\nFORMAT \"m\";1;\"test\"" +
                                "\\nSAVE *\"m\";1;\"x\"'",
                            &status);
  EXPECT_EQ(status, 0) << out;
  ASSERT_EQ(fs::file_size(cart), kFullCartridge);
  EXPECT_EQ(ReadWholeFile(cart).back(), 0) << "the new cartridge is not protected";

  // Another run, another machine: the program comes back from the cartridge and runs.
  out = RunOrvo("--mdr 1:" + cart +
                    " --frames 2500 --type-frame 150 --type 'LOAD *\"m\";1;\"x\"\\nRUN' "
                    "--screen-text",
                &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("SAVED BY ORVO"), std::string::npos) << out;
  EXPECT_NE(out.find("0 OK, 10:1"), std::string::npos) << out;
}

TEST_F(Interface1Run, NetworkAndRs232AnswerAsIdleLines) {
  // Printing to RS232 with nothing attached, reading it, broadcasting on the network and
  // listening to it all come back to BASIC.
  const std::string out = RunOrvo(
      "--if1 --frames 3000 --type-frame 150 --screen-text --type '"
      "OPEN #4;\"t\": PRINT #4;\"X\": CLOSE #4: OPEN #4;\"b\": LET A$=INKEY$#4: CLOSE #4\\n"
      "OPEN #4;\"n\";0: PRINT #4;\"X\": CLOSE #4: OPEN #5;\"n\";3: LET A$=INKEY$#5\\n"
      "PRINT \"ALL DONE\"'",
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("ALL DONE"), std::string::npos) << out;
}

TEST_F(Interface1Run, RefusesBadRomsAndCartridges) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const fs::path roms = dir.path / "roms";
  fs::create_directories(roms);
  fs::copy_file(RomDir() / "48k.rom", roms / "48k.rom");
  const std::string corrupt = dir.Write("corrupt.mdr", std::string(600, '\0'));  // ends mid-sector
  const std::string locked = dir.Write("locked.mdr", std::string(kFullCartridge, '\0'));
  fs::permissions(locked, fs::perms::owner_read);
  const auto refused = [&](const std::string& args, const fs::path& romDir, const char* message) {
    const std::string out = RunOrvo(args, &status, romDir);
    EXPECT_NE(status, 0) << message;
    EXPECT_NE(out.find(message), std::string::npos) << out;
  };
  refused("--if1", roms, "ROM missing");
  dir.Write("roms/IF1.rom", std::string(8191, 'x'));
  refused("--if1", roms, "ROM file incorrect length");
  refused("--mdr 1:" + corrupt, RomDir(), "Cartridge file is corrupt");
  refused("--mdr 1:" + locked, RomDir(), "Cartridge file is read-only");
}

}  // namespace
}  // namespace orvo::test
