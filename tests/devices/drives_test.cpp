// The disk controller against the uPD765A data sheet (the command and result bytes, ST0-ST3
// included, for the cases copy protections look at; formatting, writing and reading back are run
// whole on a +3 by orvo-run), and the Microdrives at the edges a ROM run does not reach.
#include <gtest/gtest.h>

#include <vector>

#include "devices/microdrive.h"
#include "devices/upd765.h"
#include "formats/mdr_format.h"

namespace orvo::test {
namespace {

// One 40-track, single-sided disk: track 0 holds sectors 1-9 of 512 bytes, each filled with its
// own R; the test edits sectors before inserting.
DiskImage NineSectorDisk() {
  DiskImage d = BlankDisk(40, 1);
  DiskTrack& t = d.tracks[0];
  t.formatted = true;
  for (uint8_t r = 1; r <= 9; ++r) {
    DiskSector s;
    s.r = r;
    s.n = 2;
    s.data.assign(512, r);
    t.sectors.push_back(s);
  }
  return d;
}

struct Fdc {
  Upd765 fdc;
  explicit Fdc(DiskImage disk, bool writeProtected = false) {
    fdc.InsertDisk(0, std::move(disk), writeProtected);
    fdc.SetMotorState(0x08);
  }
  void Command(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) fdc.DataPortWrite(b);
  }
  // Reads execution bytes while the status says so, then the result.
  std::vector<uint8_t> ReadAll(std::vector<uint8_t>* data = nullptr) {
    while (fdc.StatusPortRead() == 0xF0) {
      const uint8_t b = fdc.DataPortRead();
      if (data) data->push_back(b);
    }
    return Result();
  }
  std::vector<uint8_t> Result() {
    std::vector<uint8_t> r;
    while ((fdc.StatusPortRead() & 0xC0) == 0xC0) r.push_back(fdc.DataPortRead());
    return r;
  }
  // READ DATA (or another nine-byte command) of R..EOT on cylinder c.
  std::vector<uint8_t> Read(uint8_t code, uint8_t c, uint8_t r, uint8_t eot,
                            std::vector<uint8_t>* data = nullptr) {
    Command({code, 0x00, c, 0, r, 2, eot, 0x2A, 0xFF});
    return ReadAll(data);
  }
};

// Results of READ DATA / READ DELETED DATA for the cases protections test, as the data sheet
// gives them (the +3 has no terminal count, so a good read ends with "end of cylinder").
TEST(Upd765, ReadResultsFromTheDataSheet) {
  struct Case {
    const char* what;
    uint8_t code, r, eot;
    int sector;           // the sector edited, -1: none
    uint8_t st1, st2, c;  // its stored status bytes and ID cylinder
    std::vector<uint8_t> result;
    size_t bytes;
  };
  const Case cases[] = {
      {"over the end of the track", 0x06, 8, 9, -1, 0, 0, 0, {0x40, 0x80, 0, 1, 0, 1, 2}, 1024},
      {"missing sector", 0x06, 0x20, 0x20, -1, 0, 0, 0, {0x40, 0x04, 0, 0, 0, 0x20, 2}, 0},
      {"deleted, SK clear: stop", 0x06, 3, 9, 3, 0, 0x40, 0, {0x40, 0, 0x40, 0, 0, 4, 2}, 1024},
      {"deleted, SK set: skipped", 0x26, 4, 5, 3, 0, 0x40, 0, {0x40, 0x80, 0x40, 1, 0, 1, 2}, 512},
      {"READ DELETED of a normal", 0x0C, 1, 1, -1, 0, 0, 0, {0x40, 0, 0x40, 0, 0, 1, 2}, 512},
      {"CRC error in the data", 0x06, 2, 9, 1, 0x20, 0x20, 0, {0x40, 0x20, 0x20, 0, 0, 2, 2}, 512},
      {"no data address mark", 0x06, 1, 1, 0, 0, 0x01, 0, {0x40, 0x01, 0x01, 0, 0, 1, 2}, 0},
      {"wrong cylinder in the ID", 0x06, 1, 1, 0, 0, 0, 0xFF, {0x40, 0x04, 0x12, 0, 0, 1, 2}, 0},
  };
  for (const Case& c : cases) {
    DiskImage disk = NineSectorDisk();
    if (c.sector >= 0) {
      DiskSector& s = disk.tracks[0].sectors[static_cast<size_t>(c.sector)];
      s.st1 = c.st1, s.st2 = c.st2, s.c = c.c;
    }
    Fdc f(std::move(disk));
    std::vector<uint8_t> data;
    EXPECT_EQ(f.Read(c.code, 0, c.r, c.eot, &data), c.result) << c.what;
    EXPECT_EQ(data.size(), c.bytes) << c.what;
  }
}

TEST(Upd765, SeekRecalibrateAndSenseInterrupt) {
  Fdc f(NineSectorDisk());
  f.Command({0x08});  // nothing pending: invalid
  EXPECT_EQ(f.Result(), std::vector<uint8_t>({0x80}));
  f.Command({0x0F, 0x00, 50});  // beyond the last track of the image
  EXPECT_EQ(f.fdc.StatusPortRead(), 0x80);
  f.Command({0x08});
  EXPECT_EQ(f.Result(), std::vector<uint8_t>({0x20, 50}));
  f.Command({0x0A, 0x00});  // READ ID finds no address mark there
  EXPECT_EQ(f.Result(), std::vector<uint8_t>({0x40, 0x01, 0, 0, 0, 0, 0}));
  f.Command({0x07, 0x00});  // recalibrate: back at track 0, ready
  f.Command({0x04, 0x00});
  EXPECT_EQ(f.Result(), std::vector<uint8_t>({0x30}));
  f.Command({0x1F});  // not a command
  EXPECT_EQ(f.Result(), std::vector<uint8_t>({0x80}));
}

TEST(Upd765, NoDiskMotorOffAndWriteProtect) {
  Upd765 empty;
  empty.SetMotorState(0x08);
  for (uint8_t b : {0x06, 0x00, 0x00, 0x00, 0x01, 0x02, 0x01, 0x2A, 0xFF}) empty.DataPortWrite(b);
  EXPECT_EQ(empty.StatusPortRead(), 0xD0);
  EXPECT_EQ(empty.DataPortRead(), 0x48);  // abnormal, not ready

  Fdc stopped(NineSectorDisk());
  stopped.fdc.SetMotorState(0x00);
  EXPECT_EQ(stopped.Read(0x06, 0, 1, 1)[0], 0x48);

  Fdc locked(NineSectorDisk(), true);
  locked.Command({0x04, 0x01});  // drive B: is empty
  EXPECT_EQ(locked.Result(), std::vector<uint8_t>({0x11}));
  locked.Command({0x04, 0x00});
  EXPECT_EQ(locked.Result(), std::vector<uint8_t>({0x70}));
  locked.Command({0x45, 0x00, 0, 0, 1, 2, 1, 0x2A, 0xFF});
  EXPECT_EQ(locked.Result(), std::vector<uint8_t>({0x40, 0x02, 0, 0, 0, 1, 2}));
  EXPECT_FALSE(locked.fdc.Modified(0));
}

TEST(Upd765, WeakSectorCopiesReadInTurn) {
  DiskImage disk = NineSectorDisk();
  std::vector<uint8_t>& weak = disk.tracks[0].sectors[0].data;
  weak.assign(1536, 0);
  for (size_t i = 0; i < weak.size(); ++i) weak[i] = static_cast<uint8_t>(0xA0 + i / 512);
  Fdc f(std::move(disk));
  for (uint8_t copy : {0xA0, 0xA1, 0xA2, 0xA0}) {
    std::vector<uint8_t> data;
    f.Read(0x06, 0, 1, 1, &data);
    ASSERT_EQ(data.size(), 512u);
    EXPECT_EQ(data[100], copy);
  }
}

// With a clock the sector's bytes come at the drive's rate: the request bit follows each byte,
// a processor in time gets the whole sector, one that misses a byte (reading or writing) ends
// the command with overrun.
TEST(Upd765Timing, BytesAtTheDriveRateAndOverrun) {
  constexpr int64_t kByte = Upd765::kByteTStates;
  auto run = [](uint8_t code, int64_t pollEvery, int64_t stopAt, int64_t* lastByte = nullptr) {
    Fdc f(NineSectorDisk());
    for (uint8_t b : {code, uint8_t{0}, uint8_t{0}, uint8_t{0}, uint8_t{3}, uint8_t{2}, uint8_t{3},
                      uint8_t{0x2A}, uint8_t{0xFF}})
      f.fdc.DataPortWrite(b, 0);
    int64_t t = 0;
    for (uint8_t s; ((s = f.fdc.StatusPortRead(t)) & 0x20) != 0; t += pollEvery) {
      if ((s & 0x80) == 0 || t >= stopAt) continue;
      if (lastByte) *lastByte = t;
      if (s & 0x40)
        f.fdc.DataPortRead(t);
      else
        f.fdc.DataPortWrite(0xEE, t);
    }
    std::vector<uint8_t> r = f.Result();
    r.push_back(f.fdc.Disk(0).tracks[0].sectors[2].data[0]);
    return r;
  };
  int64_t last = 0;
  const auto inTime = run(0x06, 40, int64_t{1} << 40, &last);  // READ DATA polled every 40 T-states
  EXPECT_EQ(inTime[1], kSt1EndOfCylinder);
  EXPECT_GE(last, 512 * kByte);  // 512 bytes took 512 byte times
  EXPECT_LT(last, 513 * kByte);
  const auto lateRead = run(0x06, 40, 10 * kByte);
  EXPECT_EQ(lateRead[0] & 0xC0, kSt0Abnormal);
  EXPECT_EQ(lateRead[1], kSt1Overrun);
  const auto lateWrite = run(0x05, 40, 5 * kByte);  // WRITE DATA
  EXPECT_EQ(lateWrite[1], kSt1Overrun);
  EXPECT_EQ(lateWrite[7], 3);  // the sector on the disk is unchanged
}

// A cartridge whose tape byte at every position is the position's low byte.
MicrodriveState WithCartridge(int drive, bool writable) {
  MicrodriveState s;
  std::vector<uint8_t> image(kCartridgeImageSize);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  image.back() = writable ? 0 : 1;
  LoadCartridge(s, drive, std::move(image), "x.mdr", "x.mdr");
  return s;
}

// The ROM's way to select a drive: clock `count` pulses with data high through the chain, then
// latch with data low on the rising edge and select on the falling one.
void Select(MicrodriveState& s, int count) {
  for (int i = 0; i < count; ++i) {
    MicrodriveControlWrite(s, 3);
    MicrodriveControlWrite(s, 1);
  }
  MicrodriveControlWrite(s, 2);
  MicrodriveControlWrite(s, 0);
}

// Reading, writing and formatting through the Interface 1 ROM are run whole by orvo-run; these are
// the edges a ROM run does not reach.
TEST(Microdrive, SelectionProtectionAndOtherDrives) {
  for (int count : {0, 7}) {
    MicrodriveState s;
    Select(s, count);
    EXPECT_EQ(s.selected, 7 - count) << count;
  }
  MicrodriveState off;
  MicrodriveCommsWrite(off, 0);  // the drives are off: no pulse selects one
  Select(off, 3);
  EXPECT_EQ(off.selected, kNoDrive);

  MicrodriveState s = WithCartridge(0, false);
  EXPECT_EQ(MicrodriveStatusRead(s) & 1, 0) << "protected";
  // Another drive selected: reads give 0xFF and writes go nowhere.
  s.selected = 1;
  EXPECT_EQ(MicrodriveStatusRead(s), 0xFF);
  EXPECT_EQ(MicrodriveDataRead(s), 0xFF);
  MicrodriveDataWrite(s, 0xCC);
  EXPECT_EQ(s.drives[0].image[80], 80);
}

}  // namespace
}  // namespace orvo::test
