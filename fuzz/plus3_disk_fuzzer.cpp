// The +3's disk controller driven through the machine's ports by arbitrary bytes: commands and
// their parameters into the data port (0x3FFD), results and sector data out of it, the main status
// (0x2FFD) polled, the motor switched (0x1FFD) and time passing between accesses, on a blank disk
// and on one formatted in the standard way. Whatever the commands did (reads, writes, FORMAT on
// any track with any sector IDs and sizes), the disk must save as an image that reads back to
// the same tracks, sectors and bytes, and save again to the same file.
//
// The input is a list of two-byte steps: an operation (its low three bits) and a value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/dsk_format.h"
#include "machine/machine_state.h"
#include "machine/setup.h"

using namespace orvo;

namespace {

bool SameDisk(const DiskImage& a, const DiskImage& b) {
  if (a.cylinders != b.cylinders || a.sides != b.sides || a.tracks.size() != b.tracks.size())
    return false;
  for (size_t t = 0; t < a.tracks.size(); ++t) {
    const DiskTrack& x = a.tracks[t];
    const DiskTrack& y = b.tracks[t];
    if (x.formatted != y.formatted || x.sectors.size() != y.sectors.size()) return false;
    for (size_t s = 0; s < x.sectors.size(); ++s) {
      const DiskSector& p = x.sectors[s];
      const DiskSector& q = y.sectors[s];
      if (p.c != q.c || p.h != q.h || p.r != q.r || p.n != q.n || p.data != q.data) return false;
    }
  }
  return true;
}

// Whether the DSK format has room for the whole disk: at most 29 sectors a track, and a track's
// sectors with its information block within the 0xFF00 bytes its size byte can count. A track
// past that is written as far as it fits, so only the write after a reread must agree.
bool FitsDsk(const DiskImage& image) {
  if (image.tracks.size() > kDskMaxTrackEntries) return false;
  for (const DiskTrack& track : image.tracks) {
    if (track.sectors.size() > kDskMaxSectorsPerTrack) return false;
    size_t bytes = 0;
    for (const DiskSector& sector : track.sectors) bytes += sector.data.size();
    if (256 + (bytes + 255) / 256 * 256 > 0xFF00) return false;
  }
  return true;
}

MachineState& Plus3() {
  static MachineState* const m = [] {
    auto* machine = new MachineState;
    SetUpMachine(*machine, kModelPlus3, {});
    return machine;
  }();
  return *m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  MachineState& m = Plus3();
  // The first byte picks the disk: blank (unformatted), or formatted with 9 sectors of 512 bytes
  // on one or two sides.
  const uint8_t pick = data[0] % 3;
  DiskImage disk = pick == 0 ? DiskImage{} : BlankDisk(40, pick);
  if (pick == 0) {
    disk.cylinders = 40;
    disk.tracks.resize(40);
  }
  m.Fdc.ResetDevice();
  m.Fdc.InsertDisk(0, std::move(disk), false);
  m.FrameTState = 0;

  for (size_t i = 1; i + 1 < size && i < 8192; i += 2) {
    const uint8_t value = data[i + 1];
    switch (data[i] & 7) {
      case 0:
      case 1: m.WritePort(0x3FFD, value); break;
      case 2: m.ReadPort(0x3FFD); break;
      case 3: m.ReadPort(0x2FFD); break;
      case 4: m.WritePort(0x1FFD, static_cast<uint8_t>(value & 0x08)); break;  // the motor only
      case 5:
        // Time passes: a byte's worth of T-states or far more, with the frame's wrap.
        m.FrameTState += static_cast<uint32_t>(value) << (data[i] >> 5);
        if (m.FrameTState >= 70908) {
          m.FrameTState -= 70908;
          m.Fdc.ShiftClock(70908);
        }
        break;
      default:
        // Everything the controller has to say, taken at once.
        for (int guard = 0; guard < 70000 && (m.ReadPort(0x2FFD) & 0xC0) == 0xC0; ++guard)
          m.ReadPort(0x3FFD);
        break;
    }
  }

  const DiskImage& after = m.Fdc.Disk(0);
  const std::vector<uint8_t> file = WriteDsk(after);
  DiskImage again;
  if (!ParseDsk(file, again).Ok()) std::abort();
  const bool fits = FitsDsk(after);
  if (fits && !SameDisk(after, again)) std::abort();
  // What was written reads back and writes again the same: at once for a disk the format holds
  // whole, after one round for one cut to fit.
  const std::vector<uint8_t> second = WriteDsk(again);
  if (fits && second != file) std::abort();
  DiskImage third;
  if (!ParseDsk(second, third).Ok() || WriteDsk(third) != second) std::abort();
  return 0;
}
