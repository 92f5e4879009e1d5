#pragma once
// The WD1793 floppy disk controller of the Beta 128 interface, with its four drives.
//
// The controller works on sectors, not on the flux of the track: each drive holds a TR-DOS disk
// image (formats/trd_format.h), whose tracks carry sectors 1-16 of 256 bytes, with ID fields
// naming the cylinder, side 0, the sector and size code 1. Type I commands move the head, type II
// read and write one sector (or several), type III read an address, read a track or write one
// (the FORMAT of a track: the ID and data fields of the written stream become its sectors), and
// type IV ends a command. Data bytes are ready as soon as the processor asks for them, so a
// transfer never loses data; the index pulse and the motor follow the emulated time.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/trd_format.h"

namespace orvo {

constexpr int kBetaDriveCount = 4;

// Status register bits.
constexpr uint8_t kWdBusy = 0x01;
constexpr uint8_t kWdIndex = 0x02;  // type I: the index hole is under the sensor
constexpr uint8_t kWdDrq = 0x02;    // types II and III: a data byte is wanted or ready
constexpr uint8_t kWdTrack0 = 0x04;
constexpr uint8_t kWdLostData = 0x04;
constexpr uint8_t kWdCrcError = 0x08;
constexpr uint8_t kWdSeekError = 0x10;
constexpr uint8_t kWdNotFound = 0x10;
constexpr uint8_t kWdHeadLoaded = 0x20;
constexpr uint8_t kWdWriteProtect = 0x40;
constexpr uint8_t kWdNotReady = 0x80;

// The Beta 128's system register (port 0xFF): written, it selects the drive (bits 0-1), holds
// the controller in reset while bit 2 is 0, loads the head (bit 3), selects the side (bit 4: 0 is
// the upper side) and the density (bit 6); read, bit 6 is DRQ and bit 7 INTRQ.
constexpr uint8_t kSystemReset = 0x04;
constexpr uint8_t kSystemSide = 0x10;

class Wd1793 {
 public:
  // The time base: T-states of the processor clock, counted from any origin.
  void SetClockRate(uint32_t tstatesPerSecond) { rate_ = tstatesPerSecond; }

  uint8_t ReadStatus(int64_t now);
  uint8_t ReadTrack() const { return track_; }
  uint8_t ReadSector() const { return sector_; }
  uint8_t ReadData(int64_t now);
  void WriteCommand(uint8_t value, int64_t now);
  void WriteTrack(uint8_t value) { track_ = value; }
  void WriteSector(uint8_t value) { sector_ = value; }
  void WriteData(uint8_t value, int64_t now);
  uint8_t ReadSystem(int64_t now);
  void WriteSystem(uint8_t value);

  // The controller's reset line (the machine's reset, or bit 2 of the system register low).
  void Reset();

  // Drives. A disk in memory, changed by what the controller writes.
  void InsertDisk(int drive, TrdDisk disk, bool writeProtect);
  void EjectDisk(int drive);
  bool DiskInserted(int drive) const;
  bool Modified(int drive) const;
  void ClearModified(int drive);
  const TrdDisk& Disk(int drive) const { return drives_[drive & 3].disk; }
  bool WriteProtected(int drive) const { return drives_[drive & 3].writeProtect; }
  // The disk's write-protect tab (an empty drive keeps none).
  void SetWriteProtect(int drive, bool on) {
    if (drives_[drive & 3].inserted) drives_[drive & 3].writeProtect = on;
  }
  int HeadCylinder(int drive) const { return drives_[drive & 3].cylinder; }

  // A command is running or the drive's motor still turns: the disk is being worked.
  bool Active(int64_t now) const;
  // The last command's status flags, whatever is running (for tests and the debugger).
  uint8_t StatusBits() const { return status_; }
  bool Intrq() const { return intrq_; }
  bool Drq() const { return drq_; }

  // The name of the image in a drive (its file, for snapshots: the disks themselves stay in
  // their files).
  void SetDiskName(int drive, std::string name) { drives_[drive & 3].name = std::move(name); }
  const std::string& DiskName(int drive) const { return drives_[drive & 3].name; }

  // The registers as the snapshot format's interface block keeps them.
  uint8_t SystemRegister() const { return system_; }
  uint8_t DataRegister() const { return data_; }
  bool SeekingOut() const { return direction_ < 0; }
  void RestoreRegisters(uint8_t system, uint8_t track, uint8_t sector, uint8_t data, uint8_t status,
                        bool seekingOut);
  // Everything else a command in progress needs to go on as it would have, and each drive's
  // head, write-protect tab, marker cylinders and image name (not the disks): a body of bytes
  // that LoadState takes back. False (and nothing changed) for a body it cannot read.
  void SaveState(std::vector<uint8_t>& out) const;
  bool LoadState(std::span<const uint8_t> body);
  static bool StateReadable(std::span<const uint8_t> body);
  // The images the drives held when the body was saved (empty: none).
  static bool DiskNamesInState(std::span<const uint8_t> body,
                               std::array<std::string, kBetaDriveCount>& names);

  // Moves every stored time back by `delta` (the frame loop's T-state counter wrapped).
  void ShiftClock(int64_t delta);

 private:
  struct Drive {
    TrdDisk disk;
    bool inserted = false;
    bool writeProtect = false;
    bool modified = false;
    int cylinder = 0;
    // The cylinder number a write track put in the ID fields of each track (cylinder * 2 +
    // side), where it differs from the track's own: the image keeps only the sectors' data, but
    // TR-DOS tells a two-sided drive by formatting the lower side with a marker cylinder and
    // reading it back.
    std::array<int16_t, kTrdMaxCylinders * 2> idCylinder{};
    std::string name;
  };
  int IdCylinder(const Drive& d, int side) const;
  enum class Phase : uint8_t { kIdle, kReadSector, kWriteSector, kReadBytes, kWriteTrack };

  Drive& Current() { return drives_[drive_]; }
  int Side() const { return (system_ & kSystemSide) ? 0 : 1; }
  bool IndexPulse(int64_t now) const;
  void TypeI(uint8_t command, int64_t now);
  void StartReadSector(int64_t now);
  void StartWriteSector();
  void FinishWriteSector();
  void FinishWriteTrack();
  // A write track whose first byte has not come by the index pulse that starts the track ends
  // there with lost data, having written nothing.
  void CheckWriteTrackStart(int64_t now);
  void Finish(uint8_t flags);
  uint8_t* FindSector(int cylinder, int side, uint8_t sector);

  std::array<Drive, kBetaDriveCount> drives_{};
  uint32_t rate_ = 3500000;
  uint8_t command_ = 0;
  uint8_t status_ = 0;
  uint8_t track_ = 0;
  uint8_t sector_ = 1;
  uint8_t data_ = 0;
  uint8_t system_ = 0;
  int drive_ = 0;
  int direction_ = 1;  // +1 in (towards the hub), -1 out
  bool typeI_ = true;  // the status register shows the type I bits
  bool intrq_ = false;
  bool drq_ = false;
  Phase phase_ = Phase::kIdle;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  int64_t motorUntil_ = 0;  // the motor turns until then (it stops 15 revolutions after a command)
  int64_t clockBase_ = 0;   // the time ShiftClock took away, so the disk turns on
  int64_t trackStartAt_ = 0;  // write track: the index pulse (time plus clockBase_) it starts at
};

}  // namespace orvo
