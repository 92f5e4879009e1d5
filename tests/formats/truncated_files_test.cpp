// Every reader refuses a file cut short with its own error, and gives nothing back for it; the Z80
// format's run-length coding against hand-made cases. (Tapes keep the blocks before the cut: the
// tape parse tests.)
#include <gtest/gtest.h>

#include <string_view>

#include "formats/sna_format.h"
#include "formats/z80_format.h"
#include "formats/zip_reader.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;

SnapshotRecord Record(SnapshotModel model) {
  SnapshotRecord r;
  r.model = model;
  r.cpu.PC = 0x8123;
  r.cpu.SP = 0x9000;
  r.last7FFD = 0x03;
  for (uint8_t bank = 0; bank < 8; ++bank) {
    r.ram[bank].assign(kSnapshotPageSize, static_cast<uint8_t>(bank * 37));
    r.ram[bank][bank * 100] = 0xED;  // some variety for the run-length coder
  }
  return r;
}

// The lengths a file is cut to: inside each header and all through its data.
std::vector<size_t> Cuts(size_t size) {
  std::vector<size_t> cuts = {0, 1, 29, 30, 31, 32, 54, 86};
  for (size_t n = 100; n < size; n += size / 7 + 1) cuts.push_back(n);
  cuts.push_back(size - 1);
  std::erase_if(cuts, [&](size_t n) { return n >= size; });
  return cuts;
}

TEST(TruncatedFiles, SnapshotsAreRefusedAsTooShort) {
  const struct {
    const char* what;
    Bytes file;
    bool sna;
  } files[] = {
      {"Z80 v1", WriteZ80(Record(SnapshotModel::k48K), 1, false), false},
      {"Z80 v2 48K", WriteZ80(Record(SnapshotModel::k48K), 2, false), false},
      {"Z80 v3 +3", WriteZ80(Record(SnapshotModel::kPlus3), 3, true), false},
      {"SNA 48K", WriteSNA(Record(SnapshotModel::k48K)), true},
      {"SNA 128K", WriteSNA(Record(SnapshotModel::k128K)), true},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.what);
    SnapshotRecord whole;
    ASSERT_TRUE((f.sna ? ParseSNA(f.file, whole) : ParseZ80(f.file, whole)).Ok());
    EXPECT_EQ(whole.ram[5], Record(SnapshotModel::k48K).ram[5]);
    // A version 1 image that is complete needs no end marker after it.
    const size_t needed = f.file.size() - (std::string_view(f.what) == "Z80 v1" ? 4 : 0);
    for (size_t n : Cuts(needed)) {
      SnapshotRecord out;
      out.label = "untouched";
      const std::span<const uint8_t> cut(f.file.data(), n);
      const FormatStatus s = f.sna ? ParseSNA(cut, out) : ParseZ80(cut, out);
      EXPECT_EQ(s.error, FormatError::SnapshotLength) << n;
      EXPECT_EQ(out.label, "untouched") << n;
    }
  }
}

TEST(TruncatedFiles, ZipArchivesDoNotOpen) {
  const auto path = test::SharedFile("testdata/media/zip/timingtest-0.2.zip");
  ORVO_REQUIRE_FILE(path);
  const Bytes archive = test::ReadWholeFile(path);
  // (Whole archives open in the file dispatch tests; an empty file has no entries.)
  ZipReader reader;
  ASSERT_TRUE(reader.Open(archive).Ok());
  for (size_t n : {size_t{10}, archive.size() / 2, archive.size() - 1}) {
    EXPECT_EQ(reader.Open(std::span<const uint8_t>(archive.data(), n)).error, FormatError::ZipOpen)
        << n;
    EXPECT_FALSE(reader.IsOpen());
  }
}

// ---- the Z80 format's run-length coding ----

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(Z80Encoder, HandMadeCases) {
  const std::pair<Bytes, Bytes> cases[] = {
      {Cat({{9}, Bytes(4, 0), {9}}), {9, 0, 0, 0, 0, 9}},  // runs of 4 stay plain
      {Bytes(5, 0), {0xED, 0xED, 5, 0}},
      {Bytes(256, 0x41), {0xED, 0xED, 255, 0x41, 0x41}},
      {Bytes(2, 0xED), {0xED, 0xED, 2, 0xED}},  // 0xED runs are coded from two
      {Bytes(300, 0xED), {0xED, 0xED, 255, 0xED, 0xED, 0xED, 45, 0xED}},
      // A lone 0xED before a run: the byte after it is plain, so no run code follows an 0xED.
      {Cat({{0xED}, Bytes(6, 0)}), {0xED, 0, 0xED, 0xED, 5, 0}},
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
