// The port decoder: I/O cycle timing per model group, the ULA, the floating bus, paging, ULAplus,
// the AY and the input devices. A test that fits an add-on by its setting applies the settings as
// the options sheet does (UpdateDevices).
#include <gtest/gtest.h>

#include <vector>

#include "devices/device.h"
#include "machine/keyboard.h"
#include "video/palette.h"
#include "video/video_fixture.h"

namespace orvo::test {
namespace {

TEST(PortTiming, IoCycleLengthsPerModelGroup) {
  struct Case {
    uint8_t model;
    bool contention;
    uint16_t port;
    bool write;
    uint32_t start, end;
    uint32_t border;  // the T-state up to which the old border colour was drawn, 0: not checked
  };
  std::vector<Case> cases = {
      // 48K delays from 14335: 6 5 4 3 2 1 0 0, repeating. An even port waits in its middle step
      // (1, then 5 at 14336, then 3); the border change is seen after the first T-state.
      {kModel48K, true, 0x00FE, true, 14335, 14344, 14336},
      // A contended odd port waits at each of its four T-states: 6+1, 0+1, 6+1, 0+1.
      {kModel48K, true, 0x40FF, false, 14335, 14351, 0},
      {kModel48K, true, 0x80FF, false, 14335, 14339, 0},
      // A contended even port waits twice: 6+1, 0+2, then 1.
      {kModel48K, true, 0x40FE, false, 14335, 14345, 0},
      // Without contention the ULA's own wait stays.
      {kModel48K, false, 0x40FE, true, 14335, 14344, 0},
      // The 128K (delays from 14361) changes the border after the ULA's wait.
      {kModel128K, true, 0x00FE, true, 14361, 14370, 14369}};
  // The +2A/+3 charge a flat four T-states.
  for (uint8_t model : {kModelPlus2A, kModelPlus3})
    for (uint16_t port : {0x00FE, 0x40FE, 0x40FF, 0x7FFD, 0xFFFD})
      for (bool write : {false, true}) cases.push_back({model, true, port, write, 14361, 14365, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "model " << int(c.model) << (c.write ? " OUT " : " IN ")
                                      << std::hex << c.port << std::dec << " at " << c.start);
    VideoMachine vm(c.model);
    vm.m.settings.Contention = c.contention;
    vm.m.FrameTState = c.start;
    c.write ? vm.m.WritePort(c.port, 2) : void(vm.m.ReadPort(c.port));
    EXPECT_EQ(vm.m.FrameTState, c.end);
    EXPECT_EQ(c.border ? vm.m.video.BorderDrawnTo : 0u, c.border);
  }
}

TEST(UlaPort, ReadsKeyboardHalfRowsByTheHighByteAndTheTapeOnBit6) {
  VideoMachine vm(kModel48K);
  auto& rows = vm.m.input.KeyRows;
  rows[0] = 0xFE;  // CAPS SHIFT (each half-row alone is read by the ROM's key scan)
  rows[7] = 0xFD;  // SYMBOL SHIFT
  EXPECT_EQ(vm.In(0x7EFE, 100), 0xBE & 0xBD);  // two half-rows at once
  rows.fill(0xFF);
  vm.m.WritePort(0x00FE, 0x00);
  vm.m.TapePlaying = 1;
  vm.m.tape.EarBit = 0x40;
  EXPECT_EQ(vm.m.ReadPort(0x7FFE), 0xFF);
  vm.m.tape.EarBit = 0;
  EXPECT_EQ(vm.m.ReadPort(0x7FFE), 0xBF);
  // An issue 2 board masks its own feedback out before the tape's level goes in.
  vm.m.Issue3Keyboard = 0;
  vm.m.IssueMask = 0x18;
  vm.m.WritePort(0x00FE, 0x08);
  EXPECT_EQ(vm.m.ReadPort(0x7FFE), 0xBF);
}

TEST(UlaPort, WriteSetsBorderBeeperAndEarFeedback) {
  // (model, board issue mask, value) -> bit 6 of a ULA read and the beeper level. EAR alone is
  // half the level, EAR and MIC the whole except on the +2A/+3; an issue 2 48K feeds MIC back
  // too, the 128K family EAR alone.
  const struct {
    uint8_t model, mask, out, bit6;
    uint32_t level;
  } cases[] = {{kModel48K, 0x10, 0x1D, 0x40, 16384}, {kModel48K, 0x10, 0x10, 0x40, 8192},
               {kModel48K, 0x10, 0x08, 0, 0},        {kModel48K, 0x18, 0x08, 0x40, 0},
               {kModel128K, 0x18, 0x08, 0, 0},       {kModel128K, 0x18, 0x18, 0x40, 16384},
               {kModelPlus3, 0x18, 0x18, 0x40, 8192}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "model " << int(c.model) << " out " << int(c.out));
    VideoMachine vm(c.model);
    vm.m.IssueMask = c.mask;
    vm.m.WritePort(0x00FE, c.out);
    EXPECT_EQ(vm.m.ReadPort(0xFEFE) & 0x40, c.bit6);
    EXPECT_EQ(vm.m.ports.BeeperLevel, c.level);
    EXPECT_EQ(vm.m.ports.BorderColour, c.out & 7);
  }
  // A +3 loader touching EAR ends the disk fast-load countdown.
  VideoMachine vm(kModelPlus3);
  vm.m.WritePort(0x00FE, 0x00);
  vm.m.DiskFastCountdown = 50;
  vm.m.FullSpeed = 1;
  vm.m.WritePort(0x00FE, 0x07);  // border only
  EXPECT_EQ(vm.m.DiskFastCountdown, 50);
  vm.m.WritePort(0x00FE, 0x10);
  EXPECT_EQ(vm.m.DiskFastCountdown | vm.m.FullSpeed, 0u);
}

TEST(FloatingBus, The48KReadsTheFetchedBytesOutsideUlaReadsAndTheTape) {
  VideoMachine vm(kModel48K);
  for (int c = 0; c < 32; ++c) vm.Bitmap(0, c) = vm.Attr(0, c) = 0x11;
  vm.Bitmap(1, 0) = 0x55;
  EXPECT_EQ(vm.In(0x00FF, 14335 + 224), 0x55);  // the next display row, 224 T-states on
  // The ULA's wait moves every ULA read of the display period to an idle fetch phase.
  vm.m.WritePort(0x00FE, 0x10);  // bit 6 of ULA reads set: no key gives 0xFF
  for (uint32_t start = 14330; start < 14350; ++start) {
    EXPECT_EQ(vm.In(0xFEFE, start), 0xFF) << start;
  }
  vm.m.TapePlaying = 1;
  EXPECT_EQ(vm.In(0x00FF, 14335), 0xFF);

  VideoMachine late(kModel48K, /*lateTiming=*/true);
  late.Bitmap(0, 0) = 0x11;
  EXPECT_EQ(late.In(0x00FF, 14335), 0xFF);
  EXPECT_EQ(late.In(0x00FF, 14336), 0x11);
}

TEST(FloatingBus, The128KReadsTheSelectedScreenAndPagesByItOnAPagingPortRead) {
  VideoMachine vm(kModel128K);
  vm.m.settings.Contention = 0;  // the paging port's high byte would otherwise move the read
  vm.m.WritePort(0x7FFD, 0x08);  // screen bank 7, bank 0 at 0xC000
  vm.m.RamBlock[7 * 16384] = 0x5A;
  vm.m.RamBlock[7 * 16384 + 0x1800] = 0x42;
  // Display row 0 starts at 14364: bitmap, attribute, then the idle half of the group.
  for (const auto& [at, value] : {std::pair{14364 - 4, 0xFF},
                                  {14364 - 3, 0x5A},
                                  {14364 - 2, 0x42},
                                  {14364 + 1, 0xFF},
                                  {14364 + 5, 0x00}})
    EXPECT_EQ(vm.In(0x00FF, static_cast<uint32_t>(at)), value) << at;
  vm.m.WritePort(0x7FFD, 0x00);
  vm.Bitmap(0, 0) = 0x03;  // bank 3, ROM 0, screen 5
  EXPECT_EQ(vm.In(0x7FFD, 14364 - 3), 0x03);
  EXPECT_EQ(vm.m.Last7FFD, 0x03);
  EXPECT_EQ(vm.m.BankAtC000, 3);
  // Locked ("48 BASIC") it still reads the floating bus; only the +2A/+3 stop.
  vm.m.WritePort(0x7FFD, 0x20);
  vm.Bitmap(0, 0) = 0x3C;
  EXPECT_EQ(vm.In(0x00FF, 14364 - 3), 0x3C);
  // The lock goes with the 128K model that set it: a 48K set up afterwards reads the bus.
  ASSERT_EQ(vm.m.PagingLock, 1);
  vm.m.MachineModel = kModel48K;
  SetUpMachine(vm.emu);
  EXPECT_EQ(vm.m.PagingLock, 0);
  vm.m.PageTable[2][vm.m.video.BitmapRowOffset[1]] = 0x55;  // display row 1 at 0x4100
  EXPECT_EQ(vm.In(0x00FF, 14335 + 224), 0x55);
}

TEST(FloatingBus, Plus2AReturnsTheLastContendedByteInTheBorder) {
  VideoMachine vm(kModelPlus2A);
  vm.m.WriteByte(0x6000, 0x80);
  vm.m.FloatingLatch = 0;
  vm.m.ReadByte(0x6000);         // a contended read latches its byte, with bit 0 set
  vm.m.WriteByte(0x6000, 0x10);  // a write latches what was there before it
  vm.m.ReadByte(0x8000);         // uncontended: the latch keeps its value
  EXPECT_EQ(vm.In(0x0FFD, 1000), 0x81);
  EXPECT_EQ(vm.m.ports.Last0FFDRead, 0x81);
  vm.Bitmap(0, 0) = 0x40;  // during the fetch: the screen byte with bit 0 set
  EXPECT_EQ(vm.In(0x0FFD, 14367 - 3), 0x41);
  vm.m.PagingLock = 1;  // locked paging: 0xFF
  EXPECT_EQ(vm.In(0x0FFD, 1000), 0xFF);
}

TEST(PagingPorts, DecodedByAddressLines) {
  VideoMachine v128(kModel128K);
  v128.m.WritePort(0x7FFD, 0x07);
  EXPECT_EQ(v128.m.BankAtC000, 7);
  // The 128K decodes A15 and A1 only: 0x1FFD, 0x3FFD and 0x0FFD are its 0x7FFD too.
  for (uint16_t port : {0x1FFD, 0x3FFD, 0x0FFD, 0x7FF9}) {
    v128.m.WritePort(port, static_cast<uint8_t>(port & 3));
    EXPECT_EQ(v128.m.BankAtC000, port & 3) << std::hex << port;
  }
  EXPECT_EQ(v128.m.Last1FFD, 0x01);
  v128.m.WritePort(0xBFFD, 0x04);  // the AY, not the paging register
  v128.m.WritePort(0x7FFF, 0x04);  // A1 high
  EXPECT_EQ(v128.m.BankAtC000, 1);

  VideoMachine plus2a(kModelPlus2A);
  plus2a.m.WritePort(0x1FFD, 0x04);
  EXPECT_EQ(plus2a.m.Last1FFD, 0x04);
  plus2a.m.WritePort(0x7FFD, 0x03);
  EXPECT_EQ(plus2a.m.BankAtC000, 3);
  plus2a.m.WritePort(0x3FFD, 0x06);  // the +2A decodes A14 as well: not its paging port
  EXPECT_EQ(plus2a.m.BankAtC000, 3);

  VideoMachine v48(kModel48K);  // no paging register
  v48.m.WritePort(0x7FFD, 0x07);
  EXPECT_EQ(v48.m.Last7FFD, 0);
}

TEST(AyPorts, PerModelAndTheFullerBox) {
  VideoMachine vm(kModel48K);  // no AY until a Fuller Box port is used
  vm.m.settings.Ay48k = 0;
  for (bool on : {false, true}) {
    if (on) vm.m.ReadPort(0x005F);
    vm.m.WritePort(0xFFFD, 7);
    vm.m.WritePort(0xBFFD, 0x3F);
    EXPECT_EQ(vm.m.sound.ay.regs[7], on ? 0x3F : 0);
  }
  EXPECT_EQ(vm.m.ReadPort(0xFFFD), 0x3F);
  // With the Fuller Box on, its own ports select (switching the AY on) and write.
  vm.m.settings.Ay48k = 0;
  vm.m.settings.FullerAy = 1;
  UpdateDevices(vm.m);
  vm.m.WritePort(0x003F, 8);
  EXPECT_EQ(vm.m.settings.Ay48k, 1);
  vm.m.WritePort(0x005F, 0x0C);
  EXPECT_EQ(vm.m.ReadPort(0x005F), 0x0C);
  // On the 128K they decode further as its own AY ports; only the +2A reads 0xBFFD.
  VideoMachine v128(kModel128K);
  v128.m.settings.FullerAy = 1;
  UpdateDevices(v128.m);
  v128.m.WritePort(0x003F, 9);
  v128.m.WritePort(0x005F, 0x05);
  EXPECT_EQ(v128.m.sound.ay.regs[9], 0x05);
  EXPECT_EQ(v128.In(0xBFFD, 1000), 0xFF);  // unanswered: floating bus, border
  VideoMachine plus2a(kModelPlus2A);
  plus2a.m.WritePort(0xFFFD, 1);
  plus2a.m.WritePort(0xBFFD, 0x0A);
  EXPECT_EQ(plus2a.m.ReadPort(0xBFFD), 0x0A);
}

// The SpecDrum's DAC answers OUT to low byte 0xDF on every model while it is fitted; 0x80 is
// silence.
TEST(SpecDrumPort, WritesTheDacOnlyWhileFitted) {
  for (uint8_t model : {kModel48K, kModel128K, kModelPlus3}) {
    VideoMachine vm(model);
    vm.m.sound.SpecDrumLevel = 1234;
    vm.m.WritePort(0x00DF, 0x80);
    EXPECT_EQ(vm.m.sound.SpecDrumLevel, 1234) << "not fitted, model " << int(model);
    vm.m.settings.SpecDrum = 1;
    UpdateDevices(vm.m);
    vm.m.WritePort(0x12DF, 0xFF);
    EXPECT_EQ(vm.m.sound.SpecDrumLevel, 127 * 128) << int(model);
    vm.m.WritePort(0x00DF, 0x00);
    EXPECT_EQ(vm.m.sound.SpecDrumLevel, -16384) << int(model);
  }
}

TEST(InputPorts, KempstonFullerAndCursorSticks) {
  VideoMachine vm(kModel48K);
  vm.m.settings.KeystickType = 1;  // Kempston from the keyboard
  UpdateDevices(vm.m);
  vm.m.input.KeystickActive = 1;
  EXPECT_EQ(vm.m.ReadPort(0x001F), 0x00);
  KeyDown(vm.m, 37, false);  // Left
  KeyDown(vm.m, 32, false);  // Space
  EXPECT_EQ(vm.m.ReadPort(0x001F), 0x12);
  // The keystick's keys act on the matrix too: Left is CAPS SHIFT + 5, Space is SPACE.
  EXPECT_EQ(vm.m.ReadPort(0xF7FE) & 0x1F, 0x0F);
  EXPECT_EQ(vm.m.ReadPort(0xFEFE) & 0x01, 0x00);
  EXPECT_EQ(vm.m.ReadPort(0x7FFE) & 0x01, 0x00);
  KeyDown(vm.m, 'P', false);
  EXPECT_EQ(vm.m.ReadPort(0xDFFE) & 0x1F, 0x1E);
  // Losing the focus lets go of everything: fire does not stay held.
  KeyDown(vm.m, 38, false);
  ReleaseHostInput(vm.m);
  EXPECT_EQ(vm.m.ReadPort(0x001F), 0x00);
  // With the keystick off the cursor keys are the Spectrum's cursor keys again.
  vm.m.input.KeystickActive = 0;
  KeyDown(vm.m, 37, false);
  EXPECT_EQ(vm.m.ReadPort(0xF7FE) & 0x1F, 0x0F);

  VideoMachine pad(kModel48K);  // from the game controller
  pad.m.input.JoystickActive = 1;
  pad.m.settings.JoystickType = 2;  // Fuller
  UpdateDevices(pad.m);
  EXPECT_EQ(pad.m.ReadPort(0x007F), 0xFF) << "the Fuller Box reads active low";
  SetJoystickState(pad.m, 0, -500, true);
  EXPECT_EQ(pad.m.ReadPort(0x007F), 0x7E);
  pad.m.settings.JoystickType = 5;  // Interface II port 2, right: key 2 (bit 1 of 0xF7FE)
  SetJoystickState(pad.m, 700, 0, false);
  EXPECT_EQ(pad.m.ReadPort(0xF7FE), 0xBD);
  EXPECT_EQ(pad.m.ReadPort(0x00FE), 0xBF) << "other high bytes, even with the row, are not changed";
  pad.m.settings.JoystickType = 3;  // Cursor: left is 5 on 0xF7FE; up is 7 on 0xEFFE
  SetJoystickState(pad.m, -1, -1, false);
  EXPECT_EQ(pad.m.ReadPort(0xF7FE), 0xAF);
  EXPECT_EQ(pad.m.ReadPort(0xEFFE), 0xB7);
}

// The window's tests move the captured mouse; these are its ports and their wrapping counters.
TEST(InputPorts, KempstonMouseAndNoAmxOnThe128K) {
  VideoMachine vm(kModel48K);
  vm.m.settings.MouseType = 2;
  UpdateDevices(vm.m);
  CaptureMouse(vm.m);
  const uint8_t x0 = vm.m.ReadPort(0xFBDF), y0 = vm.m.ReadPort(0xFFDF);
  EXPECT_TRUE(MouseMoved(vm.m, 138, 133));
  EXPECT_FALSE(MouseMoved(vm.m, 128, 128));  // the centre needs no recentring
  EXPECT_EQ(vm.m.ReadPort(0xFBDF), static_cast<uint8_t>(x0 + 10));
  EXPECT_EQ(vm.m.ReadPort(0xFFDF), static_cast<uint8_t>(y0 - 5));
  MouseButton(vm.m, 2, true);  // held for as long as it is held, however often it is read
  EXPECT_EQ(vm.m.ReadPort(0xFADF), 0xFE);
  EXPECT_EQ(vm.m.ReadPort(0xFADF), 0xFE);
  MouseButton(vm.m, 1, true);
  EXPECT_EQ(vm.m.ReadPort(0xFADF), 0xFD);
  ReleaseMouse(vm.m);  // not captured: no answer
  EXPECT_EQ(vm.In(0xFBDF, 1000), 0xFF);

  // What the AMX mouse reports is run by a program in the host input tests; the 128K has no
  // AMX interface to report it.
  VideoMachine v128(kModel128K);
  v128.m.settings.MouseType = 1;
  UpdateDevices(v128.m);
  CaptureMouse(v128.m);
  MouseButton(v128.m, 1, true);
  EXPECT_EQ(v128.In(0x00DF, 1000), 0xFF);
}

}  // namespace
}  // namespace orvo::test
