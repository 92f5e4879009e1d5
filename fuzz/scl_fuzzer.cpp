// ParseScl and ParseTrd on arbitrary bytes: no crash and no read outside the file. A disk either
// accepts is written as a TRD and read again to the same bytes, and its catalogue is listed, so
// a hostile catalogue entry cannot send the listing outside the disk either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/trd_format.h"

using namespace orvo;

namespace {

void RoundTrip(const TrdDisk& disk) {
  TrdDisk again;
  if (!ParseTrd(WriteTrd(disk), again).Ok()) std::abort();
  if (again.data != disk.data) std::abort();
  for (const TrdFile& f : TrdCatalogue(disk)) {
    if (f.name.size() != 8 || f.sectors.size() % kTrdSectorSize != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  TrdDisk disk;
  if (ParseScl(bytes, disk).Ok()) RoundTrip(disk);
  if (ParseTrd(bytes, disk).Ok()) RoundTrip(disk);
  return 0;
}
