// The devices' fetch traps as the CPU meets them: the +3 disk delay loops cut short, and the
// µSpeech ROM overlay flipped by the interrupt entry.
#include <gtest/gtest.h>

#include <memory>

#include "cpu/z80.h"
#include "devices/device.h"
#include "devices/disk_fast_trap.h"
#include "devices/speech.h"
#include "machine/machine_state.h"

namespace orvo::test {
namespace {

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
