// The device seam: a device registered on a port answers through the decoder, several on one port
// answer in the order they were registered, overlays lie over the paging in their fixed order; and
// the devices' fetch traps as the CPU meets them.
#include "devices/device.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cpu/z80.h"
#include "devices/currah.h"
#include "devices/disk_fast_trap.h"
#include "devices/multiface.h"
#include "devices/speech.h"
#include "machine/machine_fixture.h"
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo::test {
namespace {

// What the made-up devices saw.
struct Seen {
  std::vector<uint8_t> writes;
  int resets = 0;
  std::vector<char> order;
};
Seen seen;

uint8_t TestRead(MachineState&, uint16_t port, uint8_t) {
  return static_cast<uint8_t>(port >> 8);
}
void TestWrite(MachineState&, uint16_t, uint8_t value) {
  seen.writes.push_back(value);
}
void TestReset(MachineState& m, bool) {
  ++seen.resets;
  UnmapOverlay(m, OverlayLayer::kInterface1);
}
void TestPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0x1F, .read = TestRead, .write = TestWrite});
}
const Device kTestDevice = {.name = "test", .Ports = TestPorts, .Reset = TestReset};

TEST(Devices, RegisteredDeviceAnswersItsPortAndMapsMemory) {
  seen = {};
  TestMachine t(kModel48K);  // no Kempston joystick on 0x1F
  RegisterDevice(t.m, kTestDevice);
  UpdateDevices(t.m);
  EXPECT_EQ(t.m.ReadPort(0x421F), 0x42);
  t.m.WritePort(0x001F, 0x99);
  t.m.WritePort(0x003F, 0x98);
  EXPECT_EQ(seen.writes, std::vector<uint8_t>{0x99});

  // Its ROM over slot 0: reads see it, protected writes are lost, the RAM above is untouched.
  std::vector<uint8_t> rom(0x2000, 0xC9);
  MemoryOverlay overlay;
  overlay.pages[0].read = rom.data();
  MapOverlay(t.m, OverlayLayer::kInterface1, overlay);
  EXPECT_EQ(t.m.ReadByte(0x0000), 0xC9);
  EXPECT_EQ(t.m.ReadByte(0x2000), t.m.RomBuffer48[0x2000]);
  t.m.WriteByte(0x0001, 0x00);
  EXPECT_EQ(rom[1], 0xC9);

  // A reset reaches it, and it unmaps: the machine's ROM is back.
  ResetMachine(t.emu, false);
  EXPECT_EQ(seen.resets, 1);
  EXPECT_EQ(t.m.ReadByte(0x0000), t.m.RomBuffer48[0]);

  UnregisterDevice(t.m, kTestDevice);
  UpdateDevices(t.m);
  t.m.FrameTState = 1000;  // the border: the floating bus reads 0xFF
  EXPECT_EQ(t.m.ReadPort(0x421F), 0xFF);
}

uint8_t FirstRead(MachineState&, uint16_t, uint8_t value) {
  seen.order.push_back('a');
  return value == 0xFF ? 0x11 : 0x00;
}
uint8_t SecondRead(MachineState&, uint16_t, uint8_t value) {
  seen.order.push_back('b');
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
  seen = {};
  TestMachine t(kModel128K);
  RegisterDevice(t.m, kFirst);
  RegisterDevice(t.m, kSecond);
  UpdateDevices(t.m);
  EXPECT_EQ(t.m.ReadPort(0x001F), 0x12);
  EXPECT_EQ(seen.order, (std::vector<char>{'a', 'b'}));

  // A Kempston joystick registered before them answers first, and they see its byte.
  t.m.settings.KeystickType = 1;
  t.m.input.KeystickActive = 1;
  UpdateDevices(t.m);
  EXPECT_EQ(t.m.ReadPort(0x001F), 0x01);
}

// An Interface II cartridge hides the whole map, the Multiface lies over it below 0x4000, the
// µSpeech over both; the paging registers keep latching underneath.
TEST(Devices, OverlaysStackInTheirFixedOrder) {
  TestMachine t(kModel128K);
  ResetMachine(t.emu, true);
  t.MarkRoms();
  t.m.CartridgeImage.assign(16384, 0xC7);
  t.m.CartridgeInserted = 1;
  ResetMemoryMap(t.m);
  t.m.WritePort(0x7FFD, 0x13);  // ROM 1, bank 3
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

TEST(DiskFastTrap, EndsThePlus3DelayLoopsOnlyWithFastLoading) {
  for (bool fast : {true, false}) {
    SCOPED_TRACE(fast);
    auto dec = MachineAt(0x2144, {0x0B});  // DEC BC of the motor delay loop
    dec->MachineModel = kModelPlus3;
    dec->settings.DiskFastLoad = 1;
    UpdateDiskFastTrap(*dec);
    dec->settings.DiskFastLoad = fast;  // the setting is also read as the loop is met
    dec->cpu.BC.w = 0x1234;
    dec->cpu.AF.w = 0x5500;
    ExecuteZ80(*dec);
    EXPECT_EQ(dec->cpu.BC.w, fast ? 0 : 0x1233);
    EXPECT_EQ(dec->cpu.AF.w & 0xFF40, fast ? 0x0040 : 0x5500);
    EXPECT_EQ(dec->cpu.PC, fast ? 0x2149 : 0x2145);
    EXPECT_EQ(dec->InstructionTStates, 6u);
  }

  auto ld = MachineAt(0x201B, {0x2E, 0x77});  // LD L,n of the step wait
  ld->MachineModel = kModelPlus3;
  ld->settings.DiskFastLoad = 1;
  UpdateDiskFastTrap(*ld);
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

}  // namespace
}  // namespace orvo::test
