// The pulse player: the square wave each block makes, flow control, starting and stopping, the
// automatic start/stop detector, tape wobble, and recordings (CSW, the TZX CSW block).
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/csw_format.h"
#include "support/test_paths.h"
#include "tape/tape_deck.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

// The pulses a standard-timing block should make: pilot, syncs, two pulses per bit.
std::vector<uint64_t> StandardPulses(const std::vector<uint8_t>& data, uint32_t pilots) {
  std::vector<uint64_t> out(pilots, 2168);
  out.push_back(667);
  out.push_back(735);
  for (uint8_t byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      const uint64_t len = (byte >> bit) & 1 ? 1710 : 855;
      out.insert(out.end(), {len, len});
    }
  }
  return out;
}

// Pulses of 100 for each 0 and 200 for each 1 in `bits`, two per bit.
std::vector<uint64_t> Bits(const std::string& bits) {
  std::vector<uint64_t> out;
  for (char b : bits) out.insert(out.end(), 2, b == '1' ? 200 : 100);
  return out;
}

// The lengths between edges each tape plays (tones of distinct lengths mark which block played).
// The tape is played, then played on once more after it stops.
TEST(TapePlayer, BlocksPlayTheirPulsesAndFlowInOrder) {
  // A TAP header (flag below 128) has 8063 pilot pulses, a data block 3223; each block is
  // followed by a pause of a second.
  const std::vector<uint8_t> data = RomBlock(0xFF, {1, 2, 3});
  auto tap = StandardPulses(Header19(), 8063);
  const auto second = StandardPulses(data, 3223);
  tap.insert(tap.end(), second.begin(), second.end());
  tap[tap.size() - second.size()] += 1000u * 3500u;
  uint64_t tapEnd = 1000u * 3500u;
  for (uint64_t p : tap) tapEnd += p;
  // A TZX recording of 200000 pulses of one sample at 44.1 kHz (79.37 T-states): rounding each
  // alone would drift by a whole pulse every 3 pulses; the edges stay at the exact sample times.
  constexpr uint32_t kCswPulses = 200000;
  std::vector<uint64_t> csw;
  for (uint64_t k = 1; k <= kCswPulses; ++k)
    csw.push_back(k * 3500000 / 44100 - (k - 1) * 3500000 / 44100);
  const auto cswTzx = Tzx().U8(0x18).U32(10 + kCswPulses).U16(0).U24(44100).U8(1).U32(kCswPulses);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t firstPlay;  // edges before the first stop
    std::vector<uint64_t> pulses;
    uint64_t end = 0;  // T-states to the stop, when checked
    bool isTap = false;
  } cases[] = {
      {"TAP", TapeBytes().TapBlock(Header19()).TapBlock(data).bytes, tap.size(), tap, tapEnd, true},
      // Blocks with nothing in them make no edge and take no time.
      {"pulses, tone, empty blocks",
       Tzx()
           .Tone(500, 0)
           .Pulses({})
           .Pulses({300, 200, 100})
           .PureData(1, 2, 8, 0, {})
           .Tone(1000, 3)
           .bytes,
       6,
       {300, 200, 100, 1000, 1000, 1000}},
      // Only the used bits of the last byte play; 0 used bits play as 8.
      {"3 used bits", Tzx().PureData(100, 200, 3, 0, {0xBF}).bytes, 6, Bits("101")},
      {"0 used bits", Tzx().PureData(100, 200, 0, 0, {0x81}).bytes, 16, Bits("10000001")},
      // 3 pilot pulses, syncs, bits 7 and 6 of 0x40 (2 used bits), then a 2 ms pause whose first
      // millisecond keeps the level.
      {"turbo",
       Tzx().Turbo(1000, 300, 400, 50, 90, 3, 2, 2, {0x40}).bytes,
       10,
       {1000, 1000, 1000, 300, 400, 50, 50, 90, 90, 3500},
       3000 + 700 + 100 + 180 + 2 * 3500},
      {"loop of three", ReadWholeFile(DataDir() / "loop3.tzx"), 5, {100, 200, 200, 200, 300}},
      // 0 tone 100, 1 jump +4, 2 tone 200, 3 tone 300, 4 return, 5 call {-3, -2}, 6 tone 400.
      {"calls", ReadWholeFile(DataDir() / "jump_call_return.tzx"), 5, {100, 200, 300, 300, 400}},
      {"loop of 0 plays once", Tzx().LoopStart(0).Tone(100, 1).LoopEnd().bytes, 1, {100}},
      {"jumps at each other end", Tzx().Jump(1).Jump(-1).bytes, 0, {}},
      {"jump past the last block", Tzx().Jump(50).Tone(100, 1).bytes, 0, {}},
      // A direct recording at 100 T-states a sample: 1 0 1 1 0 0 0 0 | 0 1 1 (3 used bits of 0x61),
      // the first keeping the level it was entered with; then its pause of 10 ms holds the last
      // level for 1 ms and goes low; the tone's first edge ends its first pulse.
      {"direct recording",
       Tzx().U8(0x15).U16(100).U16(10).U8(3).U24(2).U8(0xB0).U8(0x61).Tone(2000, 2).bytes,
       7,
       {100, 100, 200, 500, 3700, 9 * 3500 + 2000, 2000}},
      {"CSW block", TapeBytes(cswTzx).Raw(std::vector<uint8_t>(kCswPulses, 1)).bytes, kCswPulses,
       csw},
      // The stop comes after the new level was held for 1 ms.
      {"pause of 0", Tzx().Tone(100, 1).Pause(0).Tone(200, 1).bytes, 1, {100, 3500 + 200}},
  };
  for (const auto& c : cases) {
    TapeRig rig;
    ASSERT_EQ(rig.Insert(c.bytes, !c.isTap), kTapeParseOk) << c.what;
    rig.PlayRecording();
    EXPECT_EQ(rig.edges.size(), c.firstPlay) << c.what;
    rig.PlayRecording();
    EXPECT_EQ(rig.Intervals(), c.pulses) << c.what;
    EXPECT_FALSE(rig.m->TapePlaying) << c.what;
    EXPECT_EQ(rig.m->tape.EarBit, 0) << c.what << ": a stopped tape leaves the EAR input low";
    if (c.end) {
      EXPECT_EQ(rig.now, c.end) << c.what;
    }
  }
}

// (The zasm block tape checks the stop on a 48K.)
TEST(TapePlayer, SignalLevelBlockAndStopIn48KModeOnA128K) {
  TapeRig rig;
  rig.Insert(Tzx().Level(true).Stop48().Tone(100, 1).bytes);
  rig.m->MachineModel = kModel128K;
  StartTape(*rig.m);
  EXPECT_EQ(rig.m->tape.EarBit, 0x40) << "0x2B set the level high";
  EXPECT_EQ(rig.m->tape.image->current->id, 0x12) << "and a 128K plays on past 0x2A";
  rig.PlayRecording();
  EXPECT_TRUE(TapeAtEnd(*rig.m));
  EXPECT_EQ(rig.levels, std::vector<uint8_t>{0});
}

// The generalized data versions of a standard header play exactly the standard block's pulses.
TEST(TapePlayer, GeneralizedDataMatchesTheStandardBlock) {
  const std::string dir = "testdata/media/tzx/gdb-edge-cases/";
  std::vector<TapeRig> rigs(4);
  const char* names[] = {"test_standard.tzx", "test_pilot_zero.tzx", "test_pilot_zero_clean.tzx",
                         "test_gdb_sym_v2.tzx"};
  for (int k = 0; k < 4; ++k) {
    ORVO_REQUIRE_FILE(SharedFile(dir + names[k]));
    ASSERT_EQ(rigs[k].Insert(ReadWholeFile(SharedFile(dir + names[k]))), kTapeParseOk) << names[k];
    rigs[k].PlayRecording();
    // The same edges; a generalized block's pause then takes the level low after 1 ms.
    auto got = rigs[k].Intervals();
    if (k > 0 && got.size() == rigs[0].edges.size() + 1 && got.back() == 3500u) got.pop_back();
    EXPECT_EQ(got, rigs[0].Intervals()) << names[k];
    EXPECT_EQ(rigs[k].now, rigs[0].now) << names[k];
  }
  EXPECT_GT(rigs[0].edges.size(), 8000u);
}

TEST(TapePlayer, GeneralizedDataSymbolsAndLevelRules) {
  // Pilot alphabet: sym 0 = (500) edge, sym 1 = (300, 0) force high; runs: 0 x2, 1 x1.
  // Data alphabet (4 symbols, 2 bits each): 0 = (100) edge, 1 = (200, 200) edge,
  // 2 = (50) no edge, 3 = (70) force low. Data: symbols 1 2 3 0 -> 0b01101100.
  TapeBytes body;
  body.U16(0).U32(2).U8(2).U8(2).U32(4).U8(2).U8(4);
  body.U8(0).U16(500).U16(0).U8(3).U16(300).U16(0);
  body.U8(0).U16(2).U8(1).U16(1);
  body.U8(0).U16(100).U16(0).U8(0).U16(200).U16(200).U8(1).U16(50).U16(0).U8(2).U16(70).U16(0);
  body.U8(0b01101100);
  TapeRig rig;
  const auto size = static_cast<uint32_t>(body.bytes.size());
  ASSERT_EQ(rig.Insert(Tzx().U8(0x19).U32(size).Raw(body.bytes).bytes), kTapeParseOk);
  StartTape(*rig.m);
  std::vector<std::pair<uint32_t, uint8_t>> pulses;  // (length, level during it)
  while (rig.m->TapePlaying) {
    pulses.emplace_back(rig.m->tape.Pulse, rig.m->tape.EarBit);
    rig.Step();
  }
  // The first pulse runs at the starting level; sym 0 again: edge; sym 1 forces high; data
  // sym 1: edge, edge; sym 2: no edge; sym 3: low; sym 0: edge. The last pulse ends with an edge,
  // held for 1 ms before the tape stops, low, at its end.
  const std::vector<std::pair<uint32_t, uint8_t>> expected = {{500, 0}, {500, 0x40}, {300, 0x40},
                                                              {200, 0}, {200, 0x40}, {50, 0x40},
                                                              {70, 0},  {100, 0x40}, {3500, 0}};
  EXPECT_EQ(pulses, expected);
  EXPECT_EQ(rig.m->tape.EarBit, 0);
}

// (Play and stop with the traps on: the trap tests.)
TEST(TapePlayer, StartStopAndFastload) {
  TapeRig rig;
  StartTape(*rig.m);
  EXPECT_FALSE(rig.m->TapePlaying) << "empty deck";
  rig.Insert(Tzx().Tone(100, 2).bytes);
  StartTape(*rig.m);
  // Starting a deck that plays (the ROM loader entered again) leaves it where it is, and the
  // loader's traps sleep while it plays.
  rig.m->InstructionTStates = 7;
  const uint32_t elapsed = rig.m->tape.Elapsed;
  StartTape(*rig.m);
  EXPECT_EQ(rig.m->tape.Elapsed, elapsed);
  rig.m->InstructionTStates = 0;
  EXPECT_FALSE(rig.m->FetchTraps.Has(kTapeRomEntryAddress));
  EXPECT_EQ(rig.Step(), 100u);
  ToggleTape(*rig.m);
  EXPECT_TRUE(rig.m->FetchTraps.Has(kTapeRomEntryAddress));
  // The position survives a stop; fast loading runs unthrottled and gives the settings back.
  rig.m->settings.Fastload = 1;
  rig.m->settings.Frameskip = 3;
  StartTape(*rig.m);
  EXPECT_EQ(rig.m->FullSpeed, 1u);
  EXPECT_EQ(rig.m->settings.Frameskip, 11);
  EXPECT_EQ(rig.Step(), 100u);
  EXPECT_EQ(rig.Step(), 3500u);
  EXPECT_TRUE(TapeAtEnd(*rig.m));
  EXPECT_EQ(rig.m->FullSpeed, 0u);
  EXPECT_EQ(rig.m->settings.Frameskip, 3);
}

// ---- automatic start and stop ----

void Poll(MachineState& m, uint32_t at, uint8_t b) {
  m.FrameTState = at;
  m.cpu.BC.b.h = b;
  TapeAutoStartStop(m);
}

TEST(TapeAutoStartStop, TenQuickCountingPollsStartAndThreeSlowOnesStop) {
  TapeRig rig;
  rig.Insert(Tzx().Tone(1000000, 100).bytes);
  MachineState& m = *rig.m;
  uint8_t b = 0;
  m.settings.Autoload = 1;
  ResetTapeAutoStart(m);
  uint32_t t = 1000;
  Poll(m, t, b);  // the first read comes long after the last one
  for (int k = 0; k < 9; ++k) Poll(m, t += 400, ++b);
  EXPECT_FALSE(m.TapePlaying) << "nine matching reads are not enough";
  Poll(m, t += 400, ++b);
  EXPECT_TRUE(m.TapePlaying);
  // While playing, reads far apart stop it on the third.
  for (int k = 0; k < 2; ++k) Poll(m, t += 2000, b);
  EXPECT_TRUE(m.TapePlaying);
  Poll(m, t += 2000, b);
  EXPECT_FALSE(m.TapePlaying);

  // The time since the last read is measured across a frame end; loaders that count B down
  // (DEC B, DJNZ) keep it playing too.
  ResetTapeAutoStart(m);
  for (int k = 0; k < 10; ++k) Poll(m, 68900 + 100 * k, ++b);  // 68900 .. 69800
  AgeTapeReadTime(m, 69888);
  Poll(m, 200, ++b);  // 288 T-states after the last read, in the next frame
  for (int k = 0; k < 5; ++k) Poll(m, 260 + 60 * k, --b);
  EXPECT_TRUE(m.TapePlaying);
  // A whole frame without a read: the loader has let go of the tape, and the deck stops.
  AgeTapeReadTime(m, 69888);
  EXPECT_TRUE(m.TapePlaying);
  AgeTapeReadTime(m, 69888);
  EXPECT_FALSE(m.TapePlaying);
}

// A frame without a read stops the deck only where the tape was quiet too: a loader waiting
// between loads, with the tape in its pause. Where the tape went on sounding the loader is in
// a wait of its own (the ROM's second after its first edge) and the deck runs on through it.
TEST(TapeAutoStartStop, AFrameWithoutReadsStopsTheDeckOnlyInTheTapesSilence) {
  TapeRig rig;
  rig.Insert(Tzx().Tone(2168, 3000).Pause(2000).Tone(2168, 100).bytes);
  MachineState& m = *rig.m;
  m.settings.Autoload = 1;
  ResetTapeAutoStart(m);
  uint8_t b = 0;
  const auto frame = [&](bool reads) {
    if (reads) {
      for (int k = 0; k < 11; ++k) Poll(m, 1000 + 100 * k, ++b);
    }
    RunTape(m, 69888);
    AgeTapeReadTime(m, 69888);
  };
  frame(true);
  ASSERT_TRUE(m.TapePlaying);
  // The loader stops reading in the middle of the leader (the ROM's wait after its first edge):
  // the leader plays on through the wait.
  for (int k = 0; k < 50; ++k) frame(false);
  EXPECT_TRUE(m.TapePlaying) << "stopped in the middle of the leader";
  // The loader reads to the end of the leader (3000 pulses, 93 frames) and then lets go of the
  // tape: its first quiet frame, in the pause, stops the deck before the next leader.
  int frames = 51;
  for (; frames < 94; ++frames) frame(true);
  frame(false);
  EXPECT_FALSE(m.TapePlaying);
  EXPECT_EQ(m.tape.image->current->id, 0x20);
}

// Blocks that lead back to themselves without a pulse stop the deck there for good: neither the
// automatic start nor the load trap starts it again, only the user's Play does.
TEST(TapeAutoStartStop, ALoopThatTakesNoTimeStopsTheDeckUntilTheUserPlays) {
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"jumps at each other", Tzx().Jump(1).Jump(-1).Tone(100, 1).bytes},
      {"a call sequence calling itself", Tzx().Call({0}).Tone(100, 1).bytes},
  };
  for (const auto& c : cases) {
    TapeRig rig;
    ASSERT_EQ(rig.Insert(c.bytes), kTapeParseOk) << c.what;
    MachineState& m = *rig.m;
    m.settings.Autoload = 1;
    m.settings.TapeTraps = 1;
    ResetTapeAutoStart(m);
    uint8_t b = 0;
    uint32_t t = 1000;
    Poll(m, t, b);
    for (int k = 0; k < 10; ++k) Poll(m, t += 400, ++b);
    EXPECT_FALSE(m.TapePlaying) << c.what;
    EXPECT_EQ(m.tape.LoopStopped, 1) << c.what;
    // The loader goes on polling: the deck stays stopped, at once.
    const uint32_t walked = m.tape.IdleSteps;
    for (int k = 0; k < 100; ++k) Poll(m, t += 400, ++b);
    EXPECT_FALSE(m.TapePlaying) << c.what;
    EXPECT_EQ(m.tape.IdleSteps, walked) << c.what << ": the loop was not walked again";
    EXPECT_FALSE(TapeTrap(m)) << c.what;
    // Play: the loop is walked once more and stops the deck again.
    m.tape.LoopStopped = 2;  // reported
    ToggleTape(m);
    EXPECT_FALSE(m.TapePlaying) << c.what;
    EXPECT_EQ(m.tape.LoopStopped, 1) << c.what;
    // A new tape plays as any other.
    auto tone = std::make_unique<TapeImage>();
    ASSERT_TRUE(ParseTZX(*tone, Tzx().Tone(1000000, 100).bytes).Ok());
    InsertTape(m, std::move(tone));
    for (int k = 0; k < 11; ++k) Poll(m, t += 400, ++b);
    EXPECT_TRUE(m.TapePlaying) << c.what;
  }
}

TEST(TapeWobble, NeverMakesAPulseZero) {
  TapeBytes f = Tzx();
  for (int k = 0; k < 50; ++k) f.Pulses({1, 2, 10, 49, 50, 51, 74, 75, 3500});
  TapeRig rig;
  rig.Insert(f.Tone(60, 20000).bytes);
  rig.m->settings.TapeWobble = 1;
  rig.PlayRecording();
  uint64_t off60 = 0;  // wobble changes most pulses; none becomes 0 or wraps round to a huge one
  for (uint64_t gap : rig.Intervals()) {
    ASSERT_TRUE(gap > 0 && gap < 4000u) << gap;
    off60 += gap != 60;
  }
  EXPECT_GT(off60, 10000u);

  // A direct recording's samples are left as recorded: 79 T-states could not take the jitter.
  TapeRig direct;
  direct.Insert(
      Tzx().U8(0x15).U16(79).U16(0).U8(8).U24(64).Raw(std::vector<uint8_t>(64, 0x5A)).bytes);
  direct.m->settings.TapeWobble = 1;
  direct.PlayRecording();
  for (uint64_t gap : direct.Intervals()) EXPECT_TRUE(gap == 79 || gap == 158) << gap;
}

// ---- recordings, edges converted exactly from the sample rate ----

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
    } else if (bytes[23] == 2 && bytes.size() > 32 && bytes[29] == 0 && bytes[30] == 0 &&
               bytes[31] == 0 && bytes[32] == 0) {
      EXPECT_TRUE(s.Ok()) << name;
      EXPECT_TRUE(tape.blocks.empty()) << name << ": a recording of no pulses is an empty tape";
    } else {
      EXPECT_TRUE(s.Ok()) << name;
      ASSERT_EQ(tape.blocks.size(), 1u) << name;
      EXPECT_EQ(tape.blocks[0]->id, kBlockCsw);
      EXPECT_EQ(tape.blocks[0]->p[5], bytes.size() - kCswSignatureSize);  // the size shown
    }
    ++seen;
  }
  EXPECT_GE(seen, 17);

  // Z-RLE with no pulses may have no compressed stream at all: an empty tape as well.
  const std::string signature = "Compressed Square Wave\x1A";
  std::vector<uint8_t> empty(signature.begin(), signature.end());
  for (const uint8_t byte : {2, 0, 0x44, 0xAC, 0, 0, 0, 0, 0, 0, 2, 0, 0}) empty.push_back(byte);
  empty.resize(empty.size() + 16, 0);
  TapeImage none;
  EXPECT_TRUE(ParseCSW(none, empty, false).Ok());
  EXPECT_TRUE(none.blocks.empty());
  TapeImage tape;  // too short for a signature, and a wrong one
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
  for (const auto& file : {one.bytes, WriteCSW(rle, 4, 22050, true)}) {
    TapeRig rig;
    rig.m->tape.image = std::make_unique<TapeImage>();
    ASSERT_TRUE(ParseCSW(*rig.m->tape.image, file, false).Ok());
    EXPECT_EQ(rig.m->tape.image->blocks[0]->p[1], 1u);  // starts high
    EnterTapeBlock(*rig.m, rig.m->tape.image->first);
    rig.PlayRecording();
    // Edges at the exact sample times: 10, 30, 330 and 337 samples of 22.05 kHz.
    EXPECT_EQ(rig.edges, (std::vector<uint64_t>{1587, 4761, 52380, 53492}));
  }
  // The polarity option starts the same file low.
  TapeImage inverted;
  ASSERT_TRUE(ParseCSW(inverted, one.bytes, true).Ok());
  EXPECT_EQ(inverted.blocks[0]->p[1], 0u);
}

}  // namespace
}  // namespace orvo::test
