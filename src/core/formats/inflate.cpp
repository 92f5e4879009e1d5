#include "formats/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace orvo {

bool InflateBytes(std::span<const uint8_t> in, std::vector<uint8_t>& out, size_t limit, bool raw,
                  bool exactSize) {
  out.clear();
  z_stream z{};
  if (inflateInit2(&z, raw ? -MAX_WBITS : MAX_WBITS) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), UINT32_MAX));
  bool ok = false;
  try {
    for (;;) {
      if (out.size() - z.total_out == 0 || out.empty()) {
        // Grow by doubling, never past the limit (plus one byte to notice an overrun).
        const size_t grown = std::min(std::max<size_t>(out.size() * 2, 4096), limit + 1);
        if (grown <= out.size()) break;
        out.resize(grown);
      }
      z.next_out = out.data() + z.total_out;
      z.avail_out = static_cast<uInt>(out.size() - z.total_out);
      const int rc = inflate(&z, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ok = true;
        break;
      }
      if (rc != Z_OK && rc != Z_BUF_ERROR) break;
      if (z.total_out > limit) break;
      if (z.avail_out != 0 && z.avail_in == 0) break;  // the data end before the stream
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  const size_t produced = z.total_out;
  inflateEnd(&z);
  if (!ok || produced > limit || (exactSize && produced != limit)) {
    out.clear();
    return false;
  }
  out.resize(produced);
  return true;
}

std::vector<uint8_t> DeflateBytes(std::span<const uint8_t> in) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), Z_BEST_COMPRESSION) !=
      Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

}  // namespace orvo
