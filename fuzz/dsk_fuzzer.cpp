// ParseDsk on arbitrary bytes: no crash and no read outside the file. An image it accepts is
// written and parsed again to the same tracks and sectors, then read through the controller,
// every track and sector ID it holds, so a hostile track table cannot make the controller step
// outside the image either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "devices/upd765.h"
#include "formats/dsk_format.h"

using namespace orvo;

namespace {

void Drain(Upd765& fdc) {
  for (int guard = 0; guard < 70000 && (fdc.StatusPortRead() & 0x40); ++guard) fdc.DataPortRead();
}

void Command(Upd765& fdc, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) fdc.DataPortWrite(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DiskImage image;
  if (!ParseDsk(std::span<const uint8_t>(data, size), image).Ok()) return 0;
  DiskImage again;
  if (!ParseDsk(WriteDsk(image), again).Ok()) std::abort();
  if (again.tracks.size() != image.tracks.size()) std::abort();
  for (size_t t = 0; t < image.tracks.size(); ++t) {
    if (again.tracks[t].sectors.size() != image.tracks[t].sectors.size()) std::abort();
  }

  Upd765 fdc;
  fdc.InsertDisk(0, std::move(image), false);
  fdc.SetMotorState(0x08);
  for (unsigned c = 0; c < again.cylinders && c < 90; ++c) {
    Command(fdc, {0x0F, 0x00, static_cast<uint8_t>(c)});
    Command(fdc, {0x08});
    Drain(fdc);
    for (unsigned side = 0; side < again.sides; ++side) {
      const DiskTrack* t = again.Track(c, side);
      const uint8_t hu = static_cast<uint8_t>(side << 2);
      Command(fdc, {0x0A, hu});
      Drain(fdc);
      for (const DiskSector& s : t->sectors) {
        Command(fdc, {0xA6, hu, s.c, s.h, s.r, s.n, s.r, 0x2A, 0xFF});  // MT, SK
        Drain(fdc);
        Command(fdc, {0x4C, hu, s.c, s.h, s.r, s.n, s.r, 0x2A, 0x80});
        Drain(fdc);
      }
      Command(fdc, {0x42, hu, 0, 0, 1, 2, 9, 0x2A, 0xFF});
      Drain(fdc);
    }
  }
  return 0;
}
