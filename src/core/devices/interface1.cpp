// Interface 1 with its Microdrives, network and RS232. The ROM pages in when the Z80 fetches an
// instruction at 0x0008 (the error restart, which the shadow ROM extends with its new commands) or
// at 0x1708 (CLOSE #), and out when it fetches the RET at 0x0700. Its ports (microdrive data at
// low byte 0xE7, status and control at 0xEF, network and RS232 at 0xF7) answer while its ROM is
// paged in; the floating bus is not seen then (machine/ports.cpp).
#include "devices/interface1.h"

#include <algorithm>

#include "cpu/z80.h"
#include "devices/device.h"
#include "devices/microdrive.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo {

namespace {

constexpr uint16_t kErrorRestart = 0x0008;
constexpr uint16_t kCloseStream = 0x1708;
constexpr uint16_t kPageOut = 0x0700;
// The two LD A,(IX+d) instructions that bracket the ROM's FORMAT loop, which writes the whole tape
// and must see it stand still under the head.
constexpr uint16_t kFormatStart = 0x1B60;
constexpr uint16_t kFormatEnd = 0x1BE9;
// Two JR NZ in FORMAT's verify pass that leave a sector out of use when reading it back fails
// (a worn spot on a real tape). The emulated tape has none, so every sector is taken.
constexpr size_t kRomPatchOffsets[] = {7188, 7189, 7193, 7194};

// The RS232 handshake line DTR (bit 3 of the status port) reads as a receiver ready for data, so
// that printing to the "t" and "b" channels with nothing attached does not wait forever.
constexpr uint8_t kStatusDtr = 0x08;
// The RS232 data line (bit 7 of 0xF7) reads idle at mark. With no other station on the network
// its line (bit 0) carries only what this one drives: a 0 written pulls it active, read as 1, so
// a sender finds no collision and a listener a quiet line.
constexpr uint8_t kCommsIdle = 0xFE;

bool Paged(const MachineState& m) {
  return OverlayMapped(m, OverlayLayer::kInterface1);
}

FetchTrapResult PageInTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  // The instruction is then fetched from the shadow ROM.
  if (!Paged(m)) PageInInterface1Rom(m);
  return FetchTrapResult::Continue();
}

FetchTrapResult PageOutTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  if (!Paged(m)) return FetchTrapResult::Continue();
  // The RET itself comes from the shadow ROM; the instruction after it from the Spectrum's.
  const uint8_t op = Z80FetchCycle(m);
  PageOutInterface1Rom(m);
  return FetchTrapResult::Execute(op);
}

FetchTrapResult FormatTrap(void* context, uint16_t address) {
  MachineState& m = *static_cast<MachineState*>(context);
  if (!Paged(m)) return FetchTrapResult::Continue();
  MicrodriveState& s = m.microdrives;
  if (address == kFormatStart) {
    s.formatMode = true;
    if (s.selected < kMicrodriveCount) s.drives[s.selected].position = 0;
  } else {
    s.formatMode = false;
  }
  return FetchTrapResult::Continue();
}

void SetTraps(MachineState& m, bool on) {
  m.FetchTraps.Set(kErrorRestart, PageInTrap, &m, on);
  m.FetchTraps.Set(kCloseStream, PageInTrap, &m, on);
  m.FetchTraps.Set(kPageOut, PageOutTrap, &m, on);
  m.FetchTraps.Set(kFormatStart, FormatTrap, &m, on);
  m.FetchTraps.Set(kFormatEnd, FormatTrap, &m, on);
}

uint8_t DataRead(MachineState& m, uint16_t, uint8_t value) {
  return Paged(m) ? MicrodriveDataRead(m.microdrives) : value;
}

uint8_t StatusRead(MachineState& m, uint16_t, uint8_t value) {
  return Paged(m) ? MicrodriveStatusRead(m.microdrives) | kStatusDtr : value;
}

uint8_t CommsRead(MachineState& m, uint16_t, uint8_t value) {
  return Paged(m) ? static_cast<uint8_t>(kCommsIdle | (~m.microdrives.commsOut & 1)) : value;
}

void DataWrite(MachineState& m, uint16_t, uint8_t value) {
  if (Paged(m)) MicrodriveDataWrite(m.microdrives, value);
}

void ControlWrite(MachineState& m, uint16_t, uint8_t value) {
  if (Paged(m)) MicrodriveControlWrite(m.microdrives, value);
}

void CommsWrite(MachineState& m, uint16_t, uint8_t value) {
  if (Paged(m)) MicrodriveCommsWrite(m.microdrives, value);
}

bool FittedOnModel(const MachineState& m) {
  return m.settings.Interface1 != 0 && GroupOf(m.MachineModel) != ModelGroup::kPlus3 &&
         m.MachineModel != kModelCustom;
}

void Interface1Ports(PortRowList& rows, const MachineState&) {
  rows.Add({.value = 0xE7, .read = DataRead, .write = DataWrite});
  rows.Add({.value = 0xEF, .read = StatusRead, .write = ControlWrite});
  rows.Add({.value = 0xF7, .read = CommsRead, .write = CommsWrite});
}

void Interface1Configure(MachineState& m) {
  const bool fitted = Interface1Fitted(m);
  SetTraps(m, fitted);
  if (!fitted) PageOutInterface1Rom(m);
}

void Interface1Reset(MachineState& m, bool) {
  PageOutInterface1Rom(m);
  MicrodriveState& s = m.microdrives;
  s.formatMode = false;
  s.drivesOff = false;
  s.commsOut = 1;
}

// The snapshot block: flags (bit 0 enabled, bit 1 a compressed ROM follows, bit 2 paged in),
// the number of drives, reserved bytes, then the size of a custom ROM that follows (0: the
// standard ROM, which is what is written).
constexpr size_t kStateBytes = 40;
constexpr uint16_t kStateEnabled = 1;
constexpr uint16_t kStatePaged = 4;

void Interface1SaveState(const MachineState& m, std::vector<uint8_t>& out) {
  out.assign(kStateBytes, 0);
  const uint16_t flags = static_cast<uint16_t>((Interface1Fitted(m) ? kStateEnabled : 0) |
                                               (Paged(m) ? kStatePaged : 0));
  out[0] = static_cast<uint8_t>(flags);
  out[1] = static_cast<uint8_t>(flags >> 8);
  out[2] = kMicrodriveCount;
}

bool Interface1CheckState(std::span<const uint8_t> block) {
  return block.size() >= kStateBytes;
}

bool Interface1LoadState(MachineState& m, std::span<const uint8_t> block) {
  if (!Interface1CheckState(block)) return false;
  const bool paged = (block[0] & kStatePaged) != 0 && Interface1Fitted(m);
  if (paged) {
    PageInInterface1Rom(m);
  } else {
    PageOutInterface1Rom(m);
  }
  return true;
}

}  // namespace

void PageInInterface1Rom(MachineState& m) {
  if (m.If1Rom.size() < kInterface1RomSize) return;
  MemoryOverlay overlay;
  overlay.pages[0].read = m.If1Rom.data();
  MapOverlay(m, OverlayLayer::kInterface1, overlay);
}

void PageOutInterface1Rom(MachineState& m) {
  UnmapOverlay(m, OverlayLayer::kInterface1);
}

bool SetInterface1Rom(MachineState& m, std::span<const uint8_t> rom) {
  if (rom.size() != kInterface1RomSize) return false;
  PageOutInterface1Rom(m);
  m.If1Rom.assign(rom.begin(), rom.end());
  for (size_t offset : kRomPatchOffsets) m.If1Rom[offset] = 0;
  return true;
}

void FreeInterface1Rom(MachineState& m) {
  PageOutInterface1Rom(m);
  SetTraps(m, false);
  m.If1Rom.clear();
}

bool Interface1Fitted(const MachineState& m) {
  return FittedOnModel(m) && m.If1Rom.size() == kInterface1RomSize;
}

const Device kInterface1Device = {.name = "Interface 1",
                                  .Fitted = Interface1Fitted,
                                  .Ports = Interface1Ports,
                                  .Configure = Interface1Configure,
                                  .Reset = Interface1Reset,
                                  .stateId = "IF1",
                                  .SaveState = Interface1SaveState,
                                  .CheckState = Interface1CheckState,
                                  .LoadState = Interface1LoadState};

}  // namespace orvo
