// The +3 disk drive as a user runs it through orvo-run: disks booted from the Loader, a disk
// formatted, written and read back from +3 BASIC, a side swapped mid-game, bad images refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/dsk_format.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

std::string RunPlus3(const std::string& args, int* status) {
  const std::string command = (BuildDir() / "orvo-run").string() + " --model plus3 --rom-dir " +
                              RomDir().string() + " " + args + " 2>&1";
  return CaptureCommand(command, status);
}

std::string Disk(const char* name) {
  return SharedFile(std::string("testdata/media/disk/") + name).string();
}

#define REQUIRE_DISK_RUN()                    \
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run"); \
  ORVO_REQUIRE_FILE(RomDir() / "plus3.rom");  \
  ORVO_REQUIRE_FILE(Disk("zesarux_testdsk.dsk"))

TEST(DiskRun, LoaderRunsTheTestDisk) {
  REQUIRE_DISK_RUN();
  // ENTER on the menu's Loader, with and without fast loading, and "Disk autoload".
  for (const char* how :
       {"--key 100:ENTER:3", "--key 100:ENTER:3 --disk-fastload", "--disk-autoload"}) {
    int status = -1;
    const std::string out = RunPlus3(
        "--disk-a " + Disk("zesarux_testdsk.dsk") + " --frames 1500 --screen-text " + how, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("RUN PROGRAM OK"), std::string::npos) << how << "\n" << out;
  }
}

TEST(DiskRun, GamesBootPastTheLoader) {
  REQUIRE_DISK_RUN();
  const char* games[] = {"dizzy7_crystal_kingdom_2017.dsk", "carlos_sainz_dataformat.dsk",
                         "romsna_jce.dsk", "ianna_side_a.dsk"};
  for (const char* game : games) {
    ORVO_REQUIRE_FILE(Disk(game));
    int status = -1;
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
}

TEST(DiskRun, IannaGoesOnWithSideB) {
  REQUIRE_DISK_RUN();
  ORVO_REQUIRE_FILE(Disk("ianna_side_b.dsk"));
  const fs::path tmp = fs::temp_directory_path();
  const std::string base = "--disk-a " + Disk("ianna_side_a.dsk") +
                           " --key 100:ENTER:3 --frames 5000 --key 2500:A:10 --screenshot ";
  int status = -1;
  RunPlus3(base + (tmp / "orvo_ianna_a.png").string(), &status);
  RunPlus3(base + (tmp / "orvo_ianna_b.png").string() +
               " --disk-insert 2000:a:" + Disk("ianna_side_b.dsk"),
           &status);
  EXPECT_EQ(status, 0);
  const auto waiting = ReadWholeFile(tmp / "orvo_ianna_a.png");
  const auto playing = ReadWholeFile(tmp / "orvo_ianna_b.png");
  ASSERT_FALSE(waiting.empty());
  EXPECT_NE(waiting, playing);  // side A alone keeps asking for side 2
}

TEST(DiskRun, FormatSaveCatLoadRoundTrip) {
  REQUIRE_DISK_RUN();
  const fs::path dir = fs::temp_directory_path() / "orvo_disk_round_trip";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string disk = (dir / "blank.dsk").string();
  const std::string basic =
      "--disk-a " + disk + " --key 150:CS+6:10 --key 200:ENTER:5 --type-frame 260 --frames 1500 ";
  int status = -1;
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

  // The file is an extended DSK with the +3 format: 40 tracks of nine 512-byte sectors, and
  // nothing else was left in the folder.
  // As the format's document lays the file out: the header, then the tracks the size table
  // names, one after the other to the end of the file.
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
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

TEST(DiskRun, DamagedImagesAreRefused) {
  REQUIRE_DISK_RUN();
  const fs::path bad = fs::temp_directory_path() / "orvo_truncated.dsk";
  auto bytes = ReadWholeFile(Disk("zesarux_testdsk.dsk"));
  bytes.resize(300);
  FILE* f = std::fopen(bad.string().c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  int status = -1;
  const std::string out = RunPlus3("--disk-a " + bad.string(), &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("Disk Error: Disk image damaged"), std::string::npos) << out;
  EXPECT_EQ(out.find("Disk A:"), std::string::npos) << out;
  // A damaged image put in mid-run leaves the disk in the drive: the Loader runs on as before.
  const std::string run =
      "--disk-a " + Disk("zesarux_testdsk.dsk") + " --disk-autoload --frames 400 --print-state";
  const auto state = [](const std::string& text) { return text.substr(text.rfind("{\"model\"")); };
  const std::string expected = state(RunPlus3(run, &status));
  const std::string withBad = RunPlus3(run + " --disk-insert 1:a:" + bad.string(), &status);
  EXPECT_NE(withBad.find("Disk Error: Disk image damaged"), std::string::npos) << withBad;
  EXPECT_EQ(state(withBad), expected);
  fs::remove(bad);
}

}  // namespace
}  // namespace orvo::test
