#pragma once
// A machine set up from the shared ROM folder for snapshot tests, with helpers to reach the
// shared snapshot files and to compare two machines.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "machine/machine_state.h"
#include "machine/setup.h"
#include "shell/emulator.h"
#include "snapshot/snapshot_common.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo::test {

inline std::filesystem::path SnapshotFile(const std::string& name) {
  return SharedFile("testdata/media/snapshots/" + name);
}

inline const char* RomFileOf(uint8_t model) {
  switch (model) {
    case kModel128K: return "128k.rom";
    case kModelPlus2: return "plus2.rom";
    case kModelPlus2A:
    case kModelPlus3: return "plus3.rom";
    default: return "48k.rom";
  }
}

struct SnapshotMachine {
  explicit SnapshotMachine(uint8_t model = kModel48K) {
    emu.folders.CurrentRomDir = RomDir().string();
    m.MachineModel = model;
    SetUpMachine(emu);
    ResetMachine(emu, true);
    host.messages.clear();
  }
  RecordingHost host;
  Emulator emu{host};
  MachineState& m = emu.m;
};

// Skips the test unless every ROM file the machines need is in the shared ROM folder.
#define ORVO_REQUIRE_ROMS()                                                    \
  do {                                                                         \
    for (const char* rom_ : {"48k.rom", "128k.rom", "plus2.rom", "plus3.rom"}) \
      ORVO_REQUIRE_FILE(::orvo::test::RomDir() / rom_);                        \
  } while (0)

// Everything a snapshot can carry, compared field by field.
inline void ExpectSameMachine(const MachineState& a, const MachineState& b, bool paging = true) {
  EXPECT_EQ(a.MachineModel, b.MachineModel);
  EXPECT_EQ(a.cpu.AF.w, b.cpu.AF.w);
  EXPECT_EQ(a.cpu.BC.w, b.cpu.BC.w);
  EXPECT_EQ(a.cpu.DE.w, b.cpu.DE.w);
  EXPECT_EQ(a.cpu.HL.w, b.cpu.HL.w);
  EXPECT_EQ(a.cpu.AF_.w, b.cpu.AF_.w);
  EXPECT_EQ(a.cpu.BC_.w, b.cpu.BC_.w);
  EXPECT_EQ(a.cpu.DE_.w, b.cpu.DE_.w);
  EXPECT_EQ(a.cpu.HL_.w, b.cpu.HL_.w);
  EXPECT_EQ(a.cpu.IX.w, b.cpu.IX.w);
  EXPECT_EQ(a.cpu.IY.w, b.cpu.IY.w);
  EXPECT_EQ(a.cpu.SP, b.cpu.SP);
  EXPECT_EQ(a.cpu.PC, b.cpu.PC);
  EXPECT_EQ(a.cpu.IR.b.h, b.cpu.IR.b.h);
  EXPECT_EQ(VisibleR(a.cpu), VisibleR(b.cpu));
  EXPECT_EQ(a.cpu.IFF1, b.cpu.IFF1);
  EXPECT_EQ(a.cpu.IM, b.cpu.IM);
  EXPECT_EQ(a.ports.BorderColour, b.ports.BorderColour);
  for (uint32_t addr = 0x4000; addr < 0x10000; ++addr) {
    if (a.Peek(static_cast<uint16_t>(addr)) != b.Peek(static_cast<uint16_t>(addr))) {
      ADD_FAILURE() << "memory differs at " << std::hex << addr;
      break;
    }
  }
  if (paging && Is128KFamily(a.MachineModel)) {
    EXPECT_EQ(a.RamBlock, b.RamBlock);
    EXPECT_EQ(a.Last7FFD, b.Last7FFD);
    EXPECT_EQ(a.RomNumber, b.RomNumber);
    EXPECT_EQ(a.BankAtC000, b.BankAtC000);
    EXPECT_EQ(a.ScreenBank, b.ScreenBank);
    EXPECT_EQ(a.PagingLock, b.PagingLock);
  }
}

}  // namespace orvo::test
