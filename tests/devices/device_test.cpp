// The device seam: several devices on one port answer in the order they were registered, overlays
// lie over the paging in their fixed order;
// the devices' fetch traps as the CPU meets them; and the ZX Printer: what the 48K ROM's COPY burns
// onto the paper, the dot timing, and the paper's edges.
#include "devices/device.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cpu/z80.h"
#include "devices/currah.h"
#include "devices/disk_fast_trap.h"
#include "devices/multiface.h"
#include "devices/printer.h"
#include "devices/speech.h"
#include "machine/machine_fixture.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/typing.h"
#include "shell/frame_loop.h"

namespace orvo::test {
namespace {

// Two made-up devices on one port; what they saw.
std::vector<char> order;
uint8_t FirstRead(MachineState&, uint16_t, uint8_t value) {
  order.push_back('a');
  return value == 0xFF ? 0x11 : 0x00;
}
uint8_t SecondRead(MachineState&, uint16_t, uint8_t value) {
  order.push_back('b');
  return static_cast<uint8_t>(value + 1);  // sees what the first one put on the bus
}
void FirstPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0x1F, .read = FirstRead});
}
void SecondPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0x1F, .read = SecondRead});
}
const Device kFirst = {.name = "first", .Ports = FirstPorts};
const Device kSecond = {.name = "second", .Ports = SecondPorts};

TEST(Devices, TwoDevicesOnOnePortAnswerInRegistrationOrder) {
  order.clear();
  TestMachine t(kModel128K);
  RegisterDevice(t.m, kFirst);
  RegisterDevice(t.m, kSecond);
  UpdateDevices(t.m);
  EXPECT_EQ(t.m.ReadPort(0x001F), 0x12);
  EXPECT_EQ(order, (std::vector<char>{'a', 'b'}));

  // A Kempston joystick registered before them answers first, and they see its byte.
  t.m.settings.KeystickType = 1;
  t.m.input.KeystickActive = 1;
  UpdateDevices(t.m);
  EXPECT_EQ(t.m.ReadPort(0x001F), 0x01);
  // Taken away, they answer no more.
  UnregisterDevice(t.m, kFirst);
  UnregisterDevice(t.m, kSecond);
  UpdateDevices(t.m);
  EXPECT_EQ(t.m.ReadPort(0x001F), 0x00);
}

TEST(Devices, OverlaysStackInTheirFixedOrder) {
  TestMachine t(kModel128K);
  ResetMachine(t.emu, true);
  t.MarkRoms();
  t.m.CartridgeImage.assign(16384, 0xC7);
  t.m.CartridgeInserted = 1;
  ResetMemoryMap(t.m);
  t.m.WritePort(0x7FFD, 0x13);  // ROM 1, bank 3
  t.m.WriteByte(0x0000, 0x00);  // the cartridge is ROM
  EXPECT_EQ(t.m.ReadByte(0x0000), 0xC7);
  EXPECT_EQ(t.m.ReadByte(0xC000), 0xFF);
  t.m.WriteByte(0x4000, 0x00);
  EXPECT_EQ(t.m.ScreenPointer[0], 0x00) << "the ULA shows the cartridge's RAM";

  t.m.MultifaceImage.assign(16384, 0x66);
  MapMultifaceMemory(t.m);
  EXPECT_EQ(t.m.ReadByte(0x0000), 0x66);
  EXPECT_EQ(t.m.ReadByte(0x8000), 0xFF);

  t.m.CurrahRom.assign(2048, 0xE5);
  t.m.settings.USpeech = 1;
  UpdateDevices(t.m);
  SetUSpeechPaged(t.m, true);
  EXPECT_EQ(t.m.ReadByte(0x0000), 0xE5);
  EXPECT_EQ(t.m.ReadByte(0x0800), 0x66) << "the rest of its page is the layer beneath";
  t.m.WriteByte(0x2000, 0x01);  // its registers, not the Multiface's RAM
  EXPECT_EQ(t.m.MultifaceImage[0x2000], 0x66);

  // Taken away, they leave the paging latched meanwhile.
  SetUSpeechPaged(t.m, false);
  UnmapMultifaceMemory(t.m);
  t.m.CartridgeInserted = 0;
  ResetMemoryMap(t.m);
  EXPECT_EQ(t.m.ReadByte(0x0000), 0xA1);
  EXPECT_EQ(t.m.PageTable[6], t.Bank(3));
}

// A machine with `code` at `pc` in its ROM (the 48K memory map of a fresh MachineState).
std::unique_ptr<MachineState> MachineAt(uint16_t pc, std::initializer_list<uint8_t> code) {
  auto m = std::make_unique<MachineState>();
  uint16_t a = pc;
  for (uint8_t b : code) m->RomBuffer48[a++] = b;
  m->cpu.PC = pc;
  m->cpu.SP = 0xFF00;
  return m;
}

// A +3 with `code` at `pc` in ROM `rom` (each ROM holding the same bytes), ROM `paged` paged in.
std::unique_ptr<MachineState> Plus3At(uint16_t pc, std::initializer_list<uint8_t> code,
                                      int paged = 2) {
  auto m = std::make_unique<MachineState>();
  m->MachineModel = kModelPlus3;
  for (int rom = 0; rom < 4; ++rom) {
    uint16_t a = pc;
    for (uint8_t b : code) m->RomBuffer128[rom * 16384 + a++] = b;
  }
  m->PageTable[0] = m->RomBuffer128.data() + paged * 16384;
  m->PageTable[1] = m->PageTable[0] + 8192;
  m->cpu.PC = pc;
  m->cpu.SP = 0xFF00;
  return m;
}

TEST(DiskFastTrap, EndsThePlus3DelayLoopsOnlyWithFastLoadingInItsRom) {
  for (const auto& [fast, rom] : {std::pair{true, 2}, {false, 2}, {true, 3}}) {
    SCOPED_TRACE(testing::Message() << fast << " ROM " << rom);
    const bool ends = fast && rom == 2;
    auto dec = Plus3At(0x2144, {0x0B}, rom);  // DEC BC of the motor delay loop
    dec->settings.DiskFastLoad = 1;
    UpdateDiskFastTrap(*dec);
    // Another ROM paged in: the core need not look for the trap.
    EXPECT_EQ(dec->FetchTraps.Armed(), rom == 2);
    dec->settings.DiskFastLoad = fast;  // the setting is also read as the loop is met
    dec->cpu.BC.w = 0x1234;
    dec->cpu.AF.w = 0x5500;
    ExecuteZ80(*dec);
    EXPECT_EQ(dec->cpu.BC.w, ends ? 0 : 0x1233);
    EXPECT_EQ(dec->cpu.AF.w & 0xFF40, ends ? 0x0040 : 0x5500);
    EXPECT_EQ(dec->cpu.PC, ends ? 0x2149 : 0x2145);
    EXPECT_EQ(dec->InstructionTStates, 6u);
  }

  auto ld = Plus3At(0x201B, {0x2E, 0x77}, 3);  // LD L,n of the step wait
  ld->settings.DiskFastLoad = 1;
  UpdateDiskFastTrap(*ld);
  EXPECT_FALSE(ld->FetchTraps.Has(0x201B));
  ld->PageTable[0] = ld->RomBuffer128.data() + 2 * 16384;  // ROM 2 paged in wakes the traps
  ld->PageTable[1] = ld->PageTable[0] + 8192;
  ld->FetchTraps.Remap(ld->PageTable);
  EXPECT_TRUE(ld->FetchTraps.Has(0x201B) && ld->FetchTraps.Has(0x2144));
  ld->cpu.HL.w = 0x1234;
  ExecuteZ80(*ld);
  EXPECT_EQ(ld->cpu.HL.w, 0);
  EXPECT_EQ(ld->cpu.PC, 0x2024);
}

TEST(USpeechTrap, PushAfAtTheInterruptEntryFlipsTheOverlay) {
  auto m = MachineAt(0x0038, {0xF5});  // PUSH AF
  m->CurrahRom.assign(2048, 0x00);
  m->settings.USpeech = 1;
  UpdateDevices(*m);
  SetUSpeechTrap(*m, true);
  ExecuteZ80(*m);
  EXPECT_EQ(m->CurrahPaged, 1);
  EXPECT_EQ(m->cpu.SP, 0xFEFE);

  // The opcode is fetched before the flip, from the map of the moment: with the overlay in,
  // 0x0038 is the speech ROM's byte, here not PUSH AF.
  m->cpu.PC = 0x0038;
  ExecuteZ80(*m);
  EXPECT_EQ(m->CurrahPaged, 1);
  EXPECT_EQ(m->cpu.PC, 0x0039);

  SetUSpeechTrap(*m, false);
  m->CurrahPaged = 0;
  m->cpu.PC = 0x0038;
  ExecuteZ80(*m);
  EXPECT_EQ(m->CurrahPaged, 0);
}

bool Dot(const PrinterState& p, uint32_t line, uint32_t x) {
  return p.paper[line * kPaperWidth + x] == 0;
}

struct PrintingMachine : TestMachine {
  PrintingMachine() : TestMachine(kModel48K) {
    emu.NoThrottle = true;
    ResetMachine(emu, true);
    // No printer: its port is not there (the top border's floating bus reads 0xFF).
    m.FrameTState = 0;
    EXPECT_EQ(m.ReadPort(0x00FB), 0xFF);
    SetPrinterAttached(m, true);
    for (int f = 0; f < 150; ++f) RunFrame(emu);
  }
  void Type(const std::string& text, int frames) {
    StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    for (int f = 0; f < frames; ++f) RunFrame(emu);
  }
};

TEST(Printer, CopyMatchesTheScreen) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  PrintingMachine t;
  // A pattern over the top 22 character rows: every pixel line different.
  for (uint32_t y = 0; y < 176; ++y)
    for (uint32_t col = 0; col < 32; ++col)
      t.m.ScreenPointer[t.m.video.BitmapRowOffset[y] + col] = static_cast<uint8_t>(y * 7 + col);
  t.Type("COPY", 1200);
  const PrinterState& p = t.m.printer;
  EXPECT_EQ(p.motor, 0);
  ASSERT_GE(p.line, 176u);
  int wrong = 0;
  for (uint32_t y = 0; y < 176; ++y)
    for (uint32_t x = 0; x < 256; ++x)
      wrong += Dot(p, y, x) !=
               (((t.m.ScreenPointer[t.m.video.BitmapRowOffset[y] + x / 8] << (x % 8)) & 0x80) != 0);
  EXPECT_EQ(wrong, 0);
}

TEST(Printer, DotTimingAndPaperEdges) {
  PrinterState p;
  p.paper.assign(static_cast<size_t>(kPaperLines) * kPaperWidth, 255);
  PrinterPortWrite(p, 0x80);  // motor on, stylus down
  const auto periods = [&p](int n) {
    for (int i = 0; i < n; ++i) AdvancePrinter(p, kDotTStates);
  };
  periods(16);  // the margin after reset
  EXPECT_EQ(p.column, 0u);
  periods(1);
  EXPECT_EQ(PrinterPortRead(p), 0x81);  // encoder and start pulse with each dot
  periods(256);
  EXPECT_EQ(p.line, 1u);
  // A line of 256 dots takes 257 dot periods plus one margin period.
  periods(257);
  EXPECT_EQ(p.line, 1u);
  periods(1);
  EXPECT_EQ(p.line, 2u);
  EXPECT_TRUE(Dot(p, 0, 0) && Dot(p, 0, 255) && Dot(p, 1, 255));
  PrinterPortWrite(p, 0x04);  // motor off: the flags drop
  EXPECT_EQ(PrinterPortRead(p), 0x00);

  // "Clear", then a row printed: the window shows it at the bottom of the paper.
  ClearPaper(p);
  for (int i = 0; i < 8; ++i) {
    p.paper[p.line * kPaperWidth + 10] = 0;
    FeedPaper(p);
  }
  const std::vector<uint32_t> view = PaperViewPixels(p);
  EXPECT_EQ(view[(kPaperViewHeight - 1) * kPaperViewWidth + 18], 0x000000u);
  EXPECT_EQ(view[(kPaperViewHeight - 9) * kPaperViewWidth + 18], 0xFFFFFFu);

  // At the end of the paper the oldest row scrolls off and the line never passes the buffer.
  for (uint32_t i = 0; i < kPaperLines + 20; ++i) FeedPaper(p);
  EXPECT_LT(p.line, kPaperLines);
  p.paper[p.line * kPaperWidth + 3] = 0;
  const uint32_t marked = p.line;
  for (int i = 0; i < 16; ++i) FeedPaper(p);
  EXPECT_TRUE(Dot(p, marked - 16, 3));
}

}  // namespace
}  // namespace orvo::test
