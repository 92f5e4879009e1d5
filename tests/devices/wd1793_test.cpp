// The Beta 128's WD1793 controller driven through its registers as TR-DOS drives it: the head
// moves, sectors read and write, a track is formatted, and every command ends with INTRQ, even
// one that is never fed its data.
#include "devices/wd1793.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "formats/trd_format.h"

namespace orvo::test {
namespace {

constexpr uint32_t kRate = 3500000;
constexpr int64_t kRevolution = kRate / 5;  // 300 rpm
constexpr uint8_t kUpperSide = kSystemReset | kSystemSide | 0x08;

struct Controller {
  explicit Controller(bool writeProtect = false) {
    wd.SetClockRate(kRate);
    TrdDisk disk = BlankTrd("TEST");
    for (uint32_t s = 1; s <= kTrdSectorsPerTrack; ++s) {
      uint8_t* p = disk.Sector(5, 0, s);
      for (uint32_t i = 0; i < kTrdSectorSize; ++i) p[i] = static_cast<uint8_t>(s * 16 + i);
    }
    disk.Sector(5, 1, 2)[0] = 0xEE;
    wd.InsertDisk(0, disk, writeProtect);
    wd.WriteSystem(kUpperSide);
  }
  // A type I command, finished at once.
  uint8_t Seek(uint8_t cylinder, uint8_t command = 0x18) {
    wd.WriteData(cylinder, now);
    wd.WriteCommand(command, now);
    return wd.ReadStatus(now);
  }
  std::vector<uint8_t> ReadSector(uint8_t sector) {
    wd.WriteSector(sector);
    wd.WriteCommand(0x80, now);
    std::vector<uint8_t> bytes;
    while (wd.Drq() && bytes.size() < 1000) bytes.push_back(wd.ReadData(now));
    return bytes;
  }
  Wd1793 wd;
  int64_t now = 1000;
};

TEST(Wd1793, TypeOneCommandsMoveTheHeadAndReportTrackZeroAndSeekErrors) {
  Controller c;
  c.wd.WriteData(5, c.now);
  c.wd.WriteCommand(0x18, c.now);
  EXPECT_TRUE(c.wd.Intrq());
  EXPECT_EQ(c.wd.ReadStatus(c.now) & (kWdBusy | kWdTrack0 | kWdSeekError), 0);
  EXPECT_EQ(c.wd.HeadCylinder(0), 5);
  EXPECT_EQ(c.wd.ReadTrack(), 5);
  // Step in with the track register updated, then step out the same way twice ("step" repeats
  // the last direction).
  c.wd.WriteCommand(0x58, c.now);
  EXPECT_EQ(c.wd.ReadTrack(), 6);
  c.wd.WriteCommand(0x78, c.now);
  c.wd.WriteCommand(0x38, c.now);
  EXPECT_EQ(c.wd.ReadTrack(), 4);
  EXPECT_EQ(c.wd.HeadCylinder(0), 4);
  // Restore: cylinder 0 and the TRACK 0 bit.
  c.wd.WriteCommand(0x08, c.now);
  EXPECT_NE(c.wd.ReadStatus(c.now) & kWdTrack0, 0);
  EXPECT_EQ(c.wd.ReadTrack(), 0);
  // A verified seek past the disk's last cylinder finds no ID field there.
  EXPECT_NE(c.Seek(84, 0x1C) & kWdSeekError, 0);
  // The head cannot step out past cylinder 0.
  c.wd.WriteCommand(0x08, c.now);
  c.wd.WriteCommand(0x68, c.now);
  EXPECT_EQ(c.wd.HeadCylinder(0), 0);
}

TEST(Wd1793, ReadsSectorsOfTheSelectedSideAndReportsMissingOnes) {
  Controller c;
  c.Seek(5);
  const std::vector<uint8_t> bytes = c.ReadSector(3);
  ASSERT_EQ(bytes.size(), kTrdSectorSize);
  EXPECT_EQ(bytes[0], 0x30);
  EXPECT_EQ(bytes[255], static_cast<uint8_t>(0x30 + 255));
  EXPECT_EQ(c.wd.ReadStatus(c.now) & (kWdBusy | kWdDrq | kWdNotFound), 0);
  EXPECT_EQ(c.wd.ReadSystem(c.now) & 0xC0, 0) << "status read clears INTRQ";

  // Bit 4 of the system register low: the lower side.
  c.wd.WriteSystem(kUpperSide & ~kSystemSide);
  EXPECT_EQ(c.ReadSector(2).at(0), 0xEE);
  c.wd.WriteSystem(kUpperSide);

  // No sector 17, and no match when the track register names another cylinder.
  EXPECT_TRUE(c.ReadSector(17).empty());
  EXPECT_NE(c.wd.ReadStatus(c.now) & kWdNotFound, 0);
  c.wd.WriteTrack(6);
  EXPECT_TRUE(c.ReadSector(1).empty());
  EXPECT_NE(c.wd.ReadStatus(c.now) & kWdNotFound, 0);

  // No disk in drive B: not ready.
  c.wd.WriteSystem(kUpperSide | 1);
  EXPECT_NE(c.wd.ReadStatus(c.now) & kWdNotReady, 0);
}

TEST(Wd1793, WritesSectorsUnlessTheDiskIsWriteProtected) {
  for (const bool protect : {false, true}) {
    SCOPED_TRACE(protect ? "write-protected" : "writable");
    Controller c(protect);
    c.Seek(5);
    c.wd.WriteSector(7);
    c.wd.WriteCommand(0xA0, c.now);
    for (int i = 0; i < 256 && c.wd.Drq(); ++i) c.wd.WriteData(static_cast<uint8_t>(~i), c.now);
    const uint8_t status = c.wd.ReadStatus(c.now);
    EXPECT_EQ(status & kWdBusy, 0);
    EXPECT_EQ((status & kWdWriteProtect) != 0, protect);
    EXPECT_EQ(c.wd.Modified(0), !protect);
    EXPECT_EQ(c.wd.Disk(0).Sector(5, 0, 7)[1], protect ? 0x71 : 0xFE);
    EXPECT_EQ(c.wd.Disk(0).Sector(5, 0, 8)[0], 0x80) << "the next sector is left alone";
  }
}

// The stream TR-DOS's FORMAT writes for one track: gaps, then for each sector the ID field and
// the data field.
std::vector<uint8_t> FormatStream(uint8_t cylinder, uint8_t fill) {
  std::vector<uint8_t> s(80, 0x4E);
  for (uint8_t sector = 1; sector <= 16; ++sector) {
    s.insert(s.end(), 12, 0x00);
    s.insert(s.end(), {0xF5, 0xF5, 0xF5, 0xFE, cylinder, 0, sector, 1, 0xF7});
    s.insert(s.end(), 22, 0x4E);
    s.insert(s.end(), 12, 0x00);
    s.insert(s.end(), {0xF5, 0xF5, 0xF5, 0xFB});
    s.insert(s.end(), 256, fill);
    s.push_back(0xF7);
    s.insert(s.end(), 50, 0x4E);
  }
  return s;
}

TEST(Wd1793, WriteTrackFormatsTheSectorsItsStreamNamesAndEndsAtTheIndexWhenNotFed) {
  Controller c;
  c.Seek(5);
  c.wd.WriteCommand(0xF4, c.now);
  for (uint8_t b : FormatStream(5, 0xE5)) {
    if (!c.wd.Drq()) break;
    c.wd.WriteData(b, c.now);
  }
  while (c.wd.Drq()) c.wd.WriteData(0x4E, c.now);  // the gap to the index
  EXPECT_EQ(c.wd.ReadStatus(c.now) & (kWdBusy | kWdLostData), 0);
  EXPECT_EQ(c.wd.Disk(0).Sector(5, 0, 1)[0], 0xE5);
  EXPECT_EQ(c.wd.Disk(0).Sector(5, 0, 16)[255], 0xE5);
  EXPECT_EQ(c.wd.Disk(0).Sector(5, 1, 2)[0], 0xEE) << "the other side is another track";

  // ID fields naming another cylinder (TR-DOS's test for a second side): a read address finds
  // them, and a read sector by the head's own cylinder does not.
  c.wd.WriteSystem(kUpperSide & ~kSystemSide);
  c.wd.WriteCommand(0xF4, c.now);
  for (uint8_t b : FormatStream(77, 0x11)) c.wd.WriteData(b, c.now);
  while (c.wd.Drq()) c.wd.WriteData(0x4E, c.now);
  c.wd.WriteCommand(0xC0, c.now);
  EXPECT_EQ(c.wd.ReadData(c.now), 77);
  EXPECT_EQ(c.wd.ReadData(c.now), 1) << "the side";
  while (c.wd.Drq()) c.wd.ReadData(c.now);
  EXPECT_TRUE(c.ReadSector(1).empty());
  c.wd.WriteTrack(77);
  EXPECT_EQ(c.ReadSector(1).at(0), 0x11);
  c.wd.WriteTrack(5);
  c.wd.WriteSystem(kUpperSide);

  // A write track that is never given a byte: the controller waits for the index hole, finds
  // no data, and ends with lost data and an interrupt, having written nothing.
  const std::vector<uint8_t> before = c.wd.Disk(0).data;
  c.wd.WriteCommand(0xF4, c.now);
  EXPECT_NE(c.wd.ReadStatus(c.now + 10) & kWdBusy, 0);
  EXPECT_EQ(c.wd.ReadSystem(c.now + 10) & 0x80, 0);
  const int64_t later = c.now + kRevolution;
  EXPECT_EQ(c.wd.ReadSystem(later) & 0x80, 0x80) << "INTRQ";
  const uint8_t status = c.wd.ReadStatus(later);
  EXPECT_EQ(status & kWdBusy, 0);
  EXPECT_NE(status & kWdLostData, 0);
  EXPECT_EQ(c.wd.Disk(0).data, before);

  // Write-protected: refused at once.
  Controller p(true);
  p.wd.WriteCommand(0xF4, p.now);
  EXPECT_EQ(p.wd.ReadStatus(p.now) & (kWdBusy | kWdWriteProtect), kWdWriteProtect);
}

TEST(Wd1793, ForceInterruptStopsACommandAndResetRestoresTheHead) {
  Controller c;
  c.Seek(5);
  c.wd.WriteSector(1);
  c.wd.WriteCommand(0x80, c.now);
  c.wd.ReadData(c.now);
  c.wd.WriteCommand(0xD0, c.now);
  EXPECT_FALSE(c.wd.Drq());
  EXPECT_EQ(c.wd.ReadStatus(c.now) & kWdBusy, 0);
  // A new command is taken again.
  EXPECT_EQ(c.ReadSector(2).size(), kTrdSectorSize);

  // Bit 2 of the system register low holds the controller in reset: the head goes home.
  c.wd.WriteSystem(kUpperSide & ~kSystemReset);
  EXPECT_EQ(c.wd.HeadCylinder(0), 0);
  EXPECT_EQ(c.wd.ReadTrack(), 0);
  // Index pulses come once a revolution while the motor runs, and not once it stops.
  c.wd.WriteSystem(kUpperSide);
  c.wd.WriteCommand(0x08, 0);
  int pulses = 0;
  bool last = false;
  for (int64_t t = 0; t < 2 * kRevolution; t += 1000) {
    const bool index = (c.wd.ReadStatus(t) & kWdIndex) != 0;
    pulses += index && !last;
    last = index;
  }
  EXPECT_EQ(pulses, 2);
  EXPECT_EQ(c.wd.ReadStatus(20 * kRevolution) & kWdIndex, 0);
}

}  // namespace
}  // namespace orvo::test

namespace orvo::test {
namespace {

// A sector read stopped half way, saved and taken back by a controller holding the same disk,
// goes on with the next byte; a body cut short anywhere is refused and changes nothing.
TEST(Wd1793, StateSavedMidReadGoesOnAndACutBodyIsRefused) {
  Controller c;
  c.Seek(5);
  c.wd.SetDiskName(0, "five.trd");
  c.wd.WriteSector(3);
  c.wd.WriteCommand(0x80, c.now);
  for (int i = 0; i < 10; ++i) c.wd.ReadData(c.now);
  std::vector<uint8_t> body;
  c.wd.SaveState(body);

  Controller other;
  other.wd.SetDiskName(0, "five.trd");
  for (size_t cut = 0; cut < body.size(); cut += 7) {
    EXPECT_FALSE(other.wd.LoadState(std::span(body).first(cut))) << cut;
  }
  EXPECT_TRUE(other.wd.Drq() == false && other.wd.HeadCylinder(0) == 0) << "nothing changed";
  ASSERT_TRUE(other.wd.LoadState(body));
  EXPECT_EQ(other.wd.HeadCylinder(0), 5);
  EXPECT_TRUE(other.wd.Drq());
  EXPECT_EQ(other.wd.ReadData(other.now), 3 * 16 + 10);
  std::array<std::string, kBetaDriveCount> names;
  ASSERT_TRUE(Wd1793::DiskNamesInState(body, names));
  EXPECT_EQ(names[0], "five.trd");
  EXPECT_EQ(names[1], "");
}

}  // namespace
}  // namespace orvo::test
