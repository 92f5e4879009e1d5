// The +3 disk drive and Interface 1's Microdrives as a user runs them through orvo-run: disks
// booted from the Loader, formatted, written and read back from +3 BASIC, a side swapped
// mid-game, bad images refused; the ROM's own cartridge commands typed at the keyboard, and
// cartridges written back to their files at the end of a run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "formats/dsk_format.h"
#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

std::string RunPlus3(const std::string& args, int* status) {
  return RunOrvo("--model plus3 " + args, status);
}

std::string Disk(const char* name) {
  return SharedFile(std::string("testdata/media/disk/") + name).string();
}

class DiskRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_REQUIRE_RUNNER("plus3.rom");
    ORVO_REQUIRE_FILE(Disk("zesarux_testdsk.dsk"));
  }
  TempDir dir;
  int status = -1;
};

// ENTER on the menu's Loader, with and without fast loading, and "Disk autoload"; a damaged
// image put in mid-run is refused and leaves the disk in the drive, so the program runs on.
TEST_F(DiskRun, LoaderRunsTheTestDiskAndDamagedImagesAreRefused) {
  const auto whole = ReadWholeFile(Disk("zesarux_testdsk.dsk"));
  const std::string bad =
      dir.Write("truncated.dsk", std::string(whole.begin(), whole.begin() + 300));
  for (const std::string& how :
       {std::string("--key 100:ENTER:3"), std::string("--key 100:ENTER:3 --disk-fastload"),
        "--disk-autoload --disk-insert 1:a:" + bad}) {
    const std::string out = RunPlus3(
        "--disk-a " + Disk("zesarux_testdsk.dsk") + " --frames 1500 --screen-text " + how, &status);
    const bool withBad = how.find(bad) != std::string::npos;  // a refusal exits with 1
    EXPECT_EQ(WEXITSTATUS(status), withBad ? 1 : 0) << out;
    EXPECT_NE(out.find("RUN PROGRAM OK"), std::string::npos) << how << "\n" << out;
    EXPECT_EQ(out.find("Disk Error: Disk image damaged") != std::string::npos, withBad) << out;
  }
  const std::string out = RunPlus3("--disk-a " + bad, &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("Disk Error: Disk image damaged"), std::string::npos) << out;
  EXPECT_EQ(out.find("Disk A:"), std::string::npos) << out;
}

TEST_F(DiskRun, GamesBootPastTheLoader) {
  for (const char* game : {"dizzy7_crystal_kingdom_2017.dsk", "carlos_sainz_dataformat.dsk",
                           "romsna_jce.dsk", "ianna_side_a.dsk"}) {
    ORVO_REQUIRE_FILE(Disk(game));
    const std::string out = RunPlus3("--disk-a " + Disk(game) +
                                         " --key 100:ENTER:3 --disk-fastload --frames 3000 "
                                         "--screen-text --print-state",
                                     &status);
    EXPECT_EQ(status, 0) << game << out;
    // Neither the +3 menu nor a disk error: the game's own code runs.
    for (const char* text : {"Loader", "Insert tape", "not ready", "Disk error", "No disk"})
      EXPECT_EQ(out.find(text), std::string::npos) << game << ": " << text << "\n" << out;
    EXPECT_EQ(out.find("\"frames\":3000"), out.find("\"frames\"")) << game;
  }
  // Ianna's side A alone keeps asking for side 2; with side B put in, the game goes on.
  ORVO_REQUIRE_FILE(Disk("ianna_side_b.dsk"));
  const std::string base = "--disk-a " + Disk("ianna_side_a.dsk") +
                           " --key 100:ENTER:3 --frames 5000 --key 2500:A:10 --screenshot ";
  RunPlus3(base + dir / "a.png", &status);
  RunPlus3(base + dir / "b.png" + " --disk-insert 2000:a:" + Disk("ianna_side_b.dsk"), &status);
  EXPECT_EQ(status, 0);
  const auto waiting = ReadWholeFile(dir / "a.png");
  ASSERT_FALSE(waiting.empty());
  EXPECT_NE(waiting, ReadWholeFile(dir / "b.png"));
}

TEST_F(DiskRun, FormatSaveCatLoadRoundTrip) {
  const std::string disk = dir / "blank.dsk";
  const std::string basic =
      "--disk-a " + disk + " --key 150:CS+6:10 --key 200:ENTER:5 --type-frame 260 --frames 1500 ";
  std::string out =
      RunPlus3("--new-disk " + disk + " " + basic + "--type 'FORMAT \"a:\"'", &status);
  ASSERT_EQ(status, 0) << out;
  out = RunPlus3(basic + "--type '10 PRINT \"ORVO ROUND TRIP\"\\nSAVE \"x\" LINE 10' --screen-text",
                 &status);
  EXPECT_NE(out.find("0 OK"), std::string::npos) << out;
  out = RunPlus3(basic + "--type CAT --screen-text", &status);
  EXPECT_NE(out.find("X       .      1K"), std::string::npos) << out;
  out = RunPlus3(basic + "--type 'LOAD \"x\"' --screen-text", &status);
  EXPECT_NE(out.find("ORVO ROUND TRIP"), std::string::npos) << out;

  // An extended DSK with the +3 format, 40 tracks of nine 512-byte sectors, laid out as the
  // format's document says: the header, then the tracks its size table names, to the end of the
  // file. Nothing else was left in the folder.
  const auto bytes = ReadWholeFile(disk);
  ASSERT_GE(bytes.size(), 256u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 34),
            "EXTENDED CPC DSK File\r\nDisk-Info\r\n");
  size_t total = 256;
  for (int t = 0; t < bytes[0x30] * bytes[0x31]; ++t) {
    ASSERT_LT(total, bytes.size());
    EXPECT_EQ(std::string(bytes.begin() + total, bytes.begin() + total + 10), "Track-Info");
    total += bytes[0x34 + t] * 256u;
  }
  EXPECT_EQ(total, bytes.size());
  DiskImage image;
  ASSERT_TRUE(ParseDsk(bytes, image).Ok());
  EXPECT_EQ(image.cylinders, 40);
  for (const DiskTrack& t : image.tracks) {
    ASSERT_TRUE(t.formatted);
    EXPECT_EQ(t.sectors.size(), 9u);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

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
  // Nowhere else to find it: not beside the program, not in the data folders.
  const std::string missing = RunOrvoAlone(dir, "--if1", &status, roms);
  EXPECT_NE(status, 0);
  EXPECT_NE(missing.find("ROM missing\n\nIF1.rom\n\nLooked in:\n" + roms.string() + "/\n"),
            std::string::npos)
      << missing;
  dir.Write("roms/IF1.rom", std::string(8191, 'x'));
  refused("--if1", roms, "ROM file incorrect length");
  refused("--mdr 1:" + corrupt, RomDir(), "Cartridge file is corrupt");
  refused("--mdr 1:" + locked, RomDir(), "Cartridge file is read-only");
}

}  // namespace
}  // namespace orvo::test
