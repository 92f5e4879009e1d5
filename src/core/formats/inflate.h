#pragma once
// zlib and raw deflate streams held in memory, unpacked into a buffer of bounded size.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvo {

// Unpacks `in` into `out` (replaced). `raw` reads a bare deflate stream with no zlib header or
// trailer; otherwise a zlib stream. Stops with false when the data are damaged, would unpack to
// more than `limit` bytes, or end before the stream does. With `exactSize` set the result must be
// exactly `limit` bytes long; the bytes after the end of the stream are ignored.
bool InflateBytes(std::span<const uint8_t> in, std::vector<uint8_t>& out, size_t limit, bool raw,
                  bool exactSize = false);

// Packs `in` as a zlib stream at the best compression.
std::vector<uint8_t> DeflateBytes(std::span<const uint8_t> in);

}  // namespace orvo
