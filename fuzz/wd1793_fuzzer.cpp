// The Beta 128's WD1793 driven by arbitrary register sessions: each pair of bytes is a register
// (the low three bits of the first) and a value. Commands, sector and track numbers, the system
// register and the stream a write track parses into sectors all come from the input, so no
// command, cylinder or ID field can reach outside the disk in the drive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "devices/wd1793.h"
#include "formats/trd_format.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Wd1793 wd;
  TrdDisk disk = BlankTrd("FUZZ");
  disk.cylinders = 4;  // a short disk, so that seeks and formats run past its end
  disk.data.resize(static_cast<size_t>(disk.cylinders) * disk.sides * kTrdTrackSize);
  wd.InsertDisk(0, disk, false);
  wd.InsertDisk(1, BlankTrd(), true);
  int64_t now = 0;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint8_t value = data[i + 1];
    now += 32;
    switch (data[i] & 7) {
      case 0: wd.WriteCommand(value, now); break;
      case 1: wd.WriteTrack(value); break;
      case 2: wd.WriteSector(value); break;
      case 3: wd.WriteData(value, now); break;
      case 4: wd.WriteSystem(value); break;
      case 5: wd.ReadData(now); break;
      case 6: wd.ReadStatus(now); break;
      default:
        if (value & 0x80) {
          wd.ShiftClock(now);  // the frame loop's counter wrapped
          now = 0;
        }
        now += static_cast<int64_t>(value) * 10000;
        break;
    }
  }
  for (int d = 0; d < 2; ++d) {
    const TrdDisk& after = wd.Disk(d);
    if (after.data.size() != static_cast<size_t>(after.cylinders) * after.sides * kTrdTrackSize)
      std::abort();
    if (after.cylinders > kTrdMaxCylinders) std::abort();
  }
  if (wd.Disk(1).data != BlankTrd().data) std::abort();  // write-protected
  return 0;
}
