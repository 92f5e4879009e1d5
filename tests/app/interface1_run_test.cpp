// Interface 1 and Microdrives through orvo-run, as a user drives them: the ROM's own commands
// typed at the keyboard, cartridges written back to their files at the end of a run.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_paths.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kFullCartridge = 137923;

class Interface1Run : public ::testing::Test {
 protected:
  void SetUp() override {
    runner_ = BuildDir() / "orvo-run";
    dir_ = fs::temp_directory_path() / ("orvo-if1-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A writable copy of a shared cartridge (the shared files are read-only, which Orvo refuses).
  fs::path Copy(const std::string& relative) {
    const fs::path to = dir_ / fs::path(relative).filename();
    fs::copy_file(SharedFile(relative), to);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
  }

  std::string Run(const std::string& args, int* status, const fs::path& romDir = RomDir()) {
    return CaptureCommand(runner_.string() + " --rom-dir " + romDir.string() + " " + args + " 2>&1",
                          status);
  }

  fs::path runner_, dir_;
};

TEST_F(Interface1Run, LoadsAndRunsFromCartridgesAndWritesThemBack) {
  ORVO_REQUIRE_FILE(runner_);
  ORVO_REQUIRE_FILE(RomDir() / "IF1.rom");
  ORVO_REQUIRE_FILE(SharedFile("testdata/media/mdr/zesarux_testmicrodrive.mdr"));
  ORVO_REQUIRE_FILE(SharedFile("testdata/media/mdr/demo_cartridge.mdr"));
  ORVO_REQUIRE_FILE(SharedFile("testdata/media/tap/testmicrodrive.tap"));
  int status = -1;
  // The tape's program runs a program from the ten-sector cartridge in drive 1.
  const fs::path shortCart = Copy("testdata/media/mdr/zesarux_testmicrodrive.mdr");
  std::string out = Run("--mdr 1:" + shortCart.string() + " --tape " +
                            SharedFile("testdata/media/tap/testmicrodrive.tap").string() +
                            " --autoload --traps --frames 1500 --screen-text",
                        &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("RUN PROGRAM OK"), std::string::npos) << out;
  // The short file goes back at a full cartridge's size.
  EXPECT_EQ(fs::file_size(shortCart), kFullCartridge);

  // CAT lists the files of a full cartridge in drive 2; reading it changes nothing on disk.
  const fs::path demo = Copy("testdata/media/mdr/demo_cartridge.mdr");
  out = Run("--mdr 2:" + demo.string() + " --frames 600 --type 'CAT 2' --type-frame 150" +
                " --screen-text",
            &status);
  EXPECT_EQ(status, 0) << out;
  for (const char* name : {"INTRO2", "Dbase prog", "title SCREEN$", "0 OK, 0:1"})
    EXPECT_NE(out.find(name), std::string::npos) << name << "\n" << out;
  EXPECT_EQ(ReadWholeFile(demo),
            ReadWholeFile(SharedFile("testdata/media/mdr/demo_cartridge.mdr")));
}

TEST_F(Interface1Run, NewCartridgeFormatsSavesAndLoadsBack) {
  ORVO_REQUIRE_FILE(runner_);
  ORVO_REQUIRE_FILE(RomDir() / "IF1.rom");
  const fs::path cart = dir_ / "new.mdr";
  int status = -1;
  std::string out = Run("--mdr-new 1:" + cart.string() + " --frames 4000 --type-frame 150" +
                            " --type '10 PRINT \"SAVED BY ORVO\"\\nFORMAT \"m\";1;\"test\"" +
                            "\\nSAVE *\"m\";1;\"x\"'",
                        &status);
  EXPECT_EQ(status, 0) << out;
  ASSERT_EQ(fs::file_size(cart), kFullCartridge);
  EXPECT_EQ(ReadWholeFile(cart).back(), 0) << "the new cartridge is not protected";

  // Another run, another machine: the program comes back from the cartridge and runs.
  out = Run("--mdr 1:" + cart.string() + " --frames 2500 --type-frame 150" +
                " --type 'LOAD *\"m\";1;\"x\"\\nRUN' --screen-text",
            &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("SAVED BY ORVO"), std::string::npos) << out;
  EXPECT_NE(out.find("0 OK, 10:1"), std::string::npos) << out;
}

TEST_F(Interface1Run, NetworkAndRs232AnswerAsIdleLines) {
  ORVO_REQUIRE_FILE(runner_);
  ORVO_REQUIRE_FILE(RomDir() / "IF1.rom");
  // Printing to RS232 with nothing attached, reading it, broadcasting on the network and
  // listening to it all come back to BASIC.
  int status = -1;
  const std::string out =
      Run("--if1 --frames 3000 --type-frame 150 --screen-text --type '"
          "OPEN #4;\"t\": PRINT #4;\"X\": CLOSE #4: OPEN #4;\"b\": LET A$=INKEY$#4: CLOSE #4\\n"
          "OPEN #4;\"n\";0: PRINT #4;\"X\": CLOSE #4: OPEN #5;\"n\";3: LET A$=INKEY$#5\\n"
          "PRINT \"ALL DONE\"'",
          &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("ALL DONE"), std::string::npos) << out;
}

TEST_F(Interface1Run, RefusesBadRomsAndCartridges) {
  ORVO_REQUIRE_FILE(runner_);
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  ORVO_REQUIRE_FILE(RomDir() / "IF1.rom");
  const fs::path roms = dir_ / "roms";
  fs::create_directories(roms);
  fs::copy_file(RomDir() / "48k.rom", roms / "48k.rom");
  int status = -1;
  std::string out = Run("--if1", &status, roms);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("ROM missing"), std::string::npos) << out;
  std::ofstream(roms / "IF1.rom", std::ios::binary) << std::string(8191, 'x');
  out = Run("--if1", &status, roms);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("ROM file incorrect length"), std::string::npos) << out;

  // A cartridge that ends inside a sector, and one whose file may not be written.
  const fs::path corrupt = dir_ / "corrupt.mdr";
  std::ofstream(corrupt, std::ios::binary) << std::string(600, '\0');
  out = Run("--mdr 1:" + corrupt.string(), &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("Cartridge file is corrupt"), std::string::npos) << out;
  const fs::path locked = dir_ / "locked.mdr";
  std::ofstream(locked, std::ios::binary) << std::string(kFullCartridge, '\0');
  fs::permissions(locked, fs::perms::owner_read);
  out = Run("--mdr 1:" + locked.string(), &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("Cartridge file is read-only"), std::string::npos) << out;
}

}  // namespace
}  // namespace orvo::test
