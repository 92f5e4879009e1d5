// TAP and TZX parsing: the block list, what the blocks that carry text and tables hold, and what
// short, hostile or unusual files do. What the data blocks play is checked by the player tests.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/tape_parsers.h"
#include "shell/format_messages.h"
#include "support/test_paths.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

struct Parsed {
  RecordingHost host;
  TapeImage tape;
  FormatStatus result;
  uint8_t status = 0xFF;
  // The message shown, or 0 for none; a test fails when there were several.
  int Message() const {
    EXPECT_LE(host.messages.size(), 1u);
    return host.messages.empty() ? 0 : static_cast<int>(host.messages[0].message);
  }
};

// Parses as the deck does: the error is shown through the shell's messages.
std::unique_ptr<Parsed> Parse(const std::vector<uint8_t>& bytes, bool isTzx = true) {
  auto p = std::make_unique<Parsed>();
  p->result = isTzx ? ParseTZX(p->tape, bytes) : ParseTAP(p->tape, bytes);
  ShowFormatError(p->host, p->result);
  p->status = TapeParseStatusOf(p->result);
  return p;
}

// Files that end early or do not start as their kind should keep the blocks before the fault
// (linked up to the last one) and say why.
TEST(TapeParse, ShortAndMalformedFiles) {
  const auto tap = TapeBytes().TapBlock(RomBlock(0xFF, {1, 2}));
  const auto tone = Tzx().Tone(100, 2);
  const struct {
    const char* what;
    bool isTzx;
    std::vector<uint8_t> bytes;
    uint8_t status;
    size_t blocks;
    int message;
    FormatError error;
    uint32_t detail;
  } cases[] = {
      {"empty TAP", false, {}, kTapeParseOk, 0, 0, FormatError::None, 0},
      {"TAP length past the end", false, TapeBytes(tap).U16(500).U8(0xFF).U8(1).bytes,
       kTapeParseFailed, 1, 26, FormatError::TapeBlock, 0x10},
      {"TAP lone byte for a length", false, TapeBytes(tap).U8(7).bytes, kTapeParseFailed, 1, 26,
       FormatError::TapeBlock, 0x10},
      {"TZX header only", true, Tzx().bytes, kTapeParseOk, 0, 0, FormatError::None, 0},
      {"TZX short header", true, TapeBytes().Text("ZXTape!").U8(0x1A).U8(1).bytes, kTapeParseFailed,
       0, 24, FormatError::TapeTooShort, 0},
      {"TZX wrong signature", true, TapeBytes().Text("ZXTape?").U8(0x1A).U8(1).U8(20).bytes,
       kTapeParseFailed, 0, 25, FormatError::TapeSignature, 0},
      // The file ends inside the turbo block's header: the block is dropped.
      {"TZX truncated block", true, TapeBytes(tone).U8(0x11).U16(2000).U16(600).bytes,
       kTapeParseFailed, 1, 27, FormatError::TapeBlock, 0x11},
      // An unknown block whose length runs off the end cannot be followed: the tape plays up to
      // it, and the user is told so.
      {"TZX unknown block too long", true, TapeBytes(tone).U8(0x4C).U32(1000).U8(0).bytes,
       kTapeParseUnsupported, 1, kMsgTapeUnsupportedBlock, FormatError::TapeUnsupported, 0x4C},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto p = Parse(c.bytes, c.isTzx);
    EXPECT_EQ(p->status, c.status);
    EXPECT_EQ(p->result.error, c.error);
    EXPECT_EQ(p->result.detail, c.detail);
    ASSERT_EQ(p->tape.blocks.size(), c.blocks);
    EXPECT_EQ(p->Message(), c.message);
    if (c.blocks) {
      EXPECT_EQ(p->tape.last, p->tape.blocks.back().get());
      EXPECT_EQ(p->tape.last->next, nullptr);
    } else {
      EXPECT_EQ(p->tape.first, nullptr);
    }
    if (c.detail == 0x11) {
      EXPECT_NE(p->host.messages[0].text.find("Tape Error: Failed at ORVO_TURBO_BLOCK"),
                std::string::npos);
    }
  }
}

// Blocks the deck does not play are stepped over by their lengths, and still count in the block
// numbering that jumps refer to. (Groups, messages, archive and hardware information load through
// the ROM on the zasm block tape; selections and custom information on another, glue on the games.)
TEST(TapeParse, SkippedBlocksKeepTheNumbering) {
  TapeBytes f = Tzx();
  f.Comment("one\r\ntwo");
  f.U8(0x4B).U32(3).U8(1).U8(2).U8(3);         // an ID from a later revision
  f.U8(0x34).Raw(std::vector<uint8_t>(8, 0));  // emulation info
  // A custom info block longer than 64K.
  f.U8(0x35).Text("POKEs").Raw(std::vector<uint8_t>(11, 0)).U32(0x12345);
  f.Raw(std::vector<uint8_t>(0x12345, 0x77));
  // Archive information whose second text claims more than the block holds: the block's length
  // still steps over it.
  f.U8(0x32).U16(1 + 2 + 5 + 2).U8(2).U8(0x00).U8(5).Text("Title").U8(0x02).U8(9);
  f.Level(true).Tone(1000, 3);
  auto p = Parse(f.bytes);
  ASSERT_EQ(p->status, kTapeParseOk);
  ASSERT_EQ(p->tape.blocks.size(), 7u);
  EXPECT_EQ(p->tape.blocks[0]->text, "one\n\ntwo") << "CR LF keeps two line feeds";
  EXPECT_EQ(p->tape.blocks[3]->length, 0x12345u);
  EXPECT_EQ(p->tape.blocks[4]->infos.size(), 1u);
  EXPECT_EQ(p->tape.blocks[5]->p[0], 1u);  // the level block
  EXPECT_EQ(p->tape.blocks[6]->index, 6u);
  EXPECT_EQ(p->tape.blocks[6]->p[1], 3u);
}

// Every prefix of a tape that uses most block kinds parses without reading past its end (the
// sanitizer builds and the fuzz targets check the reading itself).
TEST(TapeParse, EveryPrefixOfATapeParsesSafely) {
  const auto file = SharedFile("testdata/media/tzx/zasm_tzx_blocks.tzx");
  ORVO_REQUIRE_FILE(file);
  const std::vector<uint8_t> whole = ReadWholeFile(file);
  size_t previous = 0;
  for (size_t n = 0; n <= whole.size(); ++n) {
    auto p = Parse(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(n)));
    EXPECT_GE(p->tape.blocks.size(), previous) << n;  // a longer prefix never loses blocks
    previous = p->tape.blocks.size();
    for (const auto& b : p->tape.blocks) {
      if (b->data && b->owned.empty()) {  // an unpacked recording owns its data
        EXPECT_LE(b->data + b->length, p->tape.bytes.data() + p->tape.bytes.size()) << n;
      }
    }
  }
  EXPECT_EQ(previous, 46u);
}

}  // namespace
}  // namespace orvo::test
