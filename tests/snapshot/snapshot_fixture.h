#pragma once
// A machine set up from the shared ROM folder for the snapshot tests, and the comparison of two
// machines after a save and a load.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "formats/byte_cursor.h"
#include "formats/sna_format.h"
#include "formats/z80_format.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/snapshot_load.h"
#include "snapshot/snapshot_apply.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo::test {

inline std::filesystem::path SnapshotFile(const std::string& name) {
  return SharedFile("testdata/media/snapshots/" + name);
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

#define ORVO_REQUIRE_ROMS()                                                    \
  do {                                                                         \
    for (const char* rom_ : {"48k.rom", "128k.rom", "plus2.rom", "plus3.rom"}) \
      ORVO_REQUIRE_FILE(::orvo::test::RomDir() / rom_);                        \
  } while (0)

// Where a page-table entry points: a RAM offset, or a ROM buffer offset tagged above it.
inline int64_t PageWhere(const MachineState& m, int page) {
  const uint8_t* p = m.PageTable[page];
  for (const auto* v : {&m.RamBlock, &m.RomBuffer128, &m.RomBuffer48}) {
    if (p >= v->data() && p < v->data() + v->size()) {
      return (v == &m.RamBlock ? 0 : (v == &m.RomBuffer128 ? 0x100000 : 0x200000)) +
             (p - v->data());
    }
  }
  return -1;
}

// Every register pair a value of its own, SP 0x7F00, PC 0x6D9B, I and R 0x3F85 (bit 7 of R
// counted into R), both interrupt flip-flops on, interrupt mode 2, border 3.
inline void FillRegisters(MachineState& m) {
  uint16_t v = 0x1234;
  for (RegPair* r : {&m.cpu.AF, &m.cpu.BC, &m.cpu.DE, &m.cpu.HL, &m.cpu.AF_, &m.cpu.BC_, &m.cpu.DE_,
                     &m.cpu.HL_, &m.cpu.IX, &m.cpu.IY}) {
    r->w = v += 0x1111;
  }
  m.cpu.SP = 0x7F00;
  m.cpu.PC = 0x6D9B;
  m.cpu.IR.w = 0x3F85;
  m.cpu.R7 = 0;
  m.cpu.IFF1 = m.cpu.IFF2 = 1;
  m.cpu.IM = 2;
  m.ports.BorderColour = 3;
}

// RAM with runs, 0xED bytes and noise (the 48K group's 0x4000 up, every bank on the 128K family);
// every register as FillRegisters; border, T-state and AY.
inline void FillMachine(MachineState& m, uint32_t seed) {
  std::mt19937 rng(seed);
  const size_t from = Is128KFamily(m.MachineModel) ? 0 : 0x4000;
  const size_t to =
      m.MachineModel == kModel16K ? 0x8000 : (from == 0 ? m.RamBlock.size() : 0x10000);
  for (size_t a = from; a < to;) {
    const uint32_t pick = rng() % 6;
    const size_t len = std::min<size_t>(to - a, 1 + rng() % (pick == 0 ? 400 : 8));
    std::fill_n(m.RamBlock.begin() + a, len,
                pick < 2 ? 0xED : (pick == 2 ? 0 : static_cast<uint8_t>(rng())));
    a += len;
  }
  FillRegisters(m);
  m.FrameTState = 12345 + seed;
  for (uint8_t& r : m.sound.ay.regs) r = static_cast<uint8_t>(rng());
  m.sound.ay.AySelectedRegister = 11;
}

// Everything a snapshot carries: registers, border, memory as the CPU sees it, and on the 128K
// family every bank and the whole paging state.
inline void ExpectSameMachine(const MachineState& a, const MachineState& b) {
  const CpuState& x = a.cpu;
  const CpuState& y = b.cpu;
  EXPECT_EQ(a.MachineModel, b.MachineModel);
  const uint16_t ra[] = {x.AF.w, x.BC.w, x.DE.w, x.HL.w, x.AF_.w,  x.BC_.w,     x.DE_.w, x.HL_.w,
                         x.IX.w, x.IY.w, x.SP,   x.PC,   x.IR.b.h, VisibleR(x), x.IFF1,  x.IM};
  const uint16_t rb[] = {y.AF.w, y.BC.w, y.DE.w, y.HL.w, y.AF_.w,  y.BC_.w,     y.DE_.w, y.HL_.w,
                         y.IX.w, y.IY.w, y.SP,   y.PC,   y.IR.b.h, VisibleR(y), y.IFF1,  y.IM};
  for (size_t i = 0; i < std::size(ra); ++i) EXPECT_EQ(ra[i], rb[i]) << "register " << i;
  EXPECT_EQ(a.ports.BorderColour, b.ports.BorderColour);
  for (uint32_t addr = 0x4000; addr < 0x10000; ++addr) {
    const uint16_t at = static_cast<uint16_t>(addr);
    if (a.Peek(at) != b.Peek(at)) {
      ADD_FAILURE() << "memory differs at " << std::hex << addr;
      break;
    }
  }
  if (Is128KFamily(a.MachineModel)) {
    EXPECT_EQ(a.RamBlock, b.RamBlock);
    for (int page = 0; page < 8; ++page) EXPECT_EQ(PageWhere(a, page), PageWhere(b, page)) << page;
    EXPECT_EQ(a.ScreenBank, b.ScreenBank);
    EXPECT_EQ(a.PagingLock, b.PagingLock);
    EXPECT_EQ(a.topSlotContended, b.topSlotContended);
    EXPECT_EQ(a.romWriteProtect, b.romWriteProtect);
  }
}

}  // namespace orvo::test
