// Tapes that are recordings: CSW files and the TZX CSW block, WAV audio and PZX pulse files.
// Recordings are played edge by edge with pulse lengths converted exactly from their sample rate,
// and a program saved on one loads through the ROM as it does from the TAP it was made from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "formats/csw_format.h"
#include "formats/pulse_tapes.h"
#include "tape_machine.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

const char kHelloTap[] = "testdata/media/tap/zasm_hello_world.tap";

// The pulse lengths (T-states) the deck plays for a TAP file, from its first edge.
std::vector<uint64_t> PulsesOfTap(const std::vector<uint8_t>& tap) {
  TapeRig rig;
  rig.Insert(tap, false);
  rig.PlayRecording();
  std::vector<uint64_t> out = rig.Intervals();
  if (!out.empty()) out.erase(out.begin());  // the silence before the first edge
  return out;
}

// A 44.1 kHz mono 8-bit WAV of those pulses, as a cassette rip would hold them.
std::vector<uint8_t> WavOfPulses(const std::vector<uint64_t>& pulses) {
  TapeBytes b;
  std::vector<uint8_t> samples(4410, 0x80);  // a tenth of a second of silence first
  uint64_t t = 0, written = 0;
  bool high = true;
  for (uint64_t p : pulses) {
    t += p;
    const uint64_t end = t * 44100 / kTapeClockHz;
    for (; written < end; ++written) samples.push_back(high ? 0xB0 : 0x50);
    high = !high;
  }
  samples.insert(samples.end(), 4410, 0x80);
  b.Text("RIFF").U32(36 + static_cast<uint32_t>(samples.size())).Text("WAVEfmt ");
  b.U32(16).U16(1).U16(1).U32(44100).U32(44100).U16(1).U16(8);
  b.Text("data").U32(static_cast<uint32_t>(samples.size())).Raw(samples);
  return b.bytes;
}

// A PZX file with those pulses as one pulse sequence.
std::vector<uint8_t> PzxOfPulses(const std::vector<uint64_t>& pulses) {
  TapeBytes body;
  for (uint64_t p : pulses) {
    if (p >= 0x8000) body.U16(0x8000 | static_cast<uint32_t>(p >> 16));
    body.U16(static_cast<uint32_t>(p & (p >= 0x8000 ? 0xFFFF : 0x7FFF)));
  }
  TapeBytes b;
  b.Text("PZXT").U32(2).U8(1).U8(0);
  b.Text("PULS").U32(static_cast<uint32_t>(body.bytes.size())).Raw(body.bytes);
  return b.bytes;
}

// ---- CSW containers ----

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

// ---- whole loads through the ROM ----

struct LoadCase {
  const char* name;
  const char* file;  // a shared file, or empty: made from the TAP
  TapeKind kind;
};

class RecordingLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(RecordingLoad, HelloWorldLoadsWithRealPulses) {
  const LoadCase& c = GetParam();
  if (!TapeMachine::RomPresent(kModel48K)) GTEST_SKIP() << "missing 48k.rom in " << RomDir();
  ORVO_REQUIRE_FILE(SharedFile(kHelloTap));
  fs::path path;
  fs::path made;
  if (*c.file) {
    path = SharedFile(c.file);
    ORVO_REQUIRE_FILE(path);
  } else {
    const std::vector<uint64_t> pulses = PulsesOfTap(ReadWholeFile(SharedFile(kHelloTap)));
    const std::vector<uint8_t> bytes =
        c.kind == TapeKind::Wav ? WavOfPulses(pulses) : PzxOfPulses(pulses);
    made = fs::temp_directory_path() /
           (std::string("orvo_recording_") + c.name + (c.kind == TapeKind::Wav ? ".wav" : ".pzx"));
    std::ofstream(made, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    path = made;
  }
  TapeMachine tm;
  ASSERT_TRUE(BootToTapeLoader(tm.emu));
  ASSERT_TRUE(tm.Insert(path));
  if (!made.empty() && !getenv("KEEP")) fs::remove(made);
  EXPECT_TRUE(tm.RunUntilScreenShows("Hello World!", 3000)) << tm.Screen();
  EXPECT_TRUE(tm.host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tape, RecordingLoad,
    ::testing::Values(
        LoadCase{"csw2", "testdata/media/csw/derived/zasm_hello_world_csw2_zrle_44100.csw",
                 TapeKind::Csw},
        LoadCase{"tzx_block", "testdata/media/tzx/zasm_tzx_blocks.tzx", TapeKind::Tzx},
        LoadCase{"wav", "", TapeKind::Wav}, LoadCase{"pzx", "", TapeKind::Pzx}),
    [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace orvo::test
