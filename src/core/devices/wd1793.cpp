#include "devices/wd1793.h"

#include <algorithm>

#include "formats/byte_cursor.h"

namespace orvo {

namespace {

constexpr uint32_t kRevolutionsPerSecond = 5;  // 300 rpm
constexpr uint32_t kIndexPulseMs = 4;
constexpr uint32_t kMotorRevolutions = 15;  // the motor stops 15 revolutions after a command
constexpr size_t kTrackBytes = 6250;        // one MFM track: what a write-track takes

}  // namespace

void Wd1793::Reset() {
  command_ = 0x03;  // the reset loads a restore
  status_ = 0;
  sector_ = 1;
  typeI_ = true;
  intrq_ = drq_ = false;
  phase_ = Phase::kIdle;
  buffer_.clear();
  position_ = 0;
  // The head goes back to cylinder 0, as the restore the reset starts takes it.
  drives_[drive_].cylinder = 0;
  track_ = 0;
}

void Wd1793::InsertDisk(int drive, TrdDisk disk, bool writeProtect) {
  Drive& d = drives_[drive & 3];
  d.disk = std::move(disk);
  d.inserted = true;
  d.writeProtect = writeProtect;
  d.modified = false;
  d.idCylinder.fill(-1);
  d.name.clear();
}

int Wd1793::IdCylinder(const Drive& d, int side) const {
  const size_t track = static_cast<size_t>(d.cylinder) * 2 + static_cast<size_t>(side);
  return track < d.idCylinder.size() && d.idCylinder[track] >= 0 ? d.idCylinder[track] : d.cylinder;
}

void Wd1793::EjectDisk(int drive) {
  Drive& d = drives_[drive & 3];
  d.disk = TrdDisk{};
  d.inserted = false;
  d.writeProtect = false;
  d.modified = false;
  d.idCylinder.fill(-1);
  d.name.clear();
}

bool Wd1793::DiskInserted(int drive) const {
  return drives_[drive & 3].inserted;
}
bool Wd1793::Modified(int drive) const {
  return drives_[drive & 3].modified;
}
void Wd1793::ClearModified(int drive) {
  drives_[drive & 3].modified = false;
}

bool Wd1793::Active(int64_t now) const {
  return (status_ & kWdBusy) != 0 || now < motorUntil_;
}

void Wd1793::ShiftClock(int64_t delta) {
  motorUntil_ = std::max<int64_t>(0, motorUntil_ - delta);
  clockBase_ += delta;
}

bool Wd1793::IndexPulse(int64_t now) const {
  if (!drives_[drive_].inserted || now >= motorUntil_) return false;
  const int64_t revolution = rate_ / kRevolutionsPerSecond;
  const int64_t pulse = static_cast<int64_t>(rate_) * kIndexPulseMs / 1000;
  return (now + clockBase_) % revolution < pulse;
}

void Wd1793::CheckWriteTrackStart(int64_t now) {
  if (phase_ == Phase::kWriteTrack && buffer_.empty() && now + clockBase_ >= trackStartAt_)
    Finish(kWdLostData);
}

uint8_t Wd1793::ReadStatus(int64_t now) {
  CheckWriteTrackStart(now);
  intrq_ = false;
  uint8_t s = status_;
  const Drive& d = drives_[drive_];
  if (!d.inserted) s |= kWdNotReady;
  if (typeI_) {
    s &= static_cast<uint8_t>(~(kWdIndex | kWdTrack0 | kWdWriteProtect));
    if (IndexPulse(now)) s |= kWdIndex;
    if (d.cylinder == 0) s |= kWdTrack0;
    if (d.inserted && d.writeProtect) s |= kWdWriteProtect;
  } else {
    s = static_cast<uint8_t>((s & ~kWdDrq) | (drq_ ? kWdDrq : 0));
  }
  return s;
}

uint8_t Wd1793::ReadSystem(int64_t now) {
  CheckWriteTrackStart(now);
  return static_cast<uint8_t>(0x3F | (drq_ ? 0x40 : 0) | (intrq_ ? 0x80 : 0));
}

void Wd1793::WriteSystem(uint8_t value) {
  const bool reset = (value & kSystemReset) == 0;
  system_ = value;
  drive_ = value & 3;
  if (reset) Reset();
}

void Wd1793::Finish(uint8_t flags) {
  status_ = static_cast<uint8_t>((status_ & ~kWdBusy) | flags);
  drq_ = false;
  intrq_ = true;
  phase_ = Phase::kIdle;
}

uint8_t* Wd1793::FindSector(int cylinder, int side, uint8_t sector) {
  Drive& d = Current();
  if (!d.inserted) return nullptr;
  return d.disk.Sector(static_cast<uint32_t>(cylinder), static_cast<uint32_t>(side), sector);
}

void Wd1793::WriteCommand(uint8_t value, int64_t now) {
  if ((value & 0xF0) == 0xD0) {
    // Force interrupt: whatever runs stops; with bit 3 the interrupt comes at once.
    const bool wasBusy = (status_ & kWdBusy) != 0;
    phase_ = Phase::kIdle;
    drq_ = false;
    status_ &= static_cast<uint8_t>(~kWdBusy);
    if (!wasBusy) {
      typeI_ = true;
      status_ = 0;
    }
    intrq_ = (value & 0x08) != 0;
    return;
  }
  if (status_ & kWdBusy) return;  // only a force interrupt reaches a busy controller
  command_ = value;
  intrq_ = false;
  drq_ = false;
  const Drive& d = Current();
  motorUntil_ = now + static_cast<int64_t>(rate_) / kRevolutionsPerSecond * kMotorRevolutions;
  if ((value & 0x80) == 0) {
    TypeI(value, now);
    return;
  }
  typeI_ = false;
  status_ = kWdBusy;
  if (!d.inserted) {
    Finish(kWdNotReady);
    return;
  }
  switch (value & 0xF0) {
    case 0x80:
    case 0x90: StartReadSector(now); break;
    case 0xA0:
    case 0xB0: StartWriteSector(); break;
    case 0xC0: {
      // Read address: the ID field of the sector passing under the head. The ID fields carry
      // the side they were formatted on (TR-DOS's FORMAT tells a two-sided drive by them).
      const int64_t revolution = rate_ / kRevolutionsPerSecond;
      const auto sector =
          static_cast<uint8_t>(((now + clockBase_) % revolution) * 16 / revolution + 1);
      if (!FindSector(d.cylinder, Side(), sector)) {
        Finish(kWdNotFound);
        return;
      }
      const auto id = static_cast<uint8_t>(IdCylinder(d, Side()));
      buffer_ = {id, static_cast<uint8_t>(Side()), sector, 1, 0, 0};
      sector_ = id;  // the ID's cylinder goes to the sector register
      position_ = 0;
      phase_ = Phase::kReadBytes;
      drq_ = true;
      break;
    }
    case 0xE0: {
      // Read track: the sectors' data fields one after another, each behind its ID field.
      buffer_.clear();
      for (uint8_t s = 1; s <= kTrdSectorsPerTrack; ++s) {
        const uint8_t* p = FindSector(d.cylinder, Side(), s);
        if (!p) continue;
        buffer_.insert(buffer_.end(), 12, 0x00);
        buffer_.insert(buffer_.end(), {0xA1, 0xA1, 0xA1, 0xFE, static_cast<uint8_t>(d.cylinder),
                                       static_cast<uint8_t>(Side()), s, 1, 0, 0});
        buffer_.insert(buffer_.end(), 22, 0x4E);
        buffer_.insert(buffer_.end(), 12, 0x00);
        buffer_.insert(buffer_.end(), {0xA1, 0xA1, 0xA1, 0xFB});
        buffer_.insert(buffer_.end(), p, p + kTrdSectorSize);
        buffer_.insert(buffer_.end(), {0, 0});
        buffer_.insert(buffer_.end(), 54, 0x4E);
      }
      buffer_.resize(kTrackBytes, 0x4E);
      position_ = 0;
      phase_ = Phase::kReadBytes;
      drq_ = true;
      break;
    }
    case 0xF0:
      if (d.writeProtect) {
        Finish(kWdWriteProtect);
        return;
      }
      buffer_.clear();
      phase_ = Phase::kWriteTrack;
      drq_ = true;
      {
        const int64_t revolution = rate_ / kRevolutionsPerSecond;
        trackStartAt_ = ((now + clockBase_) / revolution + 1) * revolution;
      }
      break;
    default: Finish(0); break;
  }
}

void Wd1793::TypeI(uint8_t command, int64_t) {
  typeI_ = true;
  Drive& d = Current();
  int target = d.cylinder;
  const bool update = (command & 0x10) != 0;
  switch (command & 0xE0) {
    case 0x00:
      if ((command & 0x10) == 0) {
        // Restore: out to cylinder 0.
        target = 0;
        track_ = 0;
      } else {
        // Seek: the head moves as far as the data register is from the track register.
        target = d.cylinder + (data_ - track_);
        track_ = data_;
      }
      break;
    case 0x20:  // step, the same way as last time
      target = d.cylinder + direction_;
      if (update) track_ = static_cast<uint8_t>(track_ + direction_);
      break;
    case 0x40:  // step in
      direction_ = 1;
      target = d.cylinder + 1;
      if (update) ++track_;
      break;
    default:  // step out
      direction_ = -1;
      target = d.cylinder - 1;
      if (update) --track_;
      break;
  }
  d.cylinder = std::clamp<int>(target, 0, static_cast<int>(kTrdMaxCylinders) - 1);
  uint8_t flags = (command & 0x08) ? kWdHeadLoaded : 0;
  // Verify: an ID field on the track must name the track register's cylinder.
  if ((command & 0x04) &&
      (!d.inserted || d.cylinder >= static_cast<int>(d.disk.cylinders) || track_ != d.cylinder))
    flags |= kWdSeekError;
  status_ = 0;
  Finish(flags);
}

void Wd1793::StartReadSector(int64_t) {
  Drive& d = Current();
  const uint8_t* p =
      track_ == IdCylinder(d, Side()) ? FindSector(d.cylinder, Side(), sector_) : nullptr;
  if (!p) {
    Finish(kWdNotFound);
    return;
  }
  buffer_.assign(p, p + kTrdSectorSize);
  position_ = 0;
  phase_ = Phase::kReadSector;
  drq_ = true;
}

void Wd1793::StartWriteSector() {
  Drive& d = Current();
  if (d.writeProtect) {
    Finish(kWdWriteProtect);
    return;
  }
  if (track_ != IdCylinder(d, Side()) || !FindSector(d.cylinder, Side(), sector_)) {
    Finish(kWdNotFound);
    return;
  }
  buffer_.clear();
  phase_ = Phase::kWriteSector;
  drq_ = true;
}

void Wd1793::FinishWriteSector() {
  Drive& d = Current();
  // The system register may have chosen another drive while the data came in.
  if (d.writeProtect) {
    Finish(kWdWriteProtect);
    return;
  }
  if (uint8_t* p = FindSector(d.cylinder, Side(), sector_)) {
    std::copy(buffer_.begin(), buffer_.end(), p);
    d.modified = true;
  }
  if (command_ & 0x10) {
    // Multiple sectors: on to the next, until the track has no more.
    ++sector_;
    if (FindSector(d.cylinder, Side(), sector_)) {
      buffer_.clear();
      drq_ = true;
      return;
    }
    Finish(kWdNotFound);
    return;
  }
  Finish(0);
}

void Wd1793::FinishWriteTrack() {
  // The stream as the controller writes it: 0xFE after the sync marks opens an ID field (cylinder,
  // side, sector, size), 0xFB or 0xF8 a data field of the size the last ID named.
  Drive& d = Current();
  if (d.writeProtect) {
    Finish(kWdWriteProtect);
    return;
  }
  if (d.cylinder >= static_cast<int>(d.disk.cylinders) &&
      d.cylinder < static_cast<int>(kTrdMaxCylinders)) {
    // FORMAT goes on past the end of the image: the disk grows to take the new cylinder.
    d.disk.cylinders = static_cast<uint32_t>(d.cylinder) + 1;
    d.disk.data.resize(static_cast<size_t>(d.disk.cylinders) * d.disk.sides * kTrdTrackSize, 0);
  }
  int sector = -1;
  size_t size = 0;
  int idCylinder = -1;
  for (size_t i = 0; i < buffer_.size(); ++i) {
    const uint8_t b = buffer_[i];
    if (b == 0xFE && i + 4 < buffer_.size()) {
      idCylinder = buffer_[i + 1];
      sector = buffer_[i + 3];
      size = static_cast<size_t>(128) << (buffer_[i + 4] & 3);
      i += 4;
    } else if ((b == 0xFB || b == 0xF8) && sector >= 0) {
      const size_t n = std::min(size, buffer_.size() - i - 1);
      if (uint8_t* p = FindSector(d.cylinder, Side(), static_cast<uint8_t>(sector))) {
        std::fill(p, p + kTrdSectorSize, 0);
        std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(i + 1),
                    std::min<size_t>(n, kTrdSectorSize), p);
        d.modified = true;
      }
      i += n;
      sector = -1;
    }
  }
  const size_t track = static_cast<size_t>(d.cylinder) * 2 + static_cast<size_t>(Side());
  if (idCylinder >= 0 && track < d.idCylinder.size())
    d.idCylinder[track] = static_cast<int16_t>(idCylinder == d.cylinder ? -1 : idCylinder);
  Finish(0);
}

uint8_t Wd1793::ReadData(int64_t) {
  if (phase_ == Phase::kReadSector || phase_ == Phase::kReadBytes) {
    if (position_ < buffer_.size()) data_ = buffer_[position_++];
    if (position_ >= buffer_.size()) {
      if (phase_ == Phase::kReadSector && (command_ & 0x10)) {
        // Multiple sectors: on to the next, until the track has no more.
        ++sector_;
        Drive& d = Current();
        if (const uint8_t* p = FindSector(d.cylinder, Side(), sector_)) {
          buffer_.assign(p, p + kTrdSectorSize);
          position_ = 0;
          return data_;
        }
        Finish(kWdNotFound);
        return data_;
      }
      Finish(0);
    }
  }
  return data_;
}

void Wd1793::WriteData(uint8_t value, int64_t now) {
  CheckWriteTrackStart(now);
  data_ = value;
  switch (phase_) {
    case Phase::kWriteSector:
      buffer_.push_back(value);
      if (buffer_.size() >= kTrdSectorSize) FinishWriteSector();
      break;
    case Phase::kWriteTrack:
      buffer_.push_back(value);
      if (buffer_.size() >= kTrackBytes) FinishWriteTrack();
      break;
    default: break;
  }
}

void Wd1793::RestoreRegisters(uint8_t system, uint8_t track, uint8_t sector, uint8_t data,
                              uint8_t status, bool seekingOut) {
  system_ = system;
  drive_ = system & 3;
  track_ = track;
  sector_ = sector;
  data_ = data;
  status_ = status;
  direction_ = seekingOut ? -1 : 1;
}

namespace {

constexpr uint8_t kStateVersion = 1;
constexpr size_t kMaxNameBytes = 4096;

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int k = 0; k < bytes; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

bool Get64(ByteCursor& c, int64_t& value) {
  uint32_t lo, hi;
  if (!c.U32(lo) || !c.U32(hi)) return false;
  value = static_cast<int64_t>((static_cast<uint64_t>(hi) << 32) | lo);
  return true;
}

}  // namespace

void Wd1793::SaveState(std::vector<uint8_t>& out) const {
  out.clear();
  Put(out, kStateVersion, 1);
  for (uint8_t b :
       {command_, status_, track_, sector_, data_, system_, static_cast<uint8_t>(drive_),
        static_cast<uint8_t>(direction_ < 0 ? 1 : 0), static_cast<uint8_t>(typeI_),
        static_cast<uint8_t>(intrq_), static_cast<uint8_t>(drq_), static_cast<uint8_t>(phase_)})
    out.push_back(b);
  Put(out, position_, 4);
  Put(out, buffer_.size(), 4);
  out.insert(out.end(), buffer_.begin(), buffer_.end());
  Put(out, static_cast<uint64_t>(motorUntil_), 8);
  Put(out, static_cast<uint64_t>(clockBase_), 8);
  Put(out, static_cast<uint64_t>(trackStartAt_), 8);
  for (const Drive& d : drives_) {
    out.push_back(static_cast<uint8_t>(d.inserted));
    out.push_back(static_cast<uint8_t>(d.writeProtect));
    out.push_back(static_cast<uint8_t>(d.cylinder));
    for (int16_t c : d.idCylinder) Put(out, static_cast<uint16_t>(c), 2);
    // An empty drive has no image to name.
    const size_t n = d.inserted ? std::min(d.name.size(), kMaxNameBytes) : 0;
    Put(out, n, 2);
    out.insert(out.end(), d.name.begin(), d.name.begin() + static_cast<std::ptrdiff_t>(n));
  }
}

bool Wd1793::StateReadable(std::span<const uint8_t> body) {
  Wd1793 scratch;
  return scratch.LoadState(body);
}

bool Wd1793::DiskNamesInState(std::span<const uint8_t> body,
                              std::array<std::string, kBetaDriveCount>& names) {
  Wd1793 scratch;
  if (!scratch.LoadState(body)) return false;
  for (int i = 0; i < kBetaDriveCount; ++i) names[i] = scratch.DiskName(i);
  return true;
}

bool Wd1793::LoadState(std::span<const uint8_t> body) {
  ByteCursor c(body);
  uint32_t version;
  const uint8_t* regs;
  if (!c.U8(version) || version != kStateVersion || !c.Bytes(12, regs)) return false;
  if (regs[11] > static_cast<uint8_t>(Phase::kWriteTrack)) return false;
  uint32_t position, size;
  const uint8_t* buffer;
  if (!c.U32(position) || !c.U32(size) || size > kTrackBytes || position > size ||
      !c.Bytes(size, buffer))
    return false;
  int64_t motorUntil, clockBase, trackStartAt;
  if (!Get64(c, motorUntil) || !Get64(c, clockBase) || !Get64(c, trackStartAt)) return false;
  struct Loaded {
    bool inserted, writeProtect;
    int cylinder;
    std::array<int16_t, kTrdMaxCylinders * 2> idCylinder;
    std::string name;
  };
  std::array<Loaded, kBetaDriveCount> loaded;
  for (Loaded& d : loaded) {
    uint32_t inserted, protect, cylinder, length;
    if (!c.U8(inserted) || !c.U8(protect) || !c.U8(cylinder) || cylinder >= kTrdMaxCylinders)
      return false;
    d.inserted = inserted != 0;
    d.writeProtect = protect != 0;
    d.cylinder = static_cast<int>(cylinder);
    for (int16_t& id : d.idCylinder) {
      uint32_t v;
      if (!c.U16(v)) return false;
      id = static_cast<int16_t>(static_cast<uint16_t>(v));
    }
    if (!c.U16(length) || length > kMaxNameBytes || !c.Text(length, d.name, false)) return false;
  }
  command_ = regs[0];
  status_ = regs[1];
  track_ = regs[2];
  sector_ = regs[3];
  data_ = regs[4];
  system_ = regs[5];
  drive_ = regs[6] & 3;
  direction_ = regs[7] ? -1 : 1;
  typeI_ = regs[8] != 0;
  intrq_ = regs[9] != 0;
  drq_ = regs[10] != 0;
  phase_ = static_cast<Phase>(regs[11]);
  buffer_.assign(buffer, buffer + size);
  position_ = position;
  motorUntil_ = motorUntil;
  clockBase_ = clockBase;
  trackStartAt_ = trackStartAt;
  // The disks are the drives' own: a drive takes the head, tab and markers only when it holds
  // the image the snapshot names (the shell puts it there first).
  for (int i = 0; i < kBetaDriveCount; ++i) {
    Drive& d = drives_[i];
    const Loaded& l = loaded[i];
    d.cylinder = l.cylinder;
    if (d.inserted && l.inserted && d.name == l.name) {
      d.writeProtect = d.writeProtect || l.writeProtect;
      d.idCylinder = l.idCylinder;
    } else if (!d.inserted) {
      d.name = l.inserted ? l.name : std::string();
    }
  }
  return true;
}

}  // namespace orvo
