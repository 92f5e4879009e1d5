// The Microdrives as the Interface 1 ROM drives them through its ports, and the Interface 1's
// paging on a whole machine.
#include "devices/microdrive.h"

#include <gtest/gtest.h>

#include "cpu/z80.h"
#include "devices/interface1.h"
#include "formats/mdr_format.h"
#include "machine/machine_fixture.h"
#include "machine/memory.h"

namespace orvo {
namespace {

// A cartridge whose tape byte at every position is the position's low byte.
MicrodriveState WithCartridge(int drive, bool writable) {
  MicrodriveState s;
  std::vector<uint8_t> image(kCartridgeImageSize);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  image.back() = writable ? 0 : 1;
  LoadCartridge(s, drive, std::move(image), "x.mdr", "x.mdr");
  return s;
}

// The ROM's way to select a drive: clock `count` pulses with data high through the chain, then
// latch with data low on the rising edge and select on the falling one.
void Select(MicrodriveState& s, int count) {
  for (int i = 0; i < count; ++i) {
    MicrodriveControlWrite(s, 3);
    MicrodriveControlWrite(s, 1);
  }
  MicrodriveControlWrite(s, 2);
  MicrodriveControlWrite(s, 0);
}

// Reading, writing and formatting through the Interface 1 ROM are run whole by orvo-run; these are
// the edges a ROM run does not reach.
TEST(Microdrive, SelectionProtectionAndTheTapeLoop) {
  for (int count = 0; count < 8; ++count) {
    MicrodriveState s;
    Select(s, count);
    EXPECT_EQ(s.selected, 7 - count) << count;
  }
  MicrodriveState off;
  MicrodriveCommsWrite(off, 0);  // the drives are off: no pulse selects one
  Select(off, 3);
  EXPECT_EQ(off.selected, kNoDrive);

  MicrodriveState s = WithCartridge(0, false);
  EXPECT_EQ(MicrodriveStatusRead(s) & 1, 0) << "protected";
  s.drives[0].position = kCartridgeTapeBytes - 1;  // the last position wraps to the first
  MicrodriveStatusRead(s);
  EXPECT_EQ(s.drives[0].position, 0u);
  s.drives[0].position = 30;  // in the gap after the header: a write waits for the data block
  MicrodriveDataWrite(s, 0xAA);
  EXPECT_EQ(s.drives[0].image[79], 0xAA);
  // Another drive selected: reads give 0xFF and writes go nowhere.
  s.selected = 1;
  EXPECT_EQ(MicrodriveStatusRead(s), 0xFF);
  EXPECT_EQ(MicrodriveDataRead(s), 0xFF);
  MicrodriveDataWrite(s, 0xCC);
  EXPECT_EQ(s.drives[0].image[80], 80);
}

// Paging by the ROM's traps is run whole by orvo-run; the snapshot block carries it.
TEST(Interface1, StateBlockCarriesThePagingAndNotOnThePlus3) {
  test::TestMachine t(kModel48K);
  ORVO_REQUIRE_FILE(test::RomDir() / "IF1.rom");
  MachineState& m = t.m;
  t.emu.settings.Interface1 = 1;
  SetUpMachine(t.emu);
  ASSERT_TRUE(Interface1Fitted(m));
  m.cpu.PC = 0x0008;  // an RST 8 lands on the shadow ROM's code
  ExecuteZ80(m);
  ASSERT_TRUE(m.If1Paged());
  const Device& d = kInterface1Device;
  std::vector<uint8_t> block;
  d.SaveState(m, block);
  m.OnIf1PageOut();
  ASSERT_TRUE(d.CheckState(block));
  EXPECT_EQ(block[0], 5);
  ASSERT_TRUE(d.LoadState(m, block));
  EXPECT_TRUE(m.If1Paged());
  EXPECT_FALSE(d.CheckState(std::span(block).first(10)));

  m.MachineModel = kModelPlus3;
  SetUpMachine(t.emu);
  EXPECT_FALSE(Interface1Fitted(m));
}

}  // namespace
}  // namespace orvo
