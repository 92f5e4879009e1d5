#pragma once
// The NEC uPD765A floppy disk controller with two drives, as the +3 wires it: programmed I/O (no
// DMA, no interrupt line), the terminal count line not connected, so every read and write runs
// to the end of its track and ends with "end of cylinder", and only US0 decoded (drives 0 and 2,
// 1 and 3 are the same drive).
//
// The processor talks to it through two registers: the main status register (read only) and the
// data register. A command is written byte by byte while the status says "request for master"
// with the direction bit clear; a command that moves data then enters its execution phase, in
// which the processor reads or writes one byte per request; then the result bytes are read with
// the direction bit set. The drives hold disk images in memory; the controller changes them as
// the processor writes and notes which drive's image has changed.
#include <array>
#include <cstdint>
#include <vector>

#include "formats/dsk_format.h"

namespace orvo {

// Main status register bits.
inline constexpr uint8_t kFdcRequest = 0x80;    // RQM: the data register is ready
inline constexpr uint8_t kFdcToCpu = 0x40;      // DIO: the next transfer is controller -> CPU
inline constexpr uint8_t kFdcExecution = 0x20;  // EXM: execution phase
inline constexpr uint8_t kFdcBusy = 0x10;       // CB: a command is in progress

// Status register 0-3 bits.
inline constexpr uint8_t kSt0Abnormal = 0x40, kSt0Invalid = 0x80, kSt0SeekEnd = 0x20,
                         kSt0NotReady = 0x08;
inline constexpr uint8_t kSt1EndOfCylinder = 0x80, kSt1DataError = 0x20, kSt1Overrun = 0x10,
                         kSt1NoData = 0x04, kSt1NotWritable = 0x02, kSt1MissingAddress = 0x01;
inline constexpr uint8_t kSt2ControlMark = 0x40, kSt2DataError = 0x20, kSt2WrongCylinder = 0x10,
                         kSt2ScanHit = 0x08, kSt2ScanNot = 0x04, kSt2BadCylinder = 0x02,
                         kSt2MissingData = 0x01;
inline constexpr uint8_t kSt3WriteProtected = 0x40, kSt3Ready = 0x20, kSt3Track0 = 0x10,
                         kSt3TwoSide = 0x08;

class Upd765 {
 public:
  using ActivityFn = void (*)(void* context);

  Upd765();

  // The drive motor line (bit 3 of the +3's port 0x1FFD): both drives spin together, and a drive
  // is ready only while its motor runs with a disk in it.
  void SetMotorState(uint8_t value);
  bool MotorOn() const { return motor_; }
  // Called whenever the processor moves a byte through the data register.
  void SetActiveCallback(ActivityFn fn, void* context);
  // The reset line: the command in progress is dropped; the disks and head positions stay.
  void ResetDevice();

  void InsertDisk(int drive, DiskImage image, bool writeProtected);
  void EjectDisk(int drive);
  bool DiskInserted(int drive) const { return drives_[drive & 1].inserted; }
  const DiskImage& Disk(int drive) const { return drives_[drive & 1].image; }
  // The image changed since it was inserted or ClearModified was last called.
  bool Modified(int drive) const { return drives_[drive & 1].modified; }
  void ClearModified(int drive) { drives_[drive & 1].modified = false; }
  uint8_t Cylinder(int drive) const { return drives_[drive & 1].cylinder; }

  // Without a time the data bytes of the execution phase are there whenever asked for.
  uint8_t StatusPortRead() const;
  uint8_t DataPortRead();
  void DataPortWrite(uint8_t value);

  // With `now` (T-states on the caller's clock) the bytes of a sector read or written come at the
  // drive's rate, as in the chip's non-DMA mode: a byte every kByteTStates, the request bit set
  // while one waits, and a byte the processor has not taken (or given) before the next is due
  // ends the command with overrun (ST0 abnormal, ST1 OR). FORMAT and SCAN keep no time.
  uint8_t StatusPortRead(int64_t now);
  uint8_t DataPortRead(int64_t now);
  void DataPortWrite(uint8_t value, int64_t now);
  // The caller's clock was wound back by `tstates` (a frame ended).
  void ShiftClock(int64_t tstates) { byteDue_ -= tstates; }
  // 250 kbit/s MFM: a byte every 32 us, 112 T-states of the +3's 3.5469 MHz clock. Between
  // sectors of one command the head passes the gap and the next ID field first.
  static constexpr int64_t kByteTStates = 112;
  static constexpr int64_t kSectorGapBytes = 100;

 private:
  enum class Phase : uint8_t { Command, ExecRead, ExecWrite, Result };

  struct Drive {
    bool inserted = false;
    bool writeProtected = false;
    bool modified = false;
    uint8_t cylinder = 0;      // where the head is
    uint32_t rotation = 0;     // the sector index next under the head
    uint32_t weakReads = 0;    // selects the copy of a weak sector
    bool seekPending = false;  // a seek or recalibrate awaits SENSE INTERRUPT STATUS
    uint8_t seekSt0 = 0;
    DiskImage image;
  };

  bool InExecution() const { return phase_ == Phase::ExecRead || phase_ == Phase::ExecWrite; }
  // An execution phase started by a timed write keeps time; a late processor ends it here.
  void CheckOverrun(int64_t now);
  void NextByteDue(size_t positionBefore);
  void StartCommand();
  void Activity();
  bool Ready(const Drive& d) const { return d.inserted && motor_; }
  DiskTrack* TrackUnderHead();
  int FindSector(DiskTrack* track);
  int FindSectorOrEnd(DiskTrack* track);  // ends the command with the search's error on failure
  size_t TransferLength() const;
  void ToResult(std::initializer_list<uint8_t> bytes);
  void EndTransfer();  // the result of a read, write or scan with the current ID
  void EndAtEndOfCylinder();
  bool AdvanceSector();  // to the next R; false at the end of the track (EN set)
  void ReadNextSector();
  void WriteNextSector();
  void CommitWrittenSector();
  void ReadTrackNext();
  void FormatTrack();
  void ScanSector();

  Drive& CurrentDrive() { return drives_[us_ & 1]; }
  uint8_t HeadUnit() const { return static_cast<uint8_t>((hd_ << 2) | us_); }

  std::array<Drive, 2> drives_;
  bool motor_ = false;
  ActivityFn activity_ = nullptr;
  void* activityContext_ = nullptr;

  Phase phase_ = Phase::Command;
  std::array<uint8_t, 9> command_{};
  unsigned commandLength_ = 0, commandCount_ = 0;
  std::vector<uint8_t> buffer_;  // execution-phase bytes
  size_t bufferPos_ = 0;
  std::array<uint8_t, 7> result_{};
  unsigned resultLength_ = 0, resultPos_ = 0;

  // The transfer in progress.
  uint8_t op_ = 0;  // command code, low five bits
  bool mt_ = false, sk_ = false;
  uint8_t us_ = 0, hd_ = 0;
  uint8_t c_ = 0, h_ = 0, r_ = 0, n_ = 0, eot_ = 0, dtl_ = 0;
  uint8_t st0_ = 0, st1_ = 0, st2_ = 0;
  int sector_ = -1;         // index of the sector being moved on its track
  bool stopAfter_ = false;  // the sector in progress is the last (control mark, data error)
  unsigned trackSectorsLeft_ = 0;

  // The timed execution phase: when the next byte is there (read) or wanted (write).
  bool timed_ = false;
  int64_t byteDue_ = 0;
};

}  // namespace orvo
