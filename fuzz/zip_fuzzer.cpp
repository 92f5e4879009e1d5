// ZipReader on arbitrary bytes: no crash and no read outside the archive's bytes. Every entry of
// an archive it opens has a name and reads back whole or with an error, never more than the
// largest entry it takes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/zip_reader.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ZipReader zip;
  if (!zip.Open(std::span<const uint8_t>(data, size)).Ok()) {
    if (zip.IsOpen() || zip.EntryCount() != 0) std::abort();
    return 0;
  }
  const int64_t count = zip.EntryCount();
  for (int64_t i = 0; i < count && i < 64; ++i) {
    zip.EntryName(i);
    std::vector<uint8_t> out{0x5A};
    const FormatStatus read = zip.ReadEntry(i, out);
    if (!read.Ok() && (out.size() != 1 || out[0] != 0x5A)) std::abort();  // untouched on failure
    if (out.size() > (64u << 20)) std::abort();
  }
  std::vector<uint8_t> none;
  if (zip.ReadEntry(count, none).Ok() || zip.ReadEntry(-1, none).Ok()) std::abort();
  return 0;
}
