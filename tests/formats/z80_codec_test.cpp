// The Z80 format's run-length coding against hand-made cases (random pages go through the
// round trips of whole machines).
#include <gtest/gtest.h>

#include "formats/z80_format.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Repeat(size_t n, uint8_t v) {
  return Bytes(n, v);
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(Z80Encoder, HandMadeCases) {
  const std::pair<Bytes, Bytes> cases[] = {
      {Cat({{9}, Repeat(4, 0), {9}}), {9, 0, 0, 0, 0, 9}},  // runs of 4 stay plain
      {Repeat(5, 0), {0xED, 0xED, 5, 0}},
      {Repeat(255, 0x41), {0xED, 0xED, 255, 0x41}},
      {Repeat(256, 0x41), {0xED, 0xED, 255, 0x41, 0x41}},
      {Repeat(2, 0xED), {0xED, 0xED, 2, 0xED}},  // 0xED runs are coded from two
      {Repeat(300, 0xED), {0xED, 0xED, 255, 0xED, 0xED, 0xED, 45, 0xED}},
      // A lone 0xED before a run: the byte after it is plain, so no run code follows an 0xED.
      {Cat({{0xED}, Repeat(6, 0)}), {0xED, 0, 0xED, 0xED, 5, 0}},
      {{1, 0xED, 2, 0xED, 3}, {1, 0xED, 2, 0xED, 3}},
      {{4, 0xED}, {4, 0xED, 0xED, 1, 0xED}},  // a final lone 0xED is a run of one
  };
  for (const auto& [in, expected] : cases) {
    Bytes out{0xAA};
    EXPECT_EQ(CompressZ80Block(in, out), expected.size() + 1);
    EXPECT_EQ(Bytes(out.begin() + 1, out.end()), expected);
  }
}

TEST(Z80Decoder, HandMadeCases) {
  struct Case {
    Bytes src;
    size_t room;
    Bytes out;
    size_t consumed;
    bool marker;
  };
  const Case cases[] = {
      {{1, 0xED, 0xED, 4, 9, 0xED, 2, 3}, 10, {1, 9, 9, 9, 9, 0xED, 2, 3}, 8, false},
      {{7, 0, 0xED, 0xED, 0, 8}, 16, {7, 0}, 5, true},  // 00 ED ED 00 ends the data
      // Elsewhere a count of 0 (after a non-zero byte, or after a run) codes nothing.
      {{7, 0xED, 0xED, 0, 9, 0xED, 0xED, 2, 0, 0xED, 0xED, 0, 3, 6}, 4, {7, 0, 0, 6}, 14, false},
      {{1, 0xED, 0xED, 200, 2, 5}, 3, {1, 2, 2}, 5, false},  // cut at the end of the page
      {{1, 0xED}, 4, {1, 0xED}, 2, false},                   // a final lone 0xED is plain
      {{1, 0xED, 0xED, 3}, 4, {1}, 4, false},                // a cut run code gives nothing
  };
  for (const Case& c : cases) {
    Bytes dst(c.room, 0x55);
    const Z80DecodeResult r = DecompressZ80Block(c.src, dst);
    EXPECT_EQ(Bytes(dst.begin(), dst.begin() + r.produced), c.out);
    EXPECT_EQ(r.consumed, c.consumed);
    EXPECT_EQ(r.endMarker, c.marker);
    EXPECT_TRUE(
        std::all_of(dst.begin() + r.produced, dst.end(), [](uint8_t b) { return b == 0x55; }));
  }
}

}  // namespace
}  // namespace orvo
