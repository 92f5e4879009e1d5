#include "devices/upd765.h"

#include <algorithm>

namespace orvo {

namespace {

// Command codes (the low five bits of the first byte; MT, MF and SK ride in the top three).
enum : uint8_t {
  kReadTrack = 0x02,
  kSpecify = 0x03,
  kSenseDrive = 0x04,
  kWriteData = 0x05,
  kReadData = 0x06,
  kRecalibrate = 0x07,
  kSenseInterrupt = 0x08,
  kWriteDeleted = 0x09,
  kReadId = 0x0A,
  kReadDeleted = 0x0C,
  kFormatTrack = 0x0D,
  kSeek = 0x0F,
  kScanEqual = 0x11,
  kScanLowOrEqual = 0x19,
  kScanHighOrEqual = 0x1D,
};

// The bytes each command takes, first byte included; 0 for the codes that are not commands.
constexpr uint8_t CommandLength(uint8_t op) {
  switch (op) {
    case kReadTrack:
    case kWriteData:
    case kReadData:
    case kWriteDeleted:
    case kReadDeleted:
    case kScanEqual:
    case kScanLowOrEqual:
    case kScanHighOrEqual: return 9;
    case kFormatTrack: return 6;
    case kSpecify:
    case kSeek: return 3;
    case kSenseDrive:
    case kRecalibrate:
    case kReadId: return 2;
    case kSenseInterrupt: return 1;
    default: return 0;
  }
}

bool IsScan(uint8_t op) {
  return op == kScanEqual || op == kScanLowOrEqual || op == kScanHighOrEqual;
}

}  // namespace

Upd765::Upd765() {
  ResetDevice();
}

void Upd765::SetMotorState(uint8_t value) {
  motor_ = (value & 0x08) != 0;
}

void Upd765::SetActiveCallback(ActivityFn fn, void* context) {
  activity_ = fn;
  activityContext_ = context;
}

void Upd765::Activity() {
  if (activity_ != nullptr) activity_(activityContext_);
}

void Upd765::ResetDevice() {
  phase_ = Phase::Command;
  timed_ = false;
  commandCount_ = 0;
  commandLength_ = 0;
  buffer_.clear();
  bufferPos_ = 0;
  resultLength_ = resultPos_ = 0;
  for (Drive& d : drives_) d.seekPending = false;
}

void Upd765::InsertDisk(int drive, DiskImage image, bool writeProtected) {
  Drive& d = drives_[drive & 1];
  d.image = std::move(image);
  d.inserted = true;
  d.writeProtected = writeProtected;
  d.modified = false;
  d.rotation = 0;
  d.weakReads = 0;
}

void Upd765::EjectDisk(int drive) {
  Drive& d = drives_[drive & 1];
  d.inserted = false;
  d.modified = false;
  d.image = DiskImage{};
}

uint8_t Upd765::StatusPortRead() const {
  switch (phase_) {
    case Phase::Command: return kFdcRequest | (commandCount_ != 0 ? kFdcBusy : 0);
    case Phase::ExecRead: return kFdcRequest | kFdcToCpu | kFdcExecution | kFdcBusy;
    case Phase::ExecWrite: return kFdcRequest | kFdcExecution | kFdcBusy;
    case Phase::Result: return kFdcRequest | kFdcToCpu | kFdcBusy;
  }
  return kFdcRequest;
}

uint8_t Upd765::DataPortRead() {
  if (phase_ == Phase::ExecRead) {
    Activity();
    const uint8_t value = buffer_[bufferPos_++];
    if (bufferPos_ >= buffer_.size()) {
      if (op_ == kReadTrack)
        ReadTrackNext();
      else if (stopAfter_ || (st1_ & kSt1DataError) != 0) {
        st0_ |= kSt0Abnormal;
        EndTransfer();
      } else if (AdvanceSector())
        ReadNextSector();
    }
    return value;
  }
  if (phase_ == Phase::Result) {
    Activity();
    const uint8_t value = result_[resultPos_++];
    if (resultPos_ >= resultLength_) phase_ = Phase::Command;
    return value;
  }
  return 0xFF;  // no request pending: the bus is not driven
}

void Upd765::DataPortWrite(uint8_t value) {
  if (phase_ == Phase::Command) timed_ = false;  // untimed unless the timed write says so
  if (phase_ == Phase::ExecWrite) {
    Activity();
    buffer_[bufferPos_++] = value;
    if (bufferPos_ < buffer_.size()) return;
    if (op_ == kFormatTrack)
      FormatTrack();
    else if (IsScan(op_))
      ScanSector();
    else {
      CommitWrittenSector();
      if (AdvanceSector()) WriteNextSector();
    }
    return;
  }
  if (phase_ != Phase::Command) return;  // a write during a read or the result is lost
  Activity();
  if (commandCount_ == 0) {
    commandLength_ = CommandLength(value & 0x1F);
    if (commandLength_ == 0) {
      ToResult({kSt0Invalid});
      return;
    }
  }
  command_[commandCount_++] = value;
  if (commandCount_ >= commandLength_) {
    commandCount_ = 0;
    StartCommand();
  }
}

uint8_t Upd765::StatusPortRead(int64_t now) {
  CheckOverrun(now);
  uint8_t status = StatusPortRead();
  if (timed_ && InExecution() && now < byteDue_) status &= static_cast<uint8_t>(~kFdcRequest);
  return status;
}

uint8_t Upd765::DataPortRead(int64_t now) {
  CheckOverrun(now);
  if (!timed_ || phase_ != Phase::ExecRead) return DataPortRead();
  // A byte taken before it is there is still the byte: the drive keeps its own pace.
  const size_t before = bufferPos_;
  const uint8_t value = DataPortRead();
  NextByteDue(before);
  return value;
}

void Upd765::DataPortWrite(uint8_t value, int64_t now) {
  CheckOverrun(now);
  const bool wasExecuting = InExecution();
  const size_t before = bufferPos_;
  DataPortWrite(value);
  if (wasExecuting) {
    if (timed_) NextByteDue(before);
    return;
  }
  // The command's last byte: a sector read or write starts with its first byte one byte time on.
  timed_ = InExecution() && op_ != kFormatTrack && !IsScan(op_);
  byteDue_ = now + kByteTStates;
}

void Upd765::NextByteDue(size_t positionBefore) {
  byteDue_ += kByteTStates;
  // The transfer went on into the next sector: its first byte follows the gap and ID field.
  if (InExecution() && bufferPos_ <= positionBefore) byteDue_ += kSectorGapBytes * kByteTStates;
}

void Upd765::CheckOverrun(int64_t now) {
  if (!timed_ || !InExecution()) return;
  // A clock that jumped back (a snapshot, a restarted frame) cannot leave the request pending.
  if (byteDue_ > now + (kSectorGapBytes + 1) * kByteTStates) byteDue_ = now;
  if (now < byteDue_ + kByteTStates) return;
  timed_ = false;
  ToResult({static_cast<uint8_t>(st0_ | kSt0Abnormal), static_cast<uint8_t>(st1_ | kSt1Overrun),
            st2_, c_, h_, r_, n_});
}

void Upd765::ToResult(std::initializer_list<uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), result_.begin());
  resultLength_ = static_cast<unsigned>(bytes.size());
  resultPos_ = 0;
  phase_ = resultLength_ != 0 ? Phase::Result : Phase::Command;
}

DiskTrack* Upd765::TrackUnderHead() {
  Drive& d = CurrentDrive();
  DiskTrack* t = d.image.Track(d.cylinder, hd_);
  return t != nullptr && t->formatted ? t : nullptr;
}

// Looks for the ID (C, H, R, N) among the sectors of the track, starting with the one next under
// the head and going once round. Sets the ST1/ST2 bits of a failed search.
int Upd765::FindSector(DiskTrack* track) {
  Drive& d = CurrentDrive();
  if (track == nullptr || track->sectors.empty()) {
    st1_ |= kSt1MissingAddress;
    return -1;
  }
  const size_t count = track->sectors.size();
  for (size_t i = 0; i < count; ++i) {
    const size_t at = (d.rotation + i) % count;
    const DiskSector& s = track->sectors[at];
    if (s.c == c_ && s.h == h_ && s.r == r_ && s.n == n_) {
      d.rotation = static_cast<uint32_t>((at + 1) % count);
      return static_cast<int>(at);
    }
    if (s.r == r_ && s.c != c_) {
      st2_ |= kSt2WrongCylinder;
      if (s.c == 0xFF) st2_ |= kSt2BadCylinder;
    }
  }
  st1_ |= kSt1NoData;
  return -1;
}

int Upd765::FindSectorOrEnd(DiskTrack* track) {
  const int at = FindSector(track);
  if (at < 0) {
    st0_ |= kSt0Abnormal;
    EndTransfer();
  }
  return at;
}

// The bytes a transfer moves per sector; N = 0 moves DTL bytes of a 128-byte sector.
size_t Upd765::TransferLength() const {
  return n_ == 0 ? std::max<size_t>(dtl_, 1) : DiskSectorBytes(n_);
}

void Upd765::StartCommand() {
  const uint8_t first = command_[0];
  op_ = first & 0x1F;
  mt_ = (first & 0x80) != 0;
  sk_ = (first & 0x20) != 0;
  if (op_ != kSpecify && op_ != kSenseInterrupt) {
    us_ = command_[1] & 0x01;
    hd_ = (command_[1] >> 2) & 0x01;
  }
  st0_ = HeadUnit();
  st1_ = st2_ = 0;
  stopAfter_ = false;
  Drive& d = CurrentDrive();

  switch (op_) {
    case kSpecify: ToResult({}); return;
    case kSenseDrive: {
      uint8_t st3 = HeadUnit();
      if (Ready(d)) st3 |= kSt3Ready;
      if (d.inserted && d.writeProtected) st3 |= kSt3WriteProtected;
      if (d.cylinder == 0) st3 |= kSt3Track0;
      if (d.inserted && d.image.sides == 2) st3 |= kSt3TwoSide;
      ToResult({st3});
      return;
    }
    case kRecalibrate:
    case kSeek: {
      d.seekPending = true;
      d.seekSt0 = kSt0SeekEnd | HeadUnit();
      if (!Ready(d)) {
        d.seekSt0 |= kSt0Abnormal | kSt0NotReady;
      } else {
        d.cylinder = op_ == kSeek ? command_[2] : 0;
      }
      ToResult({});
      return;
    }
    case kSenseInterrupt:
      for (Drive& each : drives_) {
        if (!each.seekPending) continue;
        each.seekPending = false;
        ToResult({each.seekSt0, each.cylinder});
        return;
      }
      ToResult({kSt0Invalid});
      return;
    default: break;
  }

  if (!Ready(d)) {
    st0_ |= kSt0Abnormal | kSt0NotReady;
    ToResult({st0_, 0, 0, command_[2], command_[3], command_[4], command_[5]});
    return;
  }

  if (op_ == kReadId) {
    DiskTrack* t = TrackUnderHead();
    if (t == nullptr || t->sectors.empty()) {
      ToResult({static_cast<uint8_t>(st0_ | kSt0Abnormal), kSt1MissingAddress, 0, 0, 0, 0, 0});
      return;
    }
    const DiskSector& s = t->sectors[d.rotation % t->sectors.size()];
    d.rotation = static_cast<uint32_t>((d.rotation + 1) % t->sectors.size());
    ToResult({st0_, 0, 0, s.c, s.h, s.r, s.n});
    return;
  }

  if (op_ == kFormatTrack) {
    if (d.writeProtected) {
      ToResult({static_cast<uint8_t>(st0_ | kSt0Abnormal), kSt1NotWritable, 0, 0, 0, 0, 0});
      return;
    }
    // N, SC, GPL, D; then four ID bytes per sector arrive in the execution phase.
    const unsigned sectors = std::max<unsigned>(command_[3], 1);
    buffer_.assign(sectors * 4, 0);
    bufferPos_ = 0;
    phase_ = Phase::ExecWrite;
    return;
  }

  c_ = command_[2];
  h_ = command_[3];
  r_ = command_[4];
  n_ = command_[5];
  eot_ = command_[6];
  dtl_ = command_[8];

  switch (op_) {
    case kReadData:
    case kReadDeleted: ReadNextSector(); return;
    case kWriteData:
    case kWriteDeleted:
      if (d.writeProtected) {
        st0_ |= kSt0Abnormal;
        st1_ |= kSt1NotWritable;
        EndTransfer();
        return;
      }
      WriteNextSector();
      return;
    case kReadTrack: {
      DiskTrack* t = TrackUnderHead();
      if (t == nullptr || t->sectors.empty()) {
        st0_ |= kSt0Abnormal;
        st1_ |= kSt1MissingAddress;
        EndTransfer();
        return;
      }
      // From the index hole, the sectors in the order they pass, whatever their IDs.
      d.rotation = 0;
      trackSectorsLeft_ = std::max<unsigned>(eot_, 1);
      ReadTrackNext();
      return;
    }
    default:  // the scans
      WriteNextSector();
      return;
  }
}

void Upd765::EndTransfer() {
  ToResult({st0_, st1_, st2_, c_, h_, r_, n_});
}

// The +3 has no terminal count: a transfer that has done its last sector goes on looking for
// the next and stops with "end of cylinder", pointing at the first sector of the next cylinder.
void Upd765::EndAtEndOfCylinder() {
  st0_ |= kSt0Abnormal;
  st1_ |= kSt1EndOfCylinder;
  ++c_;
  r_ = 1;
  if (mt_) h_ ^= 1;
  EndTransfer();
}

bool Upd765::AdvanceSector() {
  if (r_ != eot_) {
    r_ = static_cast<uint8_t>(r_ + (IsScan(op_) ? std::max<uint8_t>(dtl_, 1) : 1));
    if (!IsScan(op_) || r_ <= eot_) return true;
    st2_ |= kSt2ScanNot;
    EndTransfer();
    return false;
  }
  if (mt_ && hd_ == 0) {
    // Multi-track: on to sector 1 of side 1 of the same cylinder.
    hd_ = 1;
    h_ ^= 1;
    r_ = 1;
    st0_ = HeadUnit();
    return true;
  }
  if (IsScan(op_)) {
    st2_ |= kSt2ScanNot;
    EndTransfer();
    return false;
  }
  EndAtEndOfCylinder();
  return false;
}

void Upd765::ReadNextSector() {
  Drive& d = CurrentDrive();
  for (;;) {
    DiskTrack* t = TrackUnderHead();
    const int at = FindSectorOrEnd(t);
    if (at < 0) return;
    const DiskSector& s = t->sectors[at];
    if (s.st2 & kSt2MissingData) {
      // The ID was found but no data field follows it.
      st0_ |= kSt0Abnormal;
      st1_ |= kSt1MissingAddress;
      st2_ |= kSt2MissingData;
      EndTransfer();
      return;
    }
    // READ DATA wants a normal data mark, READ DELETED DATA a deleted one. The other kind is
    // noted with CM and then skipped (SK set) or read as the last sector.
    const bool deleted = (s.st2 & kSt2ControlMark) != 0;
    if (deleted != (op_ == kReadDeleted)) {
      st2_ |= kSt2ControlMark;
      if (sk_) {
        if (!AdvanceSector()) return;
        continue;
      }
      stopAfter_ = true;
    }
    st1_ |= s.st1 & kSt1DataError;
    st2_ |= s.st2 & kSt2DataError;

    const size_t length = TransferLength();
    buffer_.assign(length, t->filler);
    const size_t size = DiskSectorBytes(s.n);
    size_t from = 0, have = s.data.size();
    if (have > size && have % size == 0) {
      // Several copies of a weak sector: each read gives the next.
      from = (d.weakReads++ % (have / size)) * size;
      have = size;
    }
    std::copy_n(s.data.begin() + static_cast<std::ptrdiff_t>(from), std::min(have, length),
                buffer_.begin());
    bufferPos_ = 0;
    sector_ = at;
    phase_ = Phase::ExecRead;
    return;
  }
}

void Upd765::WriteNextSector() {
  const int at = FindSectorOrEnd(TrackUnderHead());
  if (at < 0) return;
  sector_ = at;
  buffer_.assign(TransferLength(), 0);
  bufferPos_ = 0;
  phase_ = Phase::ExecWrite;
}

void Upd765::CommitWrittenSector() {
  Drive& d = CurrentDrive();
  DiskSector& s = TrackUnderHead()->sectors[sector_];
  // A write lays down one clean copy with a new data mark.
  const size_t size = DiskSectorBytes(s.n);
  s.data.assign(size, 0);
  std::copy_n(buffer_.begin(), std::min(size, buffer_.size()), s.data.begin());
  s.st1 &= static_cast<uint8_t>(~kSt1DataError);
  s.st2 &= static_cast<uint8_t>(~(kSt2DataError | kSt2ControlMark | kSt2MissingData));
  if (op_ == kWriteDeleted) s.st2 |= kSt2ControlMark;
  d.modified = true;
}

void Upd765::ScanSector() {
  const DiskSector& s = TrackUnderHead()->sectors[sector_];
  bool equal = true, satisfied = true;
  for (size_t i = 0; i < buffer_.size(); ++i) {
    const uint8_t cpu = buffer_[i];
    if (cpu == 0xFF) continue;  // "don't care"
    const uint8_t disk = i < s.data.size() ? s.data[i] : 0;
    if (disk != cpu) equal = false;
    if ((op_ == kScanEqual && disk != cpu) || (op_ == kScanLowOrEqual && disk > cpu) ||
        (op_ == kScanHighOrEqual && disk < cpu))
      satisfied = false;
  }
  if (satisfied) {
    if (equal) st2_ |= kSt2ScanHit;
    EndTransfer();
    return;
  }
  if (AdvanceSector()) WriteNextSector();
}

void Upd765::ReadTrackNext() {
  Drive& d = CurrentDrive();
  DiskTrack* t = TrackUnderHead();
  if (trackSectorsLeft_ == 0 || t == nullptr || d.rotation >= t->sectors.size()) {
    EndAtEndOfCylinder();
    return;
  }
  --trackSectorsLeft_;
  const DiskSector& s = t->sectors[d.rotation++];
  if (s.c != c_ || s.h != h_ || s.r != r_ || s.n != n_) st1_ |= kSt1NoData;
  const size_t length = TransferLength();
  buffer_.assign(length, t->filler);
  std::copy_n(s.data.begin(), std::min(s.data.size(), length), buffer_.begin());
  bufferPos_ = 0;
  r_ = static_cast<uint8_t>(r_ + 1);
  phase_ = Phase::ExecRead;
}

void Upd765::FormatTrack() {
  Drive& d = CurrentDrive();
  DiskImage& image = d.image;
  // A disk formatted further in or on its second side grows to hold the new track.
  const unsigned cylinders = std::max<unsigned>(image.cylinders, d.cylinder + 1u);
  const unsigned sides = std::max<unsigned>(image.sides, hd_ + 1u);
  if (cylinders * sides > kDskMaxTrackEntries) {
    ToResult({static_cast<uint8_t>(st0_ | kSt0Abnormal), kSt1NotWritable, 0, 0, 0, 0, 0});
    return;
  }
  if (cylinders != image.cylinders || sides != image.sides) {
    std::vector<DiskTrack> tracks(cylinders * sides);
    for (unsigned c = 0; c < image.cylinders; ++c)
      for (unsigned s = 0; s < image.sides; ++s)
        tracks[c * sides + s] = std::move(image.tracks[c * image.sides + s]);
    image.tracks = std::move(tracks);
    image.cylinders = static_cast<uint8_t>(cylinders);
    image.sides = static_cast<uint8_t>(sides);
  }
  DiskTrack& t = *image.Track(d.cylinder, hd_);
  t.formatted = true;
  t.sizeCode = command_[2];
  t.gap3 = command_[4];
  t.filler = command_[5];
  const unsigned count = std::min<unsigned>(buffer_.size() / 4, kDskMaxSectorsPerTrack);
  t.sectors.assign(count, DiskSector{});
  for (unsigned i = 0; i < count; ++i) {
    DiskSector& s = t.sectors[i];
    s.c = buffer_[i * 4];
    s.h = buffer_[i * 4 + 1];
    s.r = buffer_[i * 4 + 2];
    s.n = buffer_[i * 4 + 3];
    s.data.assign(DiskSectorBytes(t.sizeCode), t.filler);
  }
  d.rotation = 0;
  d.modified = true;
  const DiskSector last = count != 0 ? t.sectors[count - 1] : DiskSector{};
  ToResult({st0_, 0, 0, last.c, last.h, last.r, last.n});
}

}  // namespace orvo
