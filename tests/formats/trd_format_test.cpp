// TR-DOS disk images: TRD files of every geometry the information sector names, SCL files packed
// from known files and opened as a formatted disk holding them, and damaged files refused with the
// reason.
#include "formats/trd_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orvo::test {
namespace {

constexpr size_t kInfo = 8 * 256;  // the information sector: track 0, sector 9

TrdFile File(const char* name, char type, uint16_t start, size_t bytes, uint8_t seed) {
  TrdFile f;
  f.name = name;
  f.type = type;
  f.start = start;
  f.length = static_cast<uint16_t>(bytes);
  for (size_t i = 0; i < bytes; ++i) f.sectors.push_back(static_cast<uint8_t>(seed + i * 3));
  return f;
}

TEST(TrdFormat, BlankDiskIsWhatFormatLeaves) {
  const TrdDisk disk = BlankTrd("WORK");
  ASSERT_EQ(disk.data.size(), 80u * 2 * 16 * 256);
  const uint8_t* info = disk.data.data() + kInfo;
  EXPECT_EQ(info[0xE1], 0);  // first free sector
  EXPECT_EQ(info[0xE2], 1);  // on track 1
  EXPECT_EQ(info[0xE3], 0x16);
  EXPECT_EQ(info[0xE5] | (info[0xE6] << 8), 2544);
  EXPECT_EQ(info[0xE7], 0x10);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info + 0xF5), 8), "WORK    ");
  EXPECT_TRUE(TrdCatalogue(disk).empty());
}

TEST(TrdFormat, GeometryComesFromTheInformationSectorAndShortFilesArePadded) {
  const struct {
    uint8_t type;
    uint32_t cylinders, sides;
  } cases[] = {{0x16, 80, 2}, {0x17, 40, 2}, {0x18, 80, 1}, {0x19, 40, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.type));
    // Only the first track written, as tools save images of nearly empty disks.
    std::vector<uint8_t> bytes(16 * 256, 0);
    bytes[kInfo + 0xE3] = c.type;
    TrdDisk disk;
    ASSERT_TRUE(ParseTrd(bytes, disk).Ok());
    EXPECT_EQ(disk.cylinders, c.cylinders);
    EXPECT_EQ(disk.sides, c.sides);
    EXPECT_EQ(disk.data.size(), size_t{c.cylinders} * c.sides * 16 * 256);
    EXPECT_NE(disk.Sector(c.cylinders - 1, c.sides - 1, 16), nullptr);
    EXPECT_EQ(disk.Sector(c.cylinders, 0, 1), nullptr);
    EXPECT_EQ(disk.Sector(0, c.sides, 1), nullptr);
    EXPECT_EQ(disk.Sector(0, 0, 0), nullptr);
    EXPECT_EQ(disk.Sector(0, 0, 17), nullptr);
  }
  // Sectors run upper side, then lower, cylinder by cylinder.
  TrdDisk disk = BlankTrd();
  EXPECT_EQ(disk.Sector(1, 1, 2) - disk.data.data(), (3 * 16 + 1) * 256);
  // A file longer than its type says keeps its extra cylinders.
  std::vector<uint8_t> big(84 * 2 * 16 * 256, 0);
  big[kInfo + 0xE3] = 0x16;
  ASSERT_TRUE(ParseTrd(big, disk).Ok());
  EXPECT_EQ(disk.cylinders, 84u);
  EXPECT_EQ(WriteTrd(disk), big);
}

TEST(TrdFormat, DamagedTrdFilesAreRefused) {
  TrdDisk disk;
  EXPECT_EQ(ParseTrd({}, disk).error, FormatError::DiskGeometry);
  EXPECT_EQ(ParseTrd(std::vector<uint8_t>(1000, 0), disk).error, FormatError::DiskGeometry);
  EXPECT_EQ(ParseTrd(std::vector<uint8_t>(87 * 2 * 16 * 256, 0), disk).error,
            FormatError::DiskGeometry);
}

TEST(SclFormat, PackedFilesOpenAsADiskHoldingThem) {
  const std::vector<TrdFile> files = {File("boot", 'B', 120, 300, 1),
                                      File("screen", 'C', 16384, 6912, 7),
                                      File("empty", 'C', 32768, 0, 0)};
  const std::vector<uint8_t> scl = WriteScl(files);
  TrdDisk disk;
  ASSERT_TRUE(ParseScl(scl, disk).Ok());
  const std::vector<TrdFile> back = TrdCatalogue(disk);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].name);
    EXPECT_EQ(back[i].name.substr(0, files[i].name.size()), files[i].name);
    EXPECT_EQ(back[i].type, files[i].type);
    EXPECT_EQ(back[i].start, files[i].start);
    EXPECT_EQ(back[i].length, files[i].length);
    std::vector<uint8_t> padded = files[i].sectors;
    padded.resize((padded.size() + 255) / 256 * 256, 0);
    EXPECT_EQ(back[i].sectors, padded);
  }
  // The files follow each other from track 1; the information sector counts them and what is
  // left.
  const uint8_t* catalogue = disk.data.data();
  EXPECT_EQ(catalogue[14], 0);
  EXPECT_EQ(catalogue[15], 1);
  EXPECT_EQ(catalogue[16 + 14], 2);  // 300 bytes took two sectors
  EXPECT_EQ(catalogue[16 + 15], 1);
  const uint8_t* info = disk.data.data() + kInfo;
  EXPECT_EQ(info[0xE4], 3);
  EXPECT_EQ(info[0xE5] | (info[0xE6] << 8), 2544 - 2 - 27);
  EXPECT_EQ(info[0xE1], (2 + 27) % 16);
  EXPECT_EQ(info[0xE2], 1 + (2 + 27) / 16);
  // The sum at the end is not checked: files in circulation often carry a wrong one.
  std::vector<uint8_t> wrongSum = scl;
  wrongSum.back() ^= 0xFF;
  EXPECT_TRUE(ParseScl(wrongSum, disk).Ok());
}

TEST(SclFormat, DamagedSclFilesAreRefusedWithTheFileAtFault) {
  const std::vector<uint8_t> scl =
      WriteScl({File("one", 'C', 0, 512, 1), File("two", 'C', 0, 256, 2)});
  TrdDisk disk;
  std::vector<uint8_t> bad = scl;
  bad[0] = 's';
  EXPECT_EQ(ParseScl(bad, disk).error, FormatError::DiskSignature);
  EXPECT_EQ(ParseScl(std::vector<uint8_t>(scl.begin(), scl.begin() + 8), disk).error,
            FormatError::DiskSignature);
  // Headers cut short, then the second file's sectors.
  FormatStatus s = ParseScl(std::vector<uint8_t>(scl.begin(), scl.begin() + 20), disk);
  EXPECT_EQ(s.error, FormatError::DiskTrack);
  s = ParseScl(std::vector<uint8_t>(scl.begin(), scl.begin() + 9 + 28 + 512 + 100), disk);
  EXPECT_EQ(s.error, FormatError::DiskTrack);
  EXPECT_EQ(s.detail, 2u);
  // More than the catalogue holds, or more sectors than the disk.
  bad = scl;
  bad[8] = 129;
  EXPECT_EQ(ParseScl(bad, disk).error, FormatError::DiskGeometry);
  std::vector<TrdFile> many;
  for (int i = 0; i < 11; ++i) many.push_back(File("big", 'C', 0, 255 * 256, 0));
  EXPECT_EQ(ParseScl(WriteScl(many), disk).error, FormatError::DiskGeometry);
}

}  // namespace
}  // namespace orvo::test
