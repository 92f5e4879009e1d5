// Disk and cartridge images. DSK and extended DSK: a write and parse round trip that keeps every
// sector's oddities, and files that must be refused. (The shared images boot in the orvo-run disk
// tests.)
#include "formats/dsk_format.h"

#include <gtest/gtest.h>

#include <tuple>

#include "formats/mdr_format.h"

namespace orvo::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DskFormat, WriteThenParseKeepsEverySector) {
  DiskImage d = BlankDisk(3, 2);
  DiskTrack& t = d.tracks[1];  // cylinder 0, side 1
  t.formatted = true;
  t.sizeCode = 3;
  t.filler = 0x11;
  // Three copies of a 256-byte sector; a sector shorter than its size code says.
  const DiskSector weak{.r = 0xC1, .n = 1, .st1 = 0x20, .st2 = 0x60, .data = Bytes(768, 0x5A)};
  const DiskSector small{.c = 7, .r = 0xC2, .n = 6, .data = Bytes(6144, 0x33)};
  t.sectors = {weak, small};

  DiskImage back;
  ASSERT_TRUE(ParseDsk(WriteDsk(d), back).Ok());
  EXPECT_EQ(back.cylinders, 3);
  EXPECT_EQ(back.sides, 2);
  EXPECT_FALSE(back.tracks[0].formatted);
  ASSERT_TRUE(back.tracks[1].formatted);
  EXPECT_EQ(back.tracks[1].filler, 0x11);
  ASSERT_EQ(back.tracks[1].sectors.size(), 2u);
  const DiskSector& w = back.tracks[1].sectors[0];
  EXPECT_EQ(std::tuple(w.r, w.st1, w.st2), std::tuple(0xC1, 0x20, 0x60));
  EXPECT_EQ(w.data, weak.data);
  EXPECT_EQ(back.tracks[1].sectors[1].c, 7);
  EXPECT_EQ(back.tracks[1].sectors[1].data, small.data);
}

// (Standard images boot in the orvo-run disk tests.)
TEST(DskFormat, Refusals) {
  const std::vector<uint8_t> f = WriteDsk(BlankDisk(1, 1));
  struct Bad {
    const char* what;
    void (*edit)(std::vector<uint8_t>&);
    FormatError error;
  };
  const Bad bads[] = {
      {"signature", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, FormatError::DiskSignature},
      {"short header", [](std::vector<uint8_t>& b) { b.resize(100); }, FormatError::DiskSignature},
      {"no sides", [](std::vector<uint8_t>& b) { b[0x31] = 0; }, FormatError::DiskGeometry},
      {"too many tracks", [](std::vector<uint8_t>& b) { b[0x30] = 150, b[0x31] = 2; },
       FormatError::DiskGeometry},
  };
  for (const Bad& bad : bads) {
    std::vector<uint8_t> copy = f;
    bad.edit(copy);
    DiskImage out;
    out.cylinders = 9;
    EXPECT_EQ(ParseDsk(copy, out).error, bad.error) << bad.what;
    EXPECT_EQ(out.cylinders, 9) << bad.what;  // untouched
  }
}

// ---- MDR cartridges ----

TEST(MdrFormat, RefusesFilesThatAreNotWholeSectors) {
  std::vector<uint8_t> image{1, 2, 3};
  for (size_t size : {size_t{0}, size_t{1}, size_t{542}, size_t{600}, kMdrFileSize + 1,
                      kMdrFileSize + kMdrSectorBytes}) {
    const std::vector<uint8_t> file(size, 0);
    const FormatStatus s = ParseMdr(file, image);
    EXPECT_EQ(s.error, FormatError::CartridgeLength) << size;
  }
  EXPECT_EQ(image.size(), 3u) << "a refused file leaves the image alone";
}

TEST(MdrFormat, ShortFileFillsItsSectorsAndSavesAtFullSize) {
  // Two sectors marked by their number, with and without the protect byte after them.
  std::vector<uint8_t> file(2 * kMdrSectorBytes);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(1 + i / kMdrSectorBytes);
  std::vector<uint8_t> image;
  ASSERT_TRUE(ParseMdr(file, image).Ok());
  ASSERT_EQ(image.size(), kCartridgeImageSize);
  EXPECT_EQ(image[kSlotHeaderOffset - 1], 0);  // preamble
  EXPECT_EQ(image[kSlotHeaderOffset], 1);
  EXPECT_EQ(image[kSlotHeaderOffset + kMdrHeaderBytes], 0);  // gap
  EXPECT_EQ(image[kSlotDataOffset + kMdrDataBytes - 1], 1);
  EXPECT_EQ(image[kSlotBytes + kSlotDataOffset], 2);
  EXPECT_EQ(image[2 * kSlotBytes + kSlotHeaderOffset], 0);  // a missing sector is blank
  EXPECT_EQ(image.back(), 0) << "no protect byte: writable";
  file.push_back(1);
  ASSERT_TRUE(ParseMdr(file, image).Ok());
  EXPECT_EQ(image.back(), 1);

  const std::vector<uint8_t> out = WriteMdr(image);
  ASSERT_EQ(out.size(), kMdrFileSize);
  EXPECT_TRUE(std::equal(file.begin(), file.end() - 1, out.begin()));
  EXPECT_EQ(out[file.size() - 1], 0);
  EXPECT_EQ(out.back(), 1);
}

}  // namespace
}  // namespace orvo::test
