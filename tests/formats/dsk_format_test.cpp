// DSK and extended DSK images: a write and parse round trip that keeps every sector's oddities,
// and files that must be refused. (The shared images boot in the orvo-run disk tests.)
#include "formats/dsk_format.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orvo::test {
namespace {

TEST(DskFormat, WriteThenParseKeepsEverySector) {
  DiskImage d = BlankDisk(3, 2);
  DiskTrack& t = d.tracks[1];  // cylinder 0, side 1
  t.formatted = true;
  t.sizeCode = 3;
  t.filler = 0x11;
  DiskSector weak;
  weak.r = 0xC1;
  weak.n = 1;
  weak.st1 = 0x20;
  weak.st2 = 0x60;
  weak.data.assign(768, 0x5A);  // three copies of a 256-byte sector
  DiskSector small;
  small.c = 7;
  small.r = 0xC2;
  small.n = 6;
  small.data.assign(6144, 0x33);  // shorter than its size code says
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
  EXPECT_EQ(w.r, 0xC1);
  EXPECT_EQ(w.st1, 0x20);
  EXPECT_EQ(w.st2, 0x60);
  EXPECT_EQ(w.data, weak.data);
  EXPECT_EQ(back.tracks[1].sectors[1].c, 7);
  EXPECT_EQ(back.tracks[1].sectors[1].data, small.data);
}

TEST(DskFormat, StandardImageAndRefusals) {
  // A standard image: one track of two 256-byte sectors.
  std::vector<uint8_t> f(256 + 256 + 512, 0);
  std::memcpy(f.data(), "MV - CPCEMU Disk-File\r\nDisk-Info\r\n", 34);
  f[0x30] = 1;
  f[0x31] = 1;
  f[0x32] = 0x00;
  f[0x33] = 0x03;  // 768 bytes a track
  std::memcpy(f.data() + 256, "Track-Info\r\n", 12);
  f[256 + 0x14] = 1;
  f[256 + 0x15] = 2;
  f[256 + 0x18 + 2] = 1;
  f[256 + 0x18 + 3] = 1;
  f[256 + 0x20 + 2] = 2;
  f[256 + 0x20 + 3] = 1;
  f[512 + 256] = 0x77;  // first byte of sector 2
  DiskImage d;
  ASSERT_TRUE(ParseDsk(f, d).Ok());
  ASSERT_EQ(d.tracks[0].sectors.size(), 2u);
  EXPECT_EQ(d.tracks[0].sectors[1].data.size(), 256u);
  EXPECT_EQ(d.tracks[0].sectors[1].data[0], 0x77);

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
      {"track cut inside its information block", [](std::vector<uint8_t>& b) { b.resize(300); },
       FormatError::DiskTrack},
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

}  // namespace
}  // namespace orvo::test
