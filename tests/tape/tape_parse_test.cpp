// TAP and TZX parsing: the block list, the parameters each block ID is given, and what short,
// hostile or unusual files do.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_paths.h"
#include "tape/tape_image.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

struct Parsed {
  RecordingHost host;
  TapeImage tape;
  uint8_t status = 0xFF;
};

std::unique_ptr<Parsed> Tzx(const std::vector<uint8_t>& bytes) {
  auto p = std::make_unique<Parsed>();
  p->status = ParseTZX(p->host, p->tape, bytes);
  return p;
}

std::unique_ptr<Parsed> Tap(const std::vector<uint8_t>& bytes) {
  auto p = std::make_unique<Parsed>();
  p->status = ParseTAP(p->host, p->tape, bytes);
  return p;
}

std::vector<uint8_t> Header19() {
  return RomBlock(0x00,
                  {3, 'T', 'E', 'S', 'T', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0x40, 0, 0x40, 0, 0});
}

TEST(TapParse, HeaderAndDataBlocksGetTheirPilotLengthsByFlag) {
  TapeBytes f;
  f.TapBlock(Header19()).TapBlock(RomBlock(0xFF, {1, 2, 3}));
  auto p = Tap(f.bytes);
  ASSERT_EQ(p->status, kTapeParseOk);
  ASSERT_EQ(p->tape.blocks.size(), 2u);
  const TapeBlock& header = *p->tape.first;
  const TapeBlock& data = *p->tape.last;
  EXPECT_EQ(header.id, 0x10);
  EXPECT_EQ(header.index, 0u);
  EXPECT_EQ(header.length, 19u);
  EXPECT_EQ(header.p[0], 8u);
  EXPECT_EQ(header.p[1], 2168u);
  EXPECT_EQ(header.p[2], 8063u);
  EXPECT_EQ(header.p[5], 1000u);
  EXPECT_EQ(header.pulse, 2168u);
  EXPECT_EQ(header.state, 0);
  EXPECT_EQ(data.index, 1u);
  EXPECT_EQ(data.p[2], 3223u);
  EXPECT_EQ(data.length, 5u);
  EXPECT_EQ(data.data[0], 0xFF);
  EXPECT_EQ(header.next, &data);
  EXPECT_EQ(data.previous, &header);
  EXPECT_EQ(data.next, nullptr);
}

TEST(TapParse, EmptyFileMakesAnEmptyTape) {
  auto p = Tap({});
  EXPECT_EQ(p->status, kTapeParseOk);
  EXPECT_TRUE(p->tape.blocks.empty());
  EXPECT_EQ(p->tape.first, nullptr);
  EXPECT_TRUE(p->host.messages.empty());
}

TEST(TapParse, LengthPastTheEndKeepsEarlierBlocksAndReports) {
  TapeBytes f;
  f.TapBlock(RomBlock(0xFF, {1, 2})).U16(500).U8(0xFF).U8(1);
  auto p = Tap(f.bytes);
  EXPECT_EQ(p->status, kTapeParseFailed);
  ASSERT_EQ(p->tape.blocks.size(), 1u);
  EXPECT_EQ(p->tape.last->next, nullptr);
  ASSERT_EQ(p->host.messages.size(), 1u);
  EXPECT_EQ(p->host.messages[0].message, 26);
  EXPECT_EQ(p->host.messages[0].caption, CaptionId::Options);
  // A lone odd byte at the end is a length that cannot be read.
  TapeBytes g;
  g.TapBlock(RomBlock(0xFF, {1})).U8(7);
  EXPECT_EQ(Tap(g.bytes)->status, kTapeParseFailed);
}

TEST(TzxParse, SignatureChecks) {
  auto shortFile = Tzx({'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1});
  EXPECT_EQ(shortFile->status, kTapeParseFailed);
  ASSERT_EQ(shortFile->host.messages.size(), 1u);
  EXPECT_EQ(shortFile->host.messages[0].message, 24);

  TapeBytes bad;
  bad.Text("ZXTape?").U8(0x1A).U8(1).U8(20).Tone(100, 2);
  auto wrong = Tzx(bad.bytes);
  EXPECT_EQ(wrong->status, kTapeParseFailed);
  ASSERT_EQ(wrong->host.messages.size(), 1u);
  EXPECT_EQ(wrong->host.messages[0].message, 25);
  EXPECT_TRUE(wrong->tape.blocks.empty());

  TapeBytes bare;
  bare.TzxHeader();
  ASSERT_EQ(bare.bytes.size(), 10u);
  auto empty = Tzx(bare.bytes);
  EXPECT_EQ(empty->status, kTapeParseOk);
  EXPECT_TRUE(empty->tape.blocks.empty());
  EXPECT_TRUE(empty->host.messages.empty());
}

TEST(TzxParse, DataBlockParameters) {
  TapeBytes f;
  f.TzxHeader();
  // Turbo: pilot 2000, syncs 600/700, bits 800/1600, 1234 pilot pulses, 9 used bits, pause 55.
  f.U8(0x11)
      .U16(2000)
      .U16(600)
      .U16(700)
      .U16(800)
      .U16(1600)
      .U16(1234)
      .U8(9)
      .U16(55)
      .U24(2)
      .U8(0xAA)
      .U8(0x55);
  f.PureData(500, 1000, 3, 20, {0x80, 0x40});
  f.U8(0x15).U16(79).U16(7).U8(6).U24(1).U8(0xF0);
  auto p = Tzx(f.bytes);
  ASSERT_EQ(p->status, kTapeParseOk);
  ASSERT_EQ(p->tape.blocks.size(), 3u);
  const TapeBlock& turbo = *p->tape.blocks[0];
  EXPECT_EQ(turbo.p[0], 8u) << "9 used bits play as 8";
  EXPECT_EQ(turbo.p[1], 2000u);
  EXPECT_EQ(turbo.p[2], 1234u);
  EXPECT_EQ(turbo.p[3], 600u);
  EXPECT_EQ(turbo.p[4], 700u);
  EXPECT_EQ(turbo.p[5], 800u);
  EXPECT_EQ(turbo.p[6], 1600u);
  EXPECT_EQ(turbo.p[7], 55u);
  EXPECT_EQ(turbo.pulse, 2000u);
  EXPECT_EQ(turbo.length, 2u);

  const TapeBlock& pure = *p->tape.blocks[1];
  EXPECT_EQ(pure.state, kTapeData);
  EXPECT_EQ(pure.p[0], 3u);
  EXPECT_EQ(pure.p[7], 0x20u) << "end mask of a last byte with 3 used bits";
  EXPECT_EQ(pure.pulse, 1000u) << "bit 7 of the first byte is a one";

  const TapeBlock& direct = *p->tape.blocks[2];
  EXPECT_EQ(direct.state, kTapeData);
  EXPECT_EQ(direct.p[0], 6u);
  EXPECT_EQ(direct.p[1], 7u);
  EXPECT_EQ(direct.p[2], 79u);
  EXPECT_EQ(direct.p[3], 0x04u);
  EXPECT_EQ(direct.pulse, 79u);
}

TEST(TzxParse, TextsAndInformationBlocks) {
  TapeBytes f;
  f.TzxHeader();
  f.Comment("one\r\ntwo");
  f.U8(0x21).U8(5).Text("Group");
  f.U8(0x31).U8(5).U8(4).Text("A\rB!");
  f.U8(0x32).U16(1 + 2 + 5 + 2 + 3).U8(2).U8(0x00).U8(5).Text("Title").U8(0x02).U8(3).Text("Me\r");
  f.U8(0x33).U8(2).U8(0).U8(1).U8(2).U8(3).U8(4).U8(5);
  f.U8(0x35)
      .Text("POKEs")
      .Raw(std::vector<uint8_t>(11, 0))
      .U32(0x00012345)
      .Raw(std::vector<uint8_t>(0x12345, 0x77));
  auto p = Tzx(f.bytes);
  ASSERT_EQ(p->status, kTapeParseOk);
  ASSERT_EQ(p->tape.blocks.size(), 6u);
  EXPECT_EQ(p->tape.blocks[0]->text, "one\n\ntwo") << "CR LF keeps two line feeds";
  EXPECT_EQ(p->tape.blocks[1]->text, "Group");
  EXPECT_EQ(p->tape.blocks[2]->text, "A\nB!");
  EXPECT_EQ(p->tape.blocks[2]->p[1], 5u);
  const TapeBlock& info = *p->tape.blocks[3];
  ASSERT_EQ(info.infos.size(), 2u);
  EXPECT_EQ(info.infos[0].first, 0);
  EXPECT_EQ(info.infos[0].second, "Title");
  EXPECT_EQ(info.infos[1].second, "Me\r") << "archive texts are kept as written";
  const TapeBlock& hw = *p->tape.blocks[4];
  ASSERT_EQ(hw.hardware.size(), 2u);
  EXPECT_EQ(hw.hardware[1][0], 3);
  EXPECT_EQ(hw.hardware[1][2], 5);
  const TapeBlock& custom = *p->tape.blocks[5];
  EXPECT_EQ(custom.text, "POKEs");
  EXPECT_EQ(custom.length, 74565u);
  EXPECT_EQ(custom.p[1], 74565u);
  EXPECT_EQ(custom.data[74564], 0x77);
}

// Blocks the deck does not play are stepped over by their lengths, and still count in the block
// numbering that jumps refer to.
TEST(TzxParse, SkippedBlocksKeepTheNumbering) {
  TapeBytes f;
  f.TzxHeader();
  f.U8(0x28).U16(5).U8(1).U16(1).U8(1).Text("X");   // select block
  f.U8(0x5A).Text("XTape!").U8(0x1A).U8(1).U8(20);  // glue
  f.U8(0x4B).U32(3).U8(1).U8(2).U8(3);              // an ID from a later revision
  f.U8(0x18).U32(4).U32(0);                         // a CSW recording
  f.U8(0x34).Raw(std::vector<uint8_t>(8, 0));       // emulation info
  f.Level(true);
  f.Tone(1000, 3);
  auto p = Tzx(f.bytes);
  ASSERT_EQ(p->status, kTapeParseOk);
  ASSERT_EQ(p->tape.blocks.size(), 7u);
  EXPECT_EQ(p->tape.blocks[5]->id, 0x2B);
  EXPECT_EQ(p->tape.blocks[5]->p[0], 1u);
  EXPECT_EQ(p->tape.blocks[6]->id, 0x12);
  EXPECT_EQ(p->tape.blocks[6]->index, 6u);
  EXPECT_EQ(p->tape.blocks[6]->p[1], 3u);
}

TEST(TzxParse, TruncatedBlockIsDroppedWithItsKindsMessage) {
  TapeBytes f;
  f.TzxHeader().Tone(100, 2);
  f.U8(0x11).U16(2000).U16(600);  // the file ends inside the turbo block's header
  auto p = Tzx(f.bytes);
  EXPECT_EQ(p->status, kTapeParseFailed);
  ASSERT_EQ(p->tape.blocks.size(), 1u);
  EXPECT_EQ(p->tape.last, p->tape.first);
  EXPECT_EQ(p->tape.last->next, nullptr);
  ASSERT_EQ(p->host.messages.size(), 1u);
  EXPECT_EQ(p->host.messages[0].message, 27);
  EXPECT_EQ(
      p->host.messages[0].text.find("Tape Error: Failed at ORVO_TURBO_BLOCK") != std::string::npos,
      true);

  // An unknown block whose length runs off the end cannot be followed: status 1, no message.
  TapeBytes g;
  g.TzxHeader().Tone(100, 2).U8(0x4C).U32(1000).U8(0);
  auto q = Tzx(g.bytes);
  EXPECT_EQ(q->status, kTapeParseUnsupported);
  EXPECT_TRUE(q->host.messages.empty());
  EXPECT_EQ(q->tape.blocks.size(), 1u);
}

TEST(TzxParse, GeneralizedDataTables) {
  const auto file = SharedFile("testdata/media/tzx/gdb-edge-cases/test_gdb_symmetric.tzx");
  ORVO_REQUIRE_FILE(file);
  auto p = Tzx(ReadWholeFile(file));
  ASSERT_EQ(p->status, kTapeParseOk);
  ASSERT_EQ(p->tape.blocks.size(), 1u);
  const TapeBlock& b = *p->tape.first;
  ASSERT_TRUE(b.gdb);
  const GeneralizedData& g = *b.gdb;
  EXPECT_EQ(b.p[0], 1000u);
  EXPECT_EQ(g.pilot.symbols, 3u);
  EXPECT_EQ(g.pilot.maxPulses, 2u);
  ASSERT_EQ(g.runs.size(), 3u);
  EXPECT_EQ(g.runs[0], std::make_pair(uint8_t{0}, uint16_t{100}));
  EXPECT_EQ(g.runs[2], std::make_pair(uint8_t{2}, uint16_t{4}));
  EXPECT_EQ(g.pilot.pulses[2 * 2 + 1], 1170);
  EXPECT_EQ(g.dataSymbols, 1024u);
  EXPECT_EQ(g.bitsPerSymbol, 1u);
  EXPECT_EQ(g.data.pulses[1 * 2], 1110);
  EXPECT_EQ(b.length, 128u);

  // A file that counts TOTP as the total of the repetitions rather than the runs.
  const auto v2 = SharedFile("testdata/media/tzx/gdb-edge-cases/test_gdb_sym_v2.tzx");
  ORVO_REQUIRE_FILE(v2);
  auto q = Tzx(ReadWholeFile(v2));
  ASSERT_EQ(q->status, kTapeParseOk);
  const GeneralizedData& h = *q->tape.first->gdb;
  ASSERT_EQ(h.runs.size(), 2u);
  EXPECT_EQ(h.runs[0].second, 8063);
  EXPECT_EQ(q->tape.first->length, 19u);
}

// Each public TZX parses whole, with the block count its layout gives.
TEST(TzxParse, PublicTapes) {
  const std::pair<const char*, size_t> tapes[] = {
      {"zasm_tzx_blocks.tzx", 46},
      {"zorro_speedlock1.tzx", 47},
      {"hollywood_poker_flowcontrol.tzx", 23},
      {"bcs_quest_for_tires_gdb.tzx", 4},
      {"basil_great_mouse_detective_gdb.tzx", 53},
      {"dan_dare2_gdb.tzx", 18},
      {"super_scramble_alkatraz_glue.tzx", 12},
      {"atlantis_4003_blocks_glue.tzx", 4003},
      {"penetrator_4500baud_id15.tzx", 1},
      {"advanced_body_disposal_simulator_csscgc2010_id15.tzx", 5},
      {"wizball_turbo.tzx", 37},
      {"barbarian2_turbo.tzx", 47},
      {"where_time_stood_still_speedlock_128k.tzx", 47},
      {"SYNTHETIC_select_0x28_custominfo_0x35.tzx", 8},
  };
  for (const auto& [name, count] : tapes) {
    const auto file = SharedFile(std::string("testdata/media/tzx/") + name);
    if (!std::filesystem::exists(file)) continue;
    auto p = Tzx(ReadWholeFile(file));
    EXPECT_EQ(p->status, kTapeParseOk) << name;
    EXPECT_EQ(p->tape.blocks.size(), count) << name;
    EXPECT_TRUE(p->host.messages.empty()) << name;
  }
}

TEST(TzxParse, CorruptedTapeIsRefusedAtTheBrokenBlock) {
  const auto file = SharedFile("testdata/media/tzx/invalid/bc_quest_corrupted.tzx");
  ORVO_REQUIRE_FILE(file);
  auto p = Tzx(ReadWholeFile(file));
  EXPECT_EQ(p->status, kTapeParseFailed);
  EXPECT_EQ(p->tape.blocks.size(), 3u);
  ASSERT_EQ(p->host.messages.size(), 1u);
  EXPECT_EQ(p->host.messages[0].message, 32);
}

// Every prefix of a tape that uses most block kinds parses without reading past its end (the
// sanitizer builds and the fuzz targets check the reading itself).
TEST(TzxParse, EveryPrefixOfATapeParsesSafely) {
  const auto file = SharedFile("testdata/media/tzx/zasm_tzx_blocks.tzx");
  ORVO_REQUIRE_FILE(file);
  const std::vector<uint8_t> whole = ReadWholeFile(file);
  size_t previous = 0;
  for (size_t n = 0; n <= whole.size(); ++n) {
    std::vector<uint8_t> prefix(whole.begin(), whole.begin() + static_cast<long>(n));
    auto p = Tzx(prefix);
    EXPECT_GE(p->tape.blocks.size(), previous) << n;  // a longer prefix never loses blocks
    previous = p->tape.blocks.size();
    for (const auto& b : p->tape.blocks) {
      if (b->data) {
        EXPECT_LE(b->data + b->length, p->tape.bytes.data() + p->tape.bytes.size()) << n;
      }
    }
  }
  EXPECT_EQ(previous, 46u);
}

}  // namespace
}  // namespace orvo::test
