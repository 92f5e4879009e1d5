// The +3 disk drive as a user runs it through orvo-run: disks booted from the Loader, a disk
// formatted, written and read back from +3 BASIC, a side swapped mid-game, bad images refused.
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

}  // namespace
}  // namespace orvo::test
