#include "formats/zlib_codec.h"

#include <zlib.h>

#include <algorithm>

namespace orvo {

namespace {

// zlib counts in uInt; the formats never hold a stream near that size, and anything larger is
// refused before it reaches here.
constexpr size_t kMaxChunk = 1u << 30;

}  // namespace

bool InflateAll(std::span<const uint8_t> in, std::vector<uint8_t>& out, size_t limit) {
  out.clear();
  if (in.size() > kMaxChunk) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  int rc = Z_OK;
  size_t used = 0;
  while (rc == Z_OK) {
    if (used == out.size()) {
      if (out.size() >= limit) break;
      out.resize(std::min(limit, std::max<size_t>(16384, out.size() * 2)));
    }
    z.next_out = out.data() + used;
    z.avail_out = static_cast<uInt>(std::min(out.size() - used, kMaxChunk));
    const uInt before = z.avail_out;
    rc = inflate(&z, Z_NO_FLUSH);
    used += before - z.avail_out;
    if (rc == Z_BUF_ERROR && z.avail_out != 0) break;  // input used up before the stream's end
    if (rc == Z_BUF_ERROR) rc = Z_OK;
  }
  inflateEnd(&z);
  out.resize(used);
  return rc == Z_STREAM_END;
}

bool InflateExact(std::span<const uint8_t> in, std::span<uint8_t> out) {
  if (in.size() > kMaxChunk || out.size() > kMaxChunk) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  const bool ok = rc == Z_STREAM_END && z.avail_out == 0;
  inflateEnd(&z);
  return ok;
}

std::vector<uint8_t> DeflateAll(std::span<const uint8_t> in) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), 9) != Z_OK) return {};
  out.resize(size);
  return out;
}

}  // namespace orvo
