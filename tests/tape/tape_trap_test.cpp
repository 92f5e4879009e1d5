// The ROM loader trap: standard blocks copied straight into memory with "Tape Traps" on.
#include <gtest/gtest.h>

#include "tape_test_support.h"

namespace orvo::test {
namespace {

const std::vector<uint8_t> kHeaderData = {3,   'B', 'Y', 'T', 'E', 'S',  ' ', ' ', ' ',
                                          ' ', ' ', 3,   0,   0,   0x80, 0,   0};
const std::vector<uint8_t> kCode = {0x11, 0x22, 0x33};

struct TrapRig : TapeRig {
  TrapRig() {
    TapeBytes f;
    f.TapBlock(RomBlock(0x00, kHeaderData)).TapBlock(RomBlock(0xFF, kCode));
    Insert(f.bytes, false);
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
};

TEST(TapeTrap, LoadsHeaderAndDataWithoutPlayingAPulse) {
  TrapRig rig;
  MachineState& m = *rig.m;
  rig.Request(0x00, 17, 0x6000);
  ASSERT_TRUE(TapeTrap(m));
  EXPECT_EQ(m.cpu.PC, 0x05E2);
  EXPECT_TRUE(rig.Carry());
  EXPECT_EQ(m.cpu.IX.w, 0x6011);
  EXPECT_EQ(m.cpu.DE.w, 0);
  EXPECT_EQ(m.cpu.BC.w, 0xCB01);
  EXPECT_EQ(m.cpu.HL.w, 0);
  for (size_t k = 0; k < kHeaderData.size(); ++k) EXPECT_EQ(m.Peek(0x6000 + k), kHeaderData[k]);
  ASSERT_NE(m.tape.image->current, nullptr);
  EXPECT_EQ(m.tape.image->current->index, 1u);

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

TEST(TapeTrap, OnlyWithTrapsOnAndTheTapeStopped) {
  TrapRig rig;
  MachineState& m = *rig.m;
  m.settings.TapeTraps = 0;
  rig.Request(0x00, 17, 0x6000);
  EXPECT_FALSE(TapeTrap(m));
  EXPECT_EQ(m.tape.image->current->index, 0u);
  m.settings.TapeTraps = 1;
  m.TapePlaying = 1;
  EXPECT_FALSE(TapeTrap(m));
  m.TapePlaying = 0;
  EXPECT_TRUE(TapeTrap(m));
}

// The ROM reads the flag byte first: a block of another kind goes by with the load failed, as
// LOAD "name" passes the data blocks of other programs.
TEST(TapeTrap, BlockOfAnotherFlagIsPassedOverAsAFailedLoad) {
  TrapRig rig;
  MachineState& m = *rig.m;
  rig.Request(0xFF, 3, 0x8000);  // wants data, the tape has a header next
  ASSERT_TRUE(TapeTrap(m));
  EXPECT_FALSE(rig.Carry());
  EXPECT_EQ(m.cpu.PC, 0x05E2);
  EXPECT_EQ(m.Peek(0x8000), 0x00);
  EXPECT_EQ(m.tape.image->current->index, 1u);
}

TEST(TapeTrap, VerifyComparesInsteadOfStoring) {
  TrapRig rig;
  MachineState& m = *rig.m;
  rig.Request(0x00, 17, 0x6000, false);
  ASSERT_TRUE(TapeTrap(m));
  EXPECT_FALSE(rig.Carry()) << "memory differs from the tape";
  EXPECT_EQ(m.Peek(0x6000), 0x00);

  TrapRig same;
  MachineState& s = *same.m;
  for (size_t k = 0; k < kHeaderData.size(); ++k) s.WriteByte(0x6000 + k, kHeaderData[k]);
  same.Request(0x00, 17, 0x6000, false);
  ASSERT_TRUE(TapeTrap(s));
  EXPECT_TRUE(same.Carry());
}

TEST(TapeTrap, BadChecksumLoadsTheBytesButFails) {
  TapeRig rig;
  TapeBytes f;
  std::vector<uint8_t> block = RomBlock(0xFF, kCode);
  block.back() ^= 0x01;
  f.TapBlock(block);
  rig.Insert(f.bytes, false);
  rig.m->settings.TapeTraps = 1;
  CpuState& c = rig.m->cpu;
  c.AF_.b.h = 0xFF;
  c.AF_.b.l = 1;
  c.DE.w = 3;
  c.IX.w = 0x9000;
  c.AF.b.l = 0x01;
  ASSERT_TRUE(TapeTrap(*rig.m));
  EXPECT_EQ(c.AF.b.l & 1, 0);
  EXPECT_EQ(rig.m->Peek(0x9001), 0x22);
}

TEST(TapeTrap, OtherBlocksFallBackToPlayingWhichTrapsRefuse) {
  TapeRig rig;
  TapeBytes f;
  f.TzxHeader()
      .Comment("info")
      .U8(0x11)
      .U16(2000)
      .U16(600)
      .U16(700)
      .U16(800)
      .U16(1600)
      .U16(10)
      .U8(8)
      .U16(0)
      .U24(19)
      .Raw(RomBlock(0x00, kHeaderData));
  rig.Insert(f.bytes);
  MachineState& m = *rig.m;
  m.settings.TapeTraps = 1;
  m.cpu.AF_.b.h = 0;
  m.cpu.AF_.b.l = 1;
  m.cpu.DE.w = 17;
  EXPECT_FALSE(TapeTrap(m));
  EXPECT_EQ(m.tape.image->current->id, 0x11) << "the text block is passed over";
  EXPECT_FALSE(m.TapePlaying) << "with traps on a turbo block is not played";

  // A standard block of another length than asked for is not loaded by the trap either.
  TrapRig wrongLength;
  wrongLength.Request(0x00, 20, 0x6000);
  EXPECT_FALSE(TapeTrap(*wrongLength.m));
  EXPECT_EQ(wrongLength.m->tape.image->current->index, 0u);
  EXPECT_EQ(wrongLength.m->Peek(0x6000), 0x00);
}

TEST(TapeTrap, StoresFollowTheWriteMap) {
  TrapRig rig;
  MachineState& m = *rig.m;
  const uint8_t rom0 = m.Peek(0x3FFF);
  rig.Request(0x00, 17, 0x3FFF);  // the first byte would land in ROM
  ASSERT_TRUE(TapeTrap(m));
  EXPECT_EQ(m.Peek(0x3FFF), rom0);
  EXPECT_EQ(m.Peek(0x4000), kHeaderData[1]);
}

TEST(TapeTrap, HooksReachTheDeckThroughTheMachine) {
  TrapRig rig;
  MachineState& m = *rig.m;
  EXPECT_NE(m.TrapFlags & kTrapTape, 0u);
  rig.Request(0x00, 17, 0x6000);
  EXPECT_TRUE(m.OnTapeLoadTrap());
  // The start hook plays the tape when traps are off.
  m.settings.TapeTraps = 0;
  m.OnTapeStartTrap();
  EXPECT_TRUE(m.TapePlaying);
  m.OnTapeStartTrap();
  EXPECT_TRUE(m.TapePlaying) << "starting a playing tape keeps it playing";
}

}  // namespace
}  // namespace orvo::test
