// The port decoder: I/O cycle timing per model group, the ULA, the floating bus, paging, ULAplus,
// the AY and the input devices.
#include <gtest/gtest.h>

#include "machine/keyboard.h"
#include "video/palette.h"
#include "video_fixture.h"

namespace orvo::test {
namespace {

// ---- I/O cycle timing ----

TEST(PortTiming, EvenPortWaitsInItsMiddleStepOn48K) {
  VideoMachine vm(kModel48K);
  // 1 T-state, then the table's 5 at 14336, then 3 more.
  vm.m.FrameTState = 14335;
  vm.m.WritePort(0x00FE, 7);
  EXPECT_EQ(vm.m.FrameTState, 14335u + 1 + 5 + 3);
  // Outside the display fetch the same OUT takes its plain 4 T-states.
  vm.m.FrameTState = 1000;
  vm.m.WritePort(0x00FE, 7);
  EXPECT_EQ(vm.m.FrameTState, 1004u);
}

TEST(PortTiming, ContendedOddPortWaitsAtEachOfItsFourTStates) {
  VideoMachine vm(kModel48K);
  // Delays from 14335: 6 5 4 3 2 1 0 0, repeating.
  vm.m.FrameTState = 14335;
  vm.m.ReadPort(0x40FF);
  // 14335 +6+1 = 14342; +C(14342)=0 +1 = 14343; +C(14343)=6 +1 = 14350; +C(14350)=0; +1.
  EXPECT_EQ(vm.m.FrameTState, 14351u);
  // An uncontended odd port never waits.
  vm.m.FrameTState = 14335;
  vm.m.ReadPort(0x80FF);
  EXPECT_EQ(vm.m.FrameTState, 14339u);
}

TEST(PortTiming, ContendedEvenPortWaitsTwice) {
  VideoMachine vm(kModel48K);
  vm.m.FrameTState = 14335;
  vm.m.ReadPort(0x40FE);
  // C(14335)=6 +1 -> 14342; C(14342)=0 +2 -> 14344; +1.
  EXPECT_EQ(vm.m.FrameTState, 14345u);
}

TEST(PortTiming, NoContentionKeepsTheUlaWait) {
  VideoMachine vm(kModel48K);
  vm.m.settings.Contention = 0;
  vm.m.FrameTState = 14335;
  vm.m.WritePort(0x40FE, 7);
  EXPECT_EQ(vm.m.FrameTState, 14335u + 1 + 5 + 3);
  vm.m.FrameTState = 14335;
  vm.m.ReadPort(0x40FF);
  EXPECT_EQ(vm.m.FrameTState, 14339u);
}

TEST(PortTiming, Plus3ChargesAFlatFourTStates) {
  for (uint8_t model : {kModelPlus2A, kModelPlus3}) {
    VideoMachine vm(model);
    for (uint16_t port : {0x00FE, 0x40FE, 0x40FF, 0x7FFD, 0xFFFD}) {
      vm.m.FrameTState = 14361;
      vm.m.ReadPort(port);
      EXPECT_EQ(vm.m.FrameTState, 14365u) << std::hex << port;
      vm.m.FrameTState = 14361;
      vm.m.WritePort(port, 0);
      EXPECT_EQ(vm.m.FrameTState, 14365u) << std::hex << port;
    }
  }
}

TEST(PortTiming, BorderChangeIsSeenAfterTheFirstStepOn48KAndAfterTheUlaWaitOn128K) {
  VideoMachine v48(kModel48K);
  v48.m.FrameTState = 14335;
  v48.m.WritePort(0x00FE, 2);
  EXPECT_EQ(v48.m.video.BorderDrawnTo, 14336u);

  VideoMachine v128(kModel128K);
  // 128K delays from 14361: 6 5 4 3 2 1 0 0.
  v128.m.FrameTState = 14361;
  v128.m.WritePort(0x00FE, 2);
  EXPECT_EQ(v128.m.video.BorderDrawnTo, 14361u + 1 + 5 + 2);
  EXPECT_EQ(v128.m.FrameTState, 14361u + 1 + 5 + 2 + 1);
}

// ---- the ULA ----

TEST(UlaPort, KeyboardHalfRowsAreSelectedByTheHighByte) {
  VideoMachine vm(kModel48K);
  auto& rows = vm.m.input.KeyRows;
  rows[0] = 0xFE;  // CAPS SHIFT
  rows[7] = 0xFD;  // SYMBOL SHIFT
  rows[3] = 0xEF;  // 5
  vm.m.FrameTState = 100;
  EXPECT_EQ(vm.m.ReadPort(0xFEFE), 0xBE);
  EXPECT_EQ(vm.m.ReadPort(0x7FFE), 0xBD);
  EXPECT_EQ(vm.m.ReadPort(0xF7FE), 0xAF);
  EXPECT_EQ(vm.m.ReadPort(0xFDFE), 0xBF);
  // High byte 0: every half-row at once.
  EXPECT_EQ(vm.m.ReadPort(0x00FE), 0xBE & 0xBD & 0xAF);
  // Two rows selected by one read.
  EXPECT_EQ(vm.m.ReadPort(0x7EFE), 0xBE & 0xBD);
}

TEST(UlaPort, EarFeedbackFollowsTheBoardIssue) {
  VideoMachine issue3(kModel48K);
  issue3.m.IssueMask = 0x10;
  issue3.m.WritePort(0x00FE, 0x08);  // MIC only
  EXPECT_EQ(issue3.m.ReadPort(0xFEFE) & 0x40, 0);
  issue3.m.WritePort(0x00FE, 0x10);  // EAR
  EXPECT_EQ(issue3.m.ReadPort(0xFEFE) & 0x40, 0x40);

  VideoMachine issue2(kModel48K);
  issue2.m.IssueMask = 0x18;
  issue2.m.WritePort(0x00FE, 0x08);
  EXPECT_EQ(issue2.m.ReadPort(0xFEFE) & 0x40, 0x40);

  // The 128K family answers bit 4 alone.
  VideoMachine v128(kModel128K);
  v128.m.WritePort(0x00FE, 0x08);
  EXPECT_EQ(v128.m.ports.EarFeedback, 0);
  v128.m.WritePort(0x00FE, 0x10);
  EXPECT_EQ(v128.m.ports.EarFeedback, 0x40);
}

TEST(UlaPort, TheTapeDrivesBit6WhilePlaying) {
  VideoMachine vm(kModel48K);
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

TEST(UlaPort, WriteSetsBorderBeeperAndLastOut) {
  VideoMachine v48(kModel48K);
  v48.m.WritePort(0x00FE, 0x1D);  // EAR, MIC, border 5
  EXPECT_EQ(v48.m.ports.BorderColour, 5);
  EXPECT_EQ(v48.m.ports.LastUlaOut, 0x1D);
  EXPECT_EQ(v48.m.ports.BeeperLevel, 16384u);
  v48.m.WritePort(0x00FE, 0x10);
  EXPECT_EQ(v48.m.ports.BeeperLevel, 8192u);
  v48.m.WritePort(0x00FE, 0x08);
  EXPECT_EQ(v48.m.ports.BeeperLevel, 0u);

  VideoMachine plus3(kModelPlus3);
  plus3.m.WritePort(0x00FE, 0x18);
  EXPECT_EQ(plus3.m.ports.BeeperLevel, 8192u);
}

TEST(UlaPort, Plus3EarChangeEndsTheDiskFastLoadCountdown) {
  VideoMachine vm(kModelPlus3);
  vm.m.WritePort(0x00FE, 0x00);
  vm.m.DiskFastCountdown = 50;
  vm.m.FullSpeed = 1;
  vm.m.WritePort(0x00FE, 0x07);  // border only
  EXPECT_EQ(vm.m.DiskFastCountdown, 50);
  vm.m.WritePort(0x00FE, 0x10);
  EXPECT_EQ(vm.m.DiskFastCountdown, 0);
  EXPECT_EQ(vm.m.FullSpeed, 0u);
}

// ---- the floating bus ----

TEST(FloatingBus, An48KReadsTheBytesTheUlaFetches) {
  VideoMachine vm(kModel48K);
  vm.Bitmap(0, 0) = 0x11;
  vm.Attr(0, 0) = 0x22;
  vm.Bitmap(0, 1) = 0x33;
  vm.Attr(0, 1) = 0x44;
  vm.Bitmap(1, 0) = 0x55;
  // IN A,(0xFF) decodes 3 T-states after it starts: at 14338 the ULA has the first bitmap byte.
  const uint8_t expected[] = {0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int i = 0; i < 8; ++i) {
    vm.m.FrameTState = 14335 + i;
    EXPECT_EQ(vm.m.ReadPort(0x00FF), expected[i]) << "T-state " << 14338 + i;
  }
  // The next display row starts 224 T-states later.
  vm.m.FrameTState = 14335 + 224;
  EXPECT_EQ(vm.m.ReadPort(0x00FF), 0x55);
  // The border gives 0xFF.
  vm.m.FrameTState = 1000;
  EXPECT_EQ(vm.m.ReadPort(0x00FF), 0xFF);
}

TEST(FloatingBus, LateTimingMovesItOneTStateLater) {
  VideoMachine vm(kModel48K, /*lateTiming=*/true);
  vm.Bitmap(0, 0) = 0x11;
  vm.m.FrameTState = 14335;
  EXPECT_EQ(vm.m.ReadPort(0x00FF), 0xFF);
  vm.m.FrameTState = 14336;
  EXPECT_EQ(vm.m.ReadPort(0x00FF), 0x11);
}

TEST(FloatingBus, UlaReadsFallInTheIdlePhaseAndTheTapeSilencesIt) {
  VideoMachine vm(kModel48K);
  for (int c = 0; c < 32; ++c) vm.Bitmap(0, c) = vm.Attr(0, c) = 0x11;
  vm.m.WritePort(0x00FE, 0x10);  // bit 6 of ULA reads set: no key gives 0xFF
  // The ULA's wait moves every ULA read of the display period to an idle fetch phase.
  for (uint32_t start = 14330; start < 14350; ++start) {
    vm.m.FrameTState = start;
    EXPECT_EQ(vm.m.ReadPort(0xFEFE), 0xFF) << start;
  }
  vm.m.TapePlaying = 1;
  vm.m.FrameTState = 14335;
  EXPECT_EQ(vm.m.ReadPort(0x00FF), 0xFF);
}

TEST(FloatingBus, The128KReadsTheSelectedScreenBank) {
  VideoMachine vm(kModel128K);
  // Screen bank 7 selected, bank 0 at 0xC000.
  vm.m.WritePort(0x7FFD, 0x08);
  uint8_t* bank7 = vm.m.RamBlock.data() + 7 * 16384;
  bank7[0] = 0x5A;
  // The 128K's display row 0 starts at 14364; bitmap at phase 2 of the fetch.
  vm.m.FrameTState = 14364 - 3;
  EXPECT_EQ(vm.m.ReadPort(0x00FF), 0x5A);
}

TEST(FloatingBus, The128KPagingPortPagesByTheFetchedByteOnARead) {
  VideoMachine vm(kModel128K);
  vm.m.settings.Contention = 0;  // the port's high byte would otherwise move the read
  vm.m.WritePort(0x7FFD, 0x00);
  vm.Bitmap(0, 0) = 0x03;  // bank 3, ROM 0, screen 5
  vm.m.FrameTState = 14364 - 3;
  EXPECT_EQ(vm.m.ReadPort(0x7FFD), 0x03);
  EXPECT_EQ(vm.m.Last7FFD, 0x03);
  EXPECT_EQ(vm.m.BankAtC000, 3);
}

TEST(FloatingBus, Plus2AReturnsTheLastContendedByteInTheBorder) {
  VideoMachine vm(kModelPlus2A);
  vm.m.FloatingLatch = 0x81;
  vm.m.FrameTState = 1000;
  EXPECT_EQ(vm.m.ReadPort(0x0FFD), 0x81);
  EXPECT_EQ(vm.m.ports.Last0FFDRead, 0x81);
  // During the fetch: the screen byte with bit 0 set.
  vm.Bitmap(0, 0) = 0x40;
  vm.m.FrameTState = 14367 - 3;  // phase 2 of column 0 on the +2A timing
  EXPECT_EQ(vm.m.ReadPort(0x0FFD), 0x41);
  // Locked paging: 0xFF.
  vm.m.PagingLock = 1;
  vm.m.FrameTState = 1000;
  EXPECT_EQ(vm.m.ReadPort(0x0FFD), 0xFF);
}

// ---- paging, AY ----

TEST(PagingPorts, DecodedByAddressLines) {
  VideoMachine v128(kModel128K);
  v128.m.WritePort(0x7FFD, 0x07);
  EXPECT_EQ(v128.m.BankAtC000, 7);
  // The 128K answers 0x1FFD as 0x7FFD.
  v128.m.WritePort(0x1FFD, 0x04);
  EXPECT_EQ(v128.m.BankAtC000, 4);
  EXPECT_EQ(v128.m.Last1FFD, 0x04);
  // 0xBFFD is the AY, not the paging register.
  v128.m.WritePort(0xBFFD, 0x01);
  EXPECT_EQ(v128.m.BankAtC000, 4);

  VideoMachine plus2a(kModelPlus2A);
  plus2a.m.WritePort(0x1FFD, 0x04);
  EXPECT_EQ(plus2a.m.Last1FFD, 0x04);
  plus2a.m.WritePort(0x7FFD, 0x03);
  EXPECT_EQ(plus2a.m.BankAtC000, 3);

  // The 48K has no paging register.
  VideoMachine v48(kModel48K);
  v48.m.WritePort(0x7FFD, 0x07);
  EXPECT_EQ(v48.m.Last7FFD, 0);
}

TEST(AyPorts, The48KAnswersOnlyOnceAFullerBoxPortWasRead) {
  VideoMachine vm(kModel48K);
  vm.m.settings.Ay48k = 0;
  vm.m.WritePort(0xFFFD, 7);
  vm.m.WritePort(0xBFFD, 0x3F);
  EXPECT_EQ(vm.m.sound.ay.regs[7], 0);
  vm.m.ReadPort(0x005F);
  EXPECT_EQ(vm.m.settings.Ay48k, 1);
  vm.m.WritePort(0xFFFD, 7);
  vm.m.WritePort(0xBFFD, 0x3F);
  EXPECT_EQ(vm.m.sound.ay.regs[7], 0x3F);
  EXPECT_EQ(vm.m.ReadPort(0xFFFD), 0x3F);
  EXPECT_EQ(vm.m.ports.LastFFFDRead, 0x3F);
}

TEST(AyPorts, FullerBoxPortsSelectAndWrite) {
  VideoMachine vm(kModel48K);
  vm.m.settings.FullerAy = 1;
  vm.m.WritePort(0x003F, 8);
  EXPECT_EQ(vm.m.ports.LastAySelect, 8);
  EXPECT_EQ(vm.m.settings.Ay48k, 1);
  vm.m.WritePort(0x005F, 0x0C);
  EXPECT_EQ(vm.m.sound.ay.regs[8], 0x0C);
  EXPECT_EQ(vm.m.ReadPort(0x005F), 0x0C);
  // On the 128K the Fuller ports decode further as the 128K's own AY ports.
  VideoMachine v128(kModel128K);
  v128.m.settings.FullerAy = 1;
  v128.m.WritePort(0x003F, 9);
  v128.m.WritePort(0x005F, 0x05);
  EXPECT_EQ(v128.m.sound.ay.regs[9], 0x05);
}

TEST(AyPorts, SelectAbove15FoldsTo16AndOnly2AReads0xBFFD) {
  VideoMachine v128(kModel128K);
  v128.m.WritePort(0xFFFD, 0x23);
  EXPECT_EQ(v128.m.sound.ay.AySelectedRegister, 16);
  v128.m.WritePort(0xFFFD, 1);
  v128.m.WritePort(0xBFFD, 0x0A);
  v128.m.FrameTState = 1000;
  EXPECT_EQ(v128.m.ReadPort(0xBFFD), 0xFF);  // unanswered: floating bus, border
  VideoMachine plus2a(kModelPlus2A);
  plus2a.m.WritePort(0xFFFD, 1);
  plus2a.m.WritePort(0xBFFD, 0x0A);
  EXPECT_EQ(plus2a.m.ReadPort(0xBFFD), 0x0A);
  EXPECT_EQ(plus2a.m.ports.LastBFFDRead, 0x0A);
}

// ---- ULAplus ----

TEST(UlaPlusPorts, ModeAndPaletteGroups) {
  VideoMachine vm(kModel48K);
  vm.m.settings.UlaPlus = 1;
  vm.m.WritePort(0xBF3B, 0x40);
  vm.m.WritePort(0xFF3B, 0x01);
  EXPECT_EQ(vm.m.ports.UlaPlusPaletteMode, 1);
  EXPECT_EQ(vm.m.ReadPort(0xFF3B), 1);
  vm.m.WritePort(0xBF3B, 0x05);
  vm.m.WritePort(0xFF3B, 0xE3);
  EXPECT_EQ(vm.m.ports.UlaPlusPalette[5], ULAplusRgbTable[0xE3]);
  EXPECT_EQ(vm.m.ReadPort(0xFF3B), 0x23);
  // With the option off the ports are not there.
  VideoMachine off(kModel48K);
  off.m.WritePort(0xBF3B, 0x40);
  off.m.WritePort(0xFF3B, 0x01);
  EXPECT_EQ(off.m.ports.UlaPlusPaletteMode, 0);
}

TEST(InputPorts, KempstonKeystick) {
  VideoMachine vm(kModel48K);
  vm.m.settings.KeystickType = 1;
  vm.m.input.KeystickActive = 1;
  EXPECT_EQ(vm.m.ReadPort(0x001F), 0x00);
  KeyDown(vm.m, 37, false);  // Left
  KeyDown(vm.m, 32, false);  // Space
  EXPECT_EQ(vm.m.ReadPort(0x001F), 0x12);
  KeyUp(vm.m, 37, false);
  EXPECT_EQ(vm.m.ReadPort(0x001F), 0x10);
}

TEST(InputPorts, FullerAndCursorFromTheGameController) {
  VideoMachine vm(kModel48K);
  vm.m.input.JoystickActive = 1;
  vm.m.settings.JoystickType = 2;
  SetJoystickState(vm.m, 0, -500, true);
  EXPECT_EQ(vm.m.ReadPort(0x007F), 0x81);
  // Interface II port 2, pushed right: key 2 (bit 1 of 0xF7FE) down.
  vm.m.settings.JoystickType = 5;
  SetJoystickState(vm.m, 700, 0, false);
  EXPECT_EQ(vm.m.ReadPort(0xF7FE), 0xBD);
  // Other high bytes, even those that include the row, are not changed.
  EXPECT_EQ(vm.m.ReadPort(0x00FE), 0xBF);
  // Cursor: left is 5 on 0xF7FE; up is 7 on 0xEFFE.
  vm.m.settings.JoystickType = 3;
  SetJoystickState(vm.m, -1, -1, false);
  EXPECT_EQ(vm.m.ReadPort(0xF7FE), 0xAF);
  EXPECT_EQ(vm.m.ReadPort(0xEFFE), 0xB7);
}

TEST(InputPorts, KempstonMouse) {
  VideoMachine vm(kModel48K);
  vm.m.settings.MouseType = 2;
  CaptureMouse(vm.m);
  const uint8_t x0 = vm.m.ReadPort(0xFBDF);
  const uint8_t y0 = vm.m.ReadPort(0xFFDF);
  EXPECT_TRUE(MouseMoved(vm.m, 138, 133));
  EXPECT_EQ(vm.m.ReadPort(0xFBDF), static_cast<uint8_t>(x0 + 10));
  EXPECT_EQ(vm.m.ReadPort(0xFFDF), static_cast<uint8_t>(y0 - 5));
  EXPECT_FALSE(MouseMoved(vm.m, 128, 128));
  // A press is reported once.
  EXPECT_EQ(vm.m.ReadPort(0xFADF), 0xFF);
  MouseButton(vm.m, 2, true);
  EXPECT_EQ(vm.m.ReadPort(0xFADF), 0xFE);
  EXPECT_EQ(vm.m.ReadPort(0xFADF), 0xFF);
  // Not captured: no answer.
  ReleaseMouse(vm.m);
  vm.m.FrameTState = 1000;
  EXPECT_EQ(vm.m.ReadPort(0xFBDF), 0xFF);
}

TEST(InputPorts, AmxMouseButtonsAndSteps) {
  VideoMachine vm(kModel48K);
  vm.m.settings.MouseType = 1;
  CaptureMouse(vm.m);
  vm.m.WritePort(0x005F, 0x20);  // control byte A: X vector
  vm.m.WritePort(0x007F, 0x30);  // control byte B: Y vector
  MouseButton(vm.m, 1, true);
  EXPECT_EQ(vm.m.ReadPort(0x00DF), 0x7F);
  MouseButton(vm.m, 1, false);
  EXPECT_EQ(vm.m.ReadPort(0x00DF), 0xFF);
  // Left and down: one X step per move message, then the Y step.
  MouseMoved(vm.m, 120, 130);
  MouseMoved(vm.m, 128, 128);
  ASSERT_EQ(vm.m.input.AmxQueue.size(), 2u);
  EXPECT_EQ(vm.m.input.AmxQueue[0].direction, 1);
  EXPECT_EQ(vm.m.input.AmxQueue[0].vector, 0x20);
  EXPECT_EQ(vm.m.input.AmxQueue[1].direction, 1);
  EXPECT_EQ(vm.m.input.AmxQueue[1].vector, 0x30);
  // The 128K has no AMX interface.
  VideoMachine v128(kModel128K);
  v128.m.settings.MouseType = 1;
  CaptureMouse(v128.m);
  MouseButton(v128.m, 1, true);
  v128.m.FrameTState = 1000;
  EXPECT_EQ(v128.m.ReadPort(0x00DF), 0xFF);
}

}  // namespace
}  // namespace orvo::test
