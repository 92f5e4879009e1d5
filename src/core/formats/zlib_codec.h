#pragma once
// zlib streams as the block-structured snapshot and input-recording formats store them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvo {

// Inflates the whole stream of `in` into `out`, which grows as needed up to `limit` bytes. False
// for a damaged or unfinished stream, or one that would exceed `limit`.
bool InflateAll(std::span<const uint8_t> in, std::vector<uint8_t>& out, size_t limit);

// Inflates `in` into exactly `out.size()` bytes: false unless the stream ends exactly there.
bool InflateExact(std::span<const uint8_t> in, std::span<uint8_t> out);

// The zlib stream of `in` at the best compression.
std::vector<uint8_t> DeflateAll(std::span<const uint8_t> in);

}  // namespace orvo
