// The SZX and RZX readers over hand-made files. (Files they write, files cut short and the shared
// recordings are read by the orvo-run SZX and RZX tests.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/rzx_format.h"
#include "formats/szx_format.h"
#include "formats/zlib_codec.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;

void Le32(Bytes& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

Bytes SzxHeader(uint8_t machine) {
  return {'Z', 'X', 'S', 'T', 1, 4, machine, 0};
}

void SzxBlock(Bytes& out, const char* id, const Bytes& body) {
  const auto key = SnapshotBlockId(id);
  out.insert(out.end(), key.begin(), key.end());
  Le32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
}

TEST(SzxFormat, RefusesBrokenFilesWhole) {
  struct Case {
    const char* name;
    Bytes file;
    FormatError error;
  };
  Bytes ay19 = SzxHeader(2);
  SzxBlock(ay19, "AY", Bytes(19, 0));
  Bytes shortPage = SzxHeader(1);
  {
    Bytes body = {1, 0, 5};
    const Bytes packed = DeflateAll(Bytes(1000, 7));
    body.insert(body.end(), packed.begin(), packed.end());
    SzxBlock(shortPage, "RAMP", body);
  }
  Bytes badMagic = SzxHeader(1);
  badMagic[3] = 'X';
  const Case cases[] = {
      {"AY of 19 bytes", ay19, FormatError::SzxBlockLength},
      {"page short of 16K", shortPage, FormatError::SzxPage},
      {"bad magic", badMagic, FormatError::SzxSignature},
      {"Timex TC2048", SzxHeader(8), FormatError::SzxMachine},
  };
  for (const Case& c : cases) {
    SnapshotRecord r;
    r.label = "untouched";
    EXPECT_EQ(ParseSZX(c.file, r).error, c.error) << c.name;
    EXPECT_EQ(r.label, "untouched") << c.name;
  }
  SnapshotRecord r;
  EXPECT_EQ(ParseSZX(SzxHeader(8), r).detail, 8u);
}

// An RZX file of one uncompressed input block with the given packed frames.
Bytes RzxWith(uint32_t frames, const Bytes& packed, const Bytes& extraBlock = {}) {
  Bytes f;
  f.reserve(64 + packed.size() + extraBlock.size());
  for (char c : std::string("RZX!")) f.push_back(static_cast<uint8_t>(c));
  f.push_back(0);
  f.push_back(12);
  Le32(f, 0);
  for (uint8_t c : extraBlock) f.push_back(c);
  f.push_back(0x80);
  Le32(f, static_cast<uint32_t>(18 + packed.size()));
  Le32(f, frames);
  f.push_back(0);
  Le32(f, 0);
  Le32(f, 0);
  f.insert(f.end(), packed.begin(), packed.end());
  return f;
}

TEST(RzxFormat, ExpandsRepeatedFramesAndSkipsUnknownBlocksByLength) {
  // Frame 0: 100 fetches, reads 0x11 0x22; frame 1: repeat; frame 2: 5 fetches, no reads.
  const Bytes packed = {100, 0, 2, 0, 0x11, 0x22, 50, 0, 0xFF, 0xFF, 5, 0, 0, 0};
  Bytes unknown = {0x7E};
  Le32(unknown, 9);
  unknown.insert(unknown.end(), {0x80, 0x80, 0x80, 0x80});  // would look like a block if read
  RzxFile file;
  ASSERT_TRUE(ParseRZX(RzxWith(3, packed, unknown), file).Ok());
  ASSERT_EQ(file.inputs.size(), 1u);
  const RzxInputBlock& b = file.inputs[0];
  ASSERT_EQ(b.frames.size(), 3u);
  EXPECT_EQ(b.frames[1].fetches, 50);
  EXPECT_EQ(Bytes(b.ValuesOf(b.frames[1]).begin(), b.ValuesOf(b.frames[1]).end()),
            (Bytes{0x11, 0x22}));
  EXPECT_EQ(b.frames[2].reads, 0u);

  // Frames that run past their data, and a block past the file's end, are refused.
  EXPECT_EQ(ParseRZX(RzxWith(4, packed), file).error, FormatError::RzxBlock);
  Bytes cut = RzxWith(3, packed);
  cut.pop_back();
  EXPECT_EQ(ParseRZX(cut, file).error, FormatError::RzxBlock);
  EXPECT_EQ(ParseRZX(Bytes{'R', 'Z', 'X'}, file).error, FormatError::RzxSignature);
}

// A repeat frame takes the frame before it: in a later input block, the last frame of the block
// before; as a recording's very first frame it has nothing to repeat and the recording is refused
// at the block's offset.
TEST(RzxFormat, ARepeatFrameNeedsAFrameBeforeIt) {
  const Bytes first = {10, 0, 0xFF, 0xFF};
  RzxFile file;
  const FormatStatus status = ParseRZX(RzxWith(1, first), file);
  EXPECT_EQ(status.error, FormatError::RzxBlock);
  EXPECT_EQ(status.detail, 10u);
  EXPECT_TRUE(file.inputs.empty());

  // Two blocks: the second opens with a repeat of the first block's last frame.
  const Bytes earlier = {100, 0, 1, 0, 0x33, 20, 0, 2, 0, 0x44, 0x55};
  const Bytes whole = RzxWith(2, earlier);
  const Bytes blockOne(whole.begin() + 10, whole.end());
  ASSERT_TRUE(ParseRZX(RzxWith(1, first, blockOne), file).Ok());
  ASSERT_EQ(file.inputs.size(), 2u);
  const RzxInputBlock& b = file.inputs[1];
  ASSERT_EQ(b.frames.size(), 1u);
  EXPECT_EQ(b.frames[0].fetches, 10);
  EXPECT_EQ(Bytes(b.ValuesOf(b.frames[0]).begin(), b.ValuesOf(b.frames[0]).end()),
            (Bytes{0x44, 0x55}));
}

// Orvo keeps the frames whose interrupt had a device's vector on the bus in its creator block's
// custom data; another creator's custom data is not read as such.
TEST(RzxFormat, BusVectorsComeBackFromOrvosCreatorBlockOnly) {
  RzxFile file;
  file.snapshot.extension = {'S', 'Z', 'X', '\0'};
  file.inputs.emplace_back();
  for (int k = 0; k < 3; ++k) file.inputs[0].frames.push_back({100, 0, 0});
  file.busVectors = {{1, 0x10}, {2, 0x20}};
  Bytes bytes = WriteRZX(file);
  RzxFile back;
  ASSERT_TRUE(ParseRZX(bytes, back).Ok());
  ASSERT_EQ(back.busVectors.size(), 2u);
  EXPECT_EQ(back.busVectors[1].frame, 2u);
  EXPECT_EQ(back.busVectors[1].vector, 0x20);
  EXPECT_EQ(back.TotalFrames(), 3u);

  bytes[15] = 'X';  // the creator's name, 5 bytes into its block at offset 10
  ASSERT_TRUE(ParseRZX(bytes, back).Ok());
  EXPECT_EQ(back.creator.substr(0, 2), "Xr");
  EXPECT_TRUE(back.busVectors.empty());
}

}  // namespace
}  // namespace orvo
