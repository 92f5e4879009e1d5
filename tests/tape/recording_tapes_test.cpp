// Recordings: CSW files and the TZX CSW block are played edge by edge with pulse lengths converted
// exactly from their sample rate. (Loads from CSW, WAV and PZX through the ROM: tape_load_test.)
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/csw_format.h"
#include "support/test_paths.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

TEST(CswFiles, ConformanceFilesNamedOkLoadAndThoseNamedErrAreRefused) {
  const fs::path dir = SharedFile("testdata/media/csw/bem-conformance");
  ORVO_REQUIRE_FILE(dir);
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const std::vector<uint8_t> bytes = ReadWholeFile(entry.path());
    TapeImage tape;
    const FormatStatus s = ParseCSW(tape, bytes, false);
    if (name.find("__ERR__") != std::string::npos) {
      EXPECT_FALSE(s.Ok()) << name;
      EXPECT_NE(FormatErrorMessage(s), kMsgNone) << name;  // refused with a message
      EXPECT_TRUE(tape.blocks.empty()) << name;
    } else {
      EXPECT_TRUE(s.Ok()) << name;
      ASSERT_EQ(tape.blocks.size(), 1u) << name;
      EXPECT_EQ(tape.blocks[0]->id, kBlockCsw);
      EXPECT_EQ(tape.blocks[0]->p[5], bytes.size() - kCswSignatureSize);  // the size shown
    }
    ++seen;
  }
  EXPECT_GE(seen, 17);
}

TEST(CswFiles, ShortAndUnsignedFilesGiveTheTapeSignatureMessages) {
  TapeImage tape;
  EXPECT_EQ(FormatErrorMessage(ParseCSW(tape, std::vector<uint8_t>(24, 0), false)),
            kMsgTapeSignatureShort);
  EXPECT_EQ(FormatErrorMessage(ParseCSW(tape, std::vector<uint8_t>(60, 'C'), false)),
            kMsgTapeSignature);
}

TEST(CswFiles, VersionOneAndTwoOfOneRecordingPlayTheSameEdges) {
  const std::vector<uint8_t> rle = {10, 20, 0, 0x2C, 0x01, 0, 0, 7};  // 10, 20, 300, 7 samples
  std::vector<uint8_t> v1 = WriteCSW(rle, 4, 22050, true);
  v1.resize(kCswSignatureSize);  // the signature alone
  TapeBytes one;
  one.Raw(v1).U8(1).U8(1).U16(22050).U8(1).U8(1).U8(0).U16(0).Raw(rle);
  std::vector<std::vector<uint64_t>> played;
  for (const auto& file : {one.bytes, WriteCSW(rle, 4, 22050, true)}) {
    TapeRig rig;
    rig.m->tape.image = std::make_unique<TapeImage>();
    ASSERT_TRUE(ParseCSW(*rig.m->tape.image, file, false).Ok());
    EXPECT_EQ(rig.m->tape.image->blocks[0]->p[1], 1u);  // starts high
    EnterTapeBlock(*rig.m, rig.m->tape.image->first);
    rig.PlayRecording();
    played.push_back(rig.edges);
  }
  // Edges at the exact sample times: 10, 30, 330 and 337 samples of 22.05 kHz.
  const std::vector<uint64_t> want = {10 * 3500000 / 22050, 30 * 3500000 / 22050,
                                      330 * 3500000 / 22050, 337 * 3500000 / 22050};
  EXPECT_EQ(played[0], want);
  EXPECT_EQ(played[1], want);
  // The polarity option starts the same file low.
  TapeImage inverted;
  ASSERT_TRUE(ParseCSW(inverted, one.bytes, true).Ok());
  EXPECT_EQ(inverted.blocks[0]->p[1], 0u);
}

// Pulses of one sample at 44.1 kHz are 79.36 T-states: rounding each alone would drift by a
// whole pulse every 3 pulses. The edge times stay exact over a long recording.
TEST(CswFiles, TzxRecordingBlockKeepsExactTimeOverAWholeTape) {
  constexpr uint32_t kPulses = 200000;
  std::vector<uint8_t> rle(kPulses, 1);
  TapeBytes tzx = Tzx();
  tzx.U8(0x18).U32(10 + kPulses).U16(0).U24(44100).U8(1).U32(kPulses).Raw(rle);
  TapeRig rig;
  ASSERT_EQ(rig.Insert(tzx.bytes), kTapeParseOk);
  rig.PlayRecording();
  ASSERT_EQ(rig.edges.size(), kPulses);
  for (uint32_t k : {1u, 2u, 3u, 1000u, 99999u, kPulses}) {
    EXPECT_EQ(rig.edges[k - 1], uint64_t{k} * 3500000 / 44100) << k;
  }
}

}  // namespace
}  // namespace orvo::test
