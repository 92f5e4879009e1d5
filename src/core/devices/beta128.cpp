#include "devices/beta128.h"

#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint16_t kEntryFirst = 0x3D00;
constexpr uint16_t kEntryLast = 0x3DFF;
// The 48 BASIC ROM's keyboard wait, where typed-in text reaches TR-DOS's command line (the 128K
// family's own wait is in its editor ROM).
// With "Disk fastLoad" on, the machine runs flat out until this many frames after the last
// access to the controller.
constexpr int32_t kFastFrames = 75;

int64_t Now(const MachineState& m) {
  return static_cast<int64_t>(m.FrameTState);
}

// The 48 BASIC ROM is what the Z80 sees at 0x2000-0x3FFF.
bool BasicRomPaged(const MachineState& m) {
  const uint8_t* basic =
      Is128KFamily(m.MachineModel) ? m.RomBuffer128.data() + 0x4000 : m.RomBuffer48.data();
  return m.PageTable[1] == basic + 0x2000;
}

FetchTrapResult ExitTrap(void* context, uint16_t);

FetchTrapResult EntryTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  // The instruction is then fetched from the TR-DOS ROM.
  if (!TrdosPaged(m) && BasicRomPaged(m)) PageInTrdos(m);
  return FetchTrapResult::Continue();
}

FetchTrapResult ExitTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  PageOutTrdos(m);
  return FetchTrapResult::Continue();
}

void SetTraps(MachineState& m, bool fitted) {
  const bool paged = TrdosPaged(m);
  m.FetchTraps.SetRange(kEntryFirst, kEntryLast, EntryTrap, &m, fitted && !paged);
  m.FetchTraps.SetRange(0x4000, 0xFFFF, ExitTrap, &m, fitted && paged);
}

void DiskActivity(MachineState& m) {
  if (m.settings.DiskFastLoad == 0) return;
  m.FullSpeed = 1;
  m.DiskFastCountdown = kFastFrames;
}

// While TR-DOS is paged in the interface drives the data bus on its ports, whatever the byte (a
// disk holds bytes of 0xFF, which must not be taken for an idle bus).
bool Answers(MachineState& m) {
  if (!TrdosPaged(m)) return false;
  m.PortBusDriven = true;
  return true;
}

uint8_t CommandRead(MachineState& m, uint16_t, uint8_t value) {
  if (!Answers(m)) return value;
  DiskActivity(m);
  return m.Beta.ReadStatus(Now(m));
}
uint8_t TrackRead(MachineState& m, uint16_t, uint8_t value) {
  return Answers(m) ? m.Beta.ReadTrack() : value;
}
uint8_t SectorRead(MachineState& m, uint16_t, uint8_t value) {
  return Answers(m) ? m.Beta.ReadSector() : value;
}
uint8_t DataRead(MachineState& m, uint16_t, uint8_t value) {
  if (!Answers(m)) return value;
  DiskActivity(m);
  return m.Beta.ReadData(Now(m));
}
uint8_t SystemRead(MachineState& m, uint16_t, uint8_t value) {
  return Answers(m) ? m.Beta.ReadSystem(Now(m)) : value;
}
void CommandWrite(MachineState& m, uint16_t, uint8_t value) {
  if (!TrdosPaged(m)) return;
  DiskActivity(m);
  m.Beta.WriteCommand(value, Now(m));
}
void TrackWrite(MachineState& m, uint16_t, uint8_t value) {
  if (TrdosPaged(m)) m.Beta.WriteTrack(value);
}
void SectorWrite(MachineState& m, uint16_t, uint8_t value) {
  if (TrdosPaged(m)) m.Beta.WriteSector(value);
}
void DataWrite(MachineState& m, uint16_t, uint8_t value) {
  if (!TrdosPaged(m)) return;
  DiskActivity(m);
  m.Beta.WriteData(value, Now(m));
}
void SystemWrite(MachineState& m, uint16_t, uint8_t value) {
  if (TrdosPaged(m)) m.Beta.WriteSystem(value);
}

void Beta128Ports(PortRowList& rows, const MachineState&) {
  // The interface decodes A7, A6, A5 and A1-A0: the rows come after the Kempston joystick's, so
  // the controller's status replaces it at 0x1F while TR-DOS is paged in.
  rows.Add({.value = 0x1F, .read = CommandRead, .write = CommandWrite});
  rows.Add({.value = 0x3F, .read = TrackRead, .write = TrackWrite});
  rows.Add({.value = 0x5F, .read = SectorRead, .write = SectorWrite});
  rows.Add({.value = 0x7F, .read = DataRead, .write = DataWrite});
  rows.Add({.value = 0xFF, .read = SystemRead, .write = SystemWrite});
}

void Beta128Configure(MachineState& m) {
  const bool fitted = Beta128Fitted(m);
  m.Beta.SetClockRate(m.spec.cpuClockHz);
  if (!fitted) PageOutTrdos(m);
  SetTraps(m, fitted);
}

void Beta128Reset(MachineState& m, bool) {
  PageOutTrdos(m);
  m.Beta.Reset();
  SetTraps(m, Beta128Fitted(m));
}

void Beta128FrameEnd(MachineState& m) {
  m.Beta.ShiftClock(static_cast<int64_t>(m.FrameLength));
}

// The snapshot format's interface block "B128": flags (connected 1, custom ROM 2, paged 4,
// auto-boot 8, seeking to lower cylinders 16, compressed ROM 32), the number of drives, then the
// system, track, sector, data and status registers. The standard TR-DOS ROM is never embedded.
constexpr uint32_t kB128Connected = 1;
constexpr uint32_t kB128CustomRom = 2;
constexpr uint32_t kB128Paged = 4;
constexpr uint32_t kB128SeekLower = 16;
constexpr size_t kB128Size = 10;

void Beta128SaveState(const MachineState& m, std::vector<uint8_t>& out) {
  const Wd1793& fdc = m.Beta;
  const uint32_t flags =
      kB128Connected | (TrdosPaged(m) ? kB128Paged : 0) | (fdc.SeekingOut() ? kB128SeekLower : 0);
  out = {static_cast<uint8_t>(flags),
         0,
         0,
         0,
         kBetaDriveCount,
         fdc.SystemRegister(),
         fdc.ReadTrack(),
         fdc.ReadSector(),
         fdc.DataRegister(),
         fdc.StatusBits()};
}
bool Beta128CheckState(std::span<const uint8_t> block) {
  // A ROM of the file's own is not taken: the machine's TR-DOS runs.
  return block.size() >= kB128Size && (block[0] & kB128CustomRom) == 0;
}
bool Beta128LoadState(MachineState& m, std::span<const uint8_t> block) {
  if (!Beta128CheckState(block)) return false;
  m.Beta.RestoreRegisters(block[5], block[6], block[7], block[8], block[9],
                          (block[0] & kB128SeekLower) != 0);
  if (block[0] & kB128Paged) {
    PageInTrdos(m);
  } else {
    PageOutTrdos(m);
  }
  return true;
}

// Orvo's own block beside it, "BDRV": the rest of the controller (a command in progress, its
// data, the motor's and the index's timing) and each drive's head, tab and image name.
void DrivesSaveState(const MachineState& m, std::vector<uint8_t>& out) {
  m.Beta.SaveState(out);
}
bool DrivesCheckState(std::span<const uint8_t> block) {
  return Wd1793::StateReadable(block);
}
bool DrivesLoadState(MachineState& m, std::span<const uint8_t> block) {
  return m.Beta.LoadState(block);
}

}  // namespace

bool Beta128Wanted(uint8_t model, int32_t setting) {
  if (model == kModelPentagon) return true;
  return setting != 0 && (model == kModel48K || model == kModel128K || model == kModelPlus2);
}

bool Beta128Fitted(const MachineState& m) {
  return Beta128Wanted(m.MachineModel, m.settings.Beta128) && m.TrdosRom.size() == kTrdosRomSize;
}

bool TrdosPaged(const MachineState& m) {
  return OverlayMapped(m, OverlayLayer::kBeta128);
}

void PageInTrdos(MachineState& m) {
  if (m.TrdosRom.size() != kTrdosRomSize) return;
  MemoryOverlay overlay;
  overlay.pages[0].read = m.TrdosRom.data();
  overlay.pages[1].read = m.TrdosRom.data() + 0x2000;
  MapOverlay(m, OverlayLayer::kBeta128, overlay);
  SetTraps(m, true);
}

void PageOutTrdos(MachineState& m) {
  if (!TrdosPaged(m)) return;
  UnmapOverlay(m, OverlayLayer::kBeta128);
  SetTraps(m, Beta128Fitted(m));
}

const Device kBeta128Device = {.name = "Beta 128",
                               .Fitted = Beta128Fitted,
                               .Ports = Beta128Ports,
                               .Configure = Beta128Configure,
                               .Reset = Beta128Reset,
                               .FrameEnd = Beta128FrameEnd,
                               .stateId = "B128",
                               .SaveState = Beta128SaveState,
                               .CheckState = Beta128CheckState,
                               .LoadState = Beta128LoadState};

const Device kBetaDrivesDevice = {.name = "Beta 128 drives",
                                  .Fitted = Beta128Fitted,
                                  .stateId = kBetaDrivesBlock,
                                  .SaveState = DrivesSaveState,
                                  .CheckState = DrivesCheckState,
                                  .LoadState = DrivesLoadState};

}  // namespace orvo
