// ParseMdr on arbitrary bytes: no crash and no read outside the file. A cartridge it accepts is
// written back and read again to the same tape image, then driven through the drive's ports by
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "devices/microdrive.h"
#include "formats/mdr_format.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  std::vector<uint8_t> image;
  if (!ParseMdr(file, image).Ok()) return 0;
  if (image.size() != kCartridgeImageSize) std::abort();
  std::vector<uint8_t> again;
  if (!ParseMdr(WriteMdr(image), again).Ok() || again != image) std::abort();

  MicrodriveState s;
  LoadCartridge(s, 0, std::move(image), "fuzz.mdr", "fuzz.mdr");
  for (size_t i = 0; i < size && i < 4096; ++i) {
    const uint8_t b = data[i];
    switch (b & 7) {
      case 0: MicrodriveControlWrite(s, b >> 3); break;
      case 1: MicrodriveCommsWrite(s, b >> 3); break;
      case 2: MicrodriveStatusRead(s); break;
      case 3: MicrodriveDataRead(s); break;
      case 4: MicrodriveDataWrite(s, b); break;
      case 5: s.formatMode = !s.formatMode; break;
      default: break;
    }
    if (s.selected < kMicrodriveCount && s.drives[s.selected].position >= kCartridgeTapeBytes)
      std::abort();
  }
  return 0;
}
