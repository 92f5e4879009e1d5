// The ROM loader trap: standard blocks copied straight into memory with "Tape Traps" on.
#include <gtest/gtest.h>

#include "tape/tape_deck.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

const std::vector<uint8_t> kHeaderData = {3,   'B', 'Y', 'T', 'E', 'S',  ' ', ' ', ' ',
                                          ' ', ' ', 3,   0,   0,   0x80, 0,   0};
const std::vector<uint8_t> kCode = {0x11, 0x22, 0x33};

struct TrapRig : TapeRig {
  // A header and a data block by default.
  static std::vector<uint8_t> DefaultTap() {
    return TapeBytes().TapBlock(RomBlock(0x00, kHeaderData)).TapBlock(RomBlock(0xFF, kCode)).bytes;
  }
  explicit TrapRig(const std::vector<uint8_t>& tap = DefaultTap(), bool tzx = false) {
    Insert(tap, tzx);
    m->settings.TapeTraps = 1;
    m->MachineModel = kModel48K;
  }
  // The registers LD-BYTES holds at 0x056B: the flag in A', LOAD or VERIFY in F's carry, the
  // length in DE and the address in IX.
  void Request(uint8_t flag, uint16_t length, uint16_t address, bool load = true) {
    CpuState& c = m->cpu;
    c.AF_.b.h = flag;
    c.AF_.b.l = load ? 0x01 : 0x00;
    c.DE.w = length;
    c.IX.w = address;
    c.AF.b.l = 0x00;
    c.PC = 0x056C;
  }
  bool Carry() const { return (m->cpu.AF.b.l & 1) != 0; }
  uint32_t Current() const { return m->tape.image->current->index; }
};

TEST(TapeTrap, LoadsHeaderAndDataWithoutPlayingAPulse) {
  TrapRig rig;
  MachineState& m = *rig.m;
  EXPECT_TRUE(m.FetchTraps.Has(kTapeLoadTrapAddress)) << "the machine's hooks reach the deck";
  const uint8_t rom0 = m.Peek(0x3FFF);
  rig.Request(0x00, 17, 0x3FFF);  // the first byte would land in ROM: stores follow the write map
  ASSERT_TRUE(TapeTrap(m));
  EXPECT_EQ(m.cpu.PC, 0x05E2);
  EXPECT_TRUE(rig.Carry());
  EXPECT_EQ(m.cpu.IX.w, 0x4010);
  EXPECT_EQ(m.cpu.DE.w, 0);
  EXPECT_EQ(m.cpu.BC.w, 0xCB01);
  EXPECT_EQ(m.cpu.HL.w, 0);
  EXPECT_EQ(m.Peek(0x3FFF), rom0);
  for (size_t k = 1; k < kHeaderData.size(); ++k) EXPECT_EQ(m.Peek(0x3FFF + k), kHeaderData[k]);
  EXPECT_EQ(rig.Current(), 1u);

  rig.Request(0xFF, 3, 0x8000);
  ASSERT_TRUE(TapeTrap(m));
  EXPECT_TRUE(rig.Carry());
  EXPECT_EQ(m.Peek(0x8000), 0x11);
  EXPECT_EQ(m.Peek(0x8002), 0x33);
  EXPECT_EQ(m.Peek(0x8003), 0x00) << "the checksum is not stored";
  EXPECT_EQ(m.tape.image->current, nullptr);
  EXPECT_FALSE(m.TapePlaying);
  EXPECT_FALSE(TapeTrap(m)) << "nothing left to load";
}

// The ROM reads the flag byte first: a block of another kind goes by with the load failed, as
// LOAD "name" passes the data blocks of other programs. VERIFY compares instead of storing; a bad
// checksum stores the bytes and fails. What the trap cannot copy (a turbo block after a text, a
// block of another length than asked for) is played for the ROM, which meets it as it is.
TEST(TapeTrap, FlagVerifyChecksumAndBlocksLeftToTheRom) {
  const std::vector<uint8_t> normal = TrapRig::DefaultTap();
  std::vector<uint8_t> badSum = RomBlock(0xFF, kCode);
  badSum.back() ^= 0x01;
  const auto turbo =
      Tzx().Comment("info").Turbo(2000, 600, 700, 800, 1600, 10, 8, 0, RomBlock(0, kHeaderData));
  const struct {
    const char* what;
    std::vector<uint8_t> tap;
    uint8_t flag;
    uint16_t length;
    bool load, presetSame, trapped, carry;
    uint8_t at0x6001;
  } cases[] = {
      {"flag mismatch", normal, 0xFF, 3, true, false, true, false, 0x00},
      {"verify differs", normal, 0x00, 17, false, false, true, false, 0x00},
      {"verify same", normal, 0x00, 17, false, true, true, true, kHeaderData[1]},
      {"bad checksum", TapeBytes().TapBlock(badSum).bytes, 0xFF, 3, true, false, true, false, 0x22},
      {"wrong length", normal, 0x00, 20, true, false, false, false, 0x00},
      {"turbo", turbo.bytes, 0x00, 17, true, false, false, false, 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TrapRig rig(c.tap, c.tap[0] == 'Z');
    if (c.presetSame) {
      for (size_t k = 0; k < kHeaderData.size(); ++k) rig.m->WriteByte(0x6000 + k, kHeaderData[k]);
    }
    rig.Request(c.flag, c.length, 0x6000, c.load);
    rig.m->cpu.AF.b.l = 0x01;
    ASSERT_EQ(TapeTrap(*rig.m), c.trapped);
    if (c.trapped) {
      EXPECT_EQ(rig.Carry(), c.carry);
      EXPECT_EQ(rig.m->cpu.PC, 0x05E2);
    }
    EXPECT_EQ(rig.m->Peek(0x6001), c.at0x6001);
    EXPECT_EQ(rig.m->TapePlaying, !c.trapped);
    if (rig.m->tape.image->current) {  // the text block is passed over
      EXPECT_EQ(rig.Current(), c.trapped || c.tap == turbo.bytes ? 1u : 0u);
    }
  }
}

// Standard blocks reached through a jump, a loop and a call are copied in the order the tape
// plays them; pauses and stop marks between them hold nothing to load.
TEST(TapeTrap, FollowsJumpsLoopsAndCalls) {
  const auto block = [](uint8_t v) { return RomBlock(0xFF, {v}); };
  TrapRig rig(Tzx()
                  .Jump(2)
                  .Standard(0, block(1))  // jumped over
                  .LoopStart(2)
                  .Standard(0, block(2))
                  .LoopEnd()
                  .Pause(500)
                  .Stop48()
                  .Call({2})
                  .Standard(0, block(3))
                  .Standard(0, block(4))
                  .Return()
                  .bytes,
              true);
  for (uint8_t expected : {2, 2, 4, 3, 4}) {
    rig.Request(0xFF, 1, 0x8000);
    ASSERT_TRUE(TapeTrap(*rig.m)) << int(expected);
    EXPECT_TRUE(rig.Carry());
    EXPECT_EQ(rig.m->Peek(0x8000), expected);
  }
  rig.Request(0xFF, 1, 0x8000);
  EXPECT_FALSE(TapeTrap(*rig.m)) << "nothing left to load";
}

// Only with traps on, the tape stopped, and the loader's ROM paged in (code at 0x056B of another
// ROM, or of RAM, is not the loader): else the trap leaves the tape to play, and Play works
// whatever the trap setting.
TEST(TapeTrap, OnlyWithTrapsOnTheTapeStoppedAndTheLoadersRomPagedIn) {
  TrapRig rig;
  MachineState& m = *rig.m;
  rig.Request(0x00, 17, 0x6000);
  m.TapePlaying = 1;
  EXPECT_FALSE(TapeTrap(m));
  m.TapePlaying = 0;
  m.settings.TapeTraps = 0;
  EXPECT_FALSE(TapeTrap(m));
  m.settings.TapeTraps = 1;
  m.PageTable[0] = m.RamBlock.data();  // an all-RAM map
  EXPECT_FALSE(TapeTrap(m));
  EXPECT_EQ(m.Peek(0x6001), 0);
  EXPECT_EQ(rig.Current(), 0u);
  StartTapeAtRomEntry(m);
  StartTapeAtRomEntry(m);  // starting a playing tape keeps it playing
  EXPECT_TRUE(m.TapePlaying) << "the ROM entry starts the deck as without traps";
}

}  // namespace
}  // namespace orvo::test
