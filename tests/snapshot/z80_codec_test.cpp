// The Z80 format's run-length coding, against hand-made cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "snapshot/z80_format.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Compress(const Bytes& in) {
  Bytes out;
  const size_t end = CompressZ80Block(in, out);
  EXPECT_EQ(end, out.size());
  return out;
}

Bytes Repeat(size_t n, uint8_t v) {
  return Bytes(n, v);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(Z80Encoder, RunsShorterThanFiveStayPlain) {
  EXPECT_EQ(Compress({1, 2, 3}), (Bytes{1, 2, 3}));
  EXPECT_EQ(Compress(Repeat(2, 7)), Repeat(2, 7));
  EXPECT_EQ(Compress(Repeat(4, 7)), Repeat(4, 7));
  EXPECT_EQ(Compress(Concat({{9}, Repeat(4, 0), {9}})), (Bytes{9, 0, 0, 0, 0, 9}));
}

TEST(Z80Encoder, RunsOfFiveAndMoreAreCodedUpTo255) {
  EXPECT_EQ(Compress(Repeat(5, 0)), (Bytes{0xED, 0xED, 5, 0}));
  EXPECT_EQ(Compress(Repeat(255, 0x41)), (Bytes{0xED, 0xED, 255, 0x41}));
  // 256 is one full run and a single byte; 260 is a full run and a run of five.
  EXPECT_EQ(Compress(Repeat(256, 0x41)), (Bytes{0xED, 0xED, 255, 0x41, 0x41}));
  EXPECT_EQ(Compress(Repeat(260, 0x41)), (Bytes{0xED, 0xED, 255, 0x41, 0xED, 0xED, 5, 0x41}));
  EXPECT_EQ(Compress(Concat({{1}, Repeat(6, 2), {3}})), (Bytes{1, 0xED, 0xED, 6, 2, 3}));
}

TEST(Z80Encoder, EdRunsAreCodedFromTwo) {
  EXPECT_EQ(Compress(Repeat(2, 0xED)), (Bytes{0xED, 0xED, 2, 0xED}));
  EXPECT_EQ(Compress(Concat({Repeat(3, 0xED), {1}})), (Bytes{0xED, 0xED, 3, 0xED, 1}));
  EXPECT_EQ(Compress(Repeat(300, 0xED)), (Bytes{0xED, 0xED, 255, 0xED, 0xED, 0xED, 45, 0xED}));
}

TEST(Z80Encoder, TheByteAfterALoneEdIsPlain) {
  // A lone 0xED before a run: the run loses its first byte so no run code follows the 0xED.
  EXPECT_EQ(Compress(Concat({{0xED}, Repeat(6, 0)})), (Bytes{0xED, 0, 0xED, 0xED, 5, 0}));
  EXPECT_EQ(Compress(Concat({{0xED}, Repeat(5, 0)})), (Bytes{0xED, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Compress({0xED, 1, 2}), (Bytes{0xED, 1, 2}));
  EXPECT_EQ(Compress({1, 0xED, 2, 0xED, 3}), (Bytes{1, 0xED, 2, 0xED, 3}));
}

TEST(Z80Encoder, ALoneEdAtTheEndIsARunOfOne) {
  EXPECT_EQ(Compress({0xED}), (Bytes{0xED, 0xED, 1, 0xED}));
  EXPECT_EQ(Compress({4, 0xED}), (Bytes{4, 0xED, 0xED, 1, 0xED}));
}

TEST(Z80Encoder, AppendsToWhatIsThere) {
  Bytes out{0xAA, 0xBB};
  EXPECT_EQ(CompressZ80Block(Repeat(5, 3), out), 6u);
  EXPECT_EQ(out, (Bytes{0xAA, 0xBB, 0xED, 0xED, 5, 3}));
}

Z80DecodeResult Decode(const Bytes& src, Bytes& dst) {
  return DecompressZ80Block(src, dst);
}

TEST(Z80Decoder, PlainBytesRunsAndLoneEds) {
  Bytes dst(10, 0xEE);
  const Z80DecodeResult r = Decode({1, 0xED, 0xED, 4, 9, 0xED, 2, 3}, dst);
  EXPECT_EQ(r.produced, 8u);
  EXPECT_EQ(r.consumed, 8u);
  EXPECT_FALSE(r.endMarker);
  EXPECT_EQ(dst, (Bytes{1, 9, 9, 9, 9, 0xED, 2, 3, 0xEE, 0xEE}));
}

TEST(Z80Decoder, StopsAtTheEndMarkerAfterAZero) {
  Bytes dst(16, 0x55);
  const Z80DecodeResult r = Decode({7, 0, 0xED, 0xED, 0, 8, 8}, dst);
  EXPECT_TRUE(r.endMarker);
  EXPECT_EQ(r.produced, 2u);
  EXPECT_EQ(r.consumed, 5u);
  EXPECT_EQ(dst[0], 7);
  EXPECT_EQ(dst[1], 0);
  EXPECT_EQ(dst[2], 0x55);  // the rest is left as it was
}

TEST(Z80Decoder, ACountOfZeroElsewhereEmitsNothing) {
  Bytes dst(4, 0x55);
  // After a non-zero byte, and directly after a run, ED ED 00 v is an empty run.
  const Z80DecodeResult r =
      Decode({7, 0xED, 0xED, 0, 9, 0xED, 0xED, 2, 0, 0xED, 0xED, 0, 3, 6}, dst);
  EXPECT_FALSE(r.endMarker);
  EXPECT_EQ(r.produced, 4u);
  EXPECT_EQ(dst, (Bytes{7, 0, 0, 6}));
}

TEST(Z80Decoder, NeverWritesPastTheEndOfThePage) {
  Bytes dst(3, 0);
  const Z80DecodeResult r = Decode({1, 0xED, 0xED, 200, 2, 5}, dst);
  EXPECT_EQ(r.produced, 3u);
  EXPECT_EQ(dst, (Bytes{1, 2, 2}));
  // Output full: the rest of the source is not read.
  EXPECT_EQ(r.consumed, 5u);
}

TEST(Z80Decoder, AFinalLoneEdIsPlainAndACutRunCodeEmitsNothing) {
  Bytes dst(4, 0x55);
  Z80DecodeResult r = Decode({1, 0xED}, dst);
  EXPECT_EQ(r.produced, 2u);
  EXPECT_EQ(dst[1], 0xED);

  dst.assign(4, 0x55);
  r = Decode({1, 0xED, 0xED}, dst);
  EXPECT_EQ(r.produced, 1u);
  r = Decode({1, 0xED, 0xED, 3}, dst);
  EXPECT_EQ(r.produced, 1u);
  EXPECT_EQ(r.consumed, 4u);
}

TEST(Z80Codec, RandomPagesSurviveARoundTrip) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    Bytes page;
    const size_t size = 1 + rng() % 16384;
    while (page.size() < size) {
      const uint32_t pick = rng() % 8;
      const size_t len = 1 + rng() % (pick < 2 ? 300 : 6);
      const uint8_t value = pick < 4 ? 0xED : (pick < 6 ? 0 : static_cast<uint8_t>(rng()));
      page.insert(page.end(), std::min(len, size - page.size()), value);
    }
    const Bytes packed = Compress(page);
    Bytes back(page.size(), 0x11);
    const Z80DecodeResult r = DecompressZ80Block(packed, back);
    ASSERT_EQ(back, page) << "round " << round;
    ASSERT_EQ(r.consumed, packed.size()) << "round " << round;
    // Decoding goes on correctly into whatever follows the block.
    Bytes followed = packed;
    followed.insert(followed.end(), {0xED, 0xED, 0x00});
    Bytes again(page.size(), 0x11);
    ASSERT_EQ(DecompressZ80Block(followed, again).consumed, packed.size());
    ASSERT_EQ(again, page);
  }
}

}  // namespace
}  // namespace orvo
