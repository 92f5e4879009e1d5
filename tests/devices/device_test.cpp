// The device seam: a device registered on a port answers through the decoder, several on one port
// answer in the order they were registered, and overlays lie over the paging in their fixed order.
#include "devices/device.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/currah.h"
#include "devices/multiface.h"
#include "machine/machine_fixture.h"
#include "machine/memory.h"

namespace orvo {
namespace {

using test::TestMachine;

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

}  // namespace
}  // namespace orvo
