// Interrupt timing as the hardware test programs measure it: an EI followed by HALT where the INT
// line goes active around the HALT, and IN A,(#FF) timed from a HALT sync onto the ULA's first
// display fetches. Programs run through the frame loop from a known T-state, so every expected
// T-state below follows by hand from the frame length, the INT window (32 T-states, 36 on the
// 128K and +2), the 4 T-state halted fetches and the 19 T-states of an IM 2 acknowledge.
#include <gtest/gtest.h>

#include <vector>

#include "machine/model.h"
#include "machine_fixture.h"
#include "shell/frame_loop.h"

namespace orvo::test {
namespace {

void Put(MachineState& m, uint16_t at, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) m.PageTable[at >> 13][at & 0x1FFF] = b, ++at;
}

// Code that takes exactly `t` T-states (t >= 47) and changes only BC and A: a counted loop of 26
// T-states a pass, then NOPs with one 6 or 7 T-state instruction for the remainder.
std::vector<uint8_t> Delay(uint32_t t) {
  const uint32_t passes = (t - 21) / 26;  // LD BC,n (10) + 26 a pass - 5 for the last JR
  uint32_t rest = t - (26 * passes + 5);  // 16..41
  // LD BC,n; DEC BC; LD A,B; OR C; JR NZ,-5
  std::vector<uint8_t> code = {
      0x01, static_cast<uint8_t>(passes), static_cast<uint8_t>(passes >> 8), 0x0B, 0x78, 0xB1, 0x20,
      0xFB};
  if (rest % 4 == 1 || rest % 4 == 3) {
    code.push_back(0x3E);  // LD A,0
    code.push_back(0x00);
    rest -= 7;
  }
  if (rest % 4 == 2) {
    code.push_back(0x03);  // INC BC
    rest -= 6;
  }
  code.resize(code.size() + rest / 4, 0x00);
  return code;
}

// At `at`: a wait of `t` T-states, then LD A,hi; IN A,(lo); LD (#A000),A; DI; HALT. The port is
// read 17 T-states after the wait.
void PutTimedIn(MachineState& m, uint16_t at, uint32_t t, uint8_t hi, uint8_t lo) {
  const std::vector<uint8_t> wait = Delay(t);
  Put(m, at, wait);
  Put(m, static_cast<uint16_t>(at + wait.size()),
      {0x3E, hi, 0xDB, lo, 0x32, 0x00, 0xA0, 0xF3, 0x76});
}

// The common start at 0x8000 from T-state `start` with interrupts off: LD SP,#BF00; IM 2;
// LD A,#90; LD I,A; EI; HALT. The HALT starts at start + 38 and the halted fetches at start + 42,
// four apart, so the next frame's interrupt is accepted at (start + 2) mod 4 (frame lengths are
// multiples of 4) and the routine at 0x8100 (vector at 0x90FF) starts 19 T-states later.
void StartWithHaltSync(TestMachine& t, uint32_t start) {
  MachineState& m = t.m;
  t.emu.NoThrottle = true;
  Put(m, 0x8000, {0x31, 0x00, 0xBF, 0xED, 0x5E, 0x3E, 0x90, 0xED, 0x47, 0xFB, 0x76});
  Put(m, 0x90FF, {0x00, 0x81});
  m.cpu.PC = 0x8000;
  m.cpu.IFF1 = m.cpu.IFF2 = 0;
  m.FrameTState = start;
}

// Where and when the interrupt routine first starts, as a breakpoint there sees it; the CPU is
// then parked at 0x8300 (DI; HALT).
struct Entry {
  MachineState* m = nullptr;
  bool hit = false;
  uint32_t t = 0;
  uint8_t r = 0;
  uint16_t sp = 0;
};

FetchTrapResult RecordEntry(void* context, uint16_t) {
  auto* e = static_cast<Entry*>(context);
  if (!e->hit) *e = {e->m, true, e->m->FrameTState, e->m->cpu.IR.b.l, e->m->cpu.SP};
  e->m->cpu.PC = 0x8300;
  return FetchTrapResult::Skip();
}

struct EiHaltCase {
  uint8_t model;
  uint32_t eiAt;     // T-state at which EI starts, counted from the start of the sync's frame
  uint16_t halt;     // address of the HALT (its halted fetches read halt + 1)
  uint32_t entryAt;  // T-state of its frame at which the IM 2 routine's first instruction starts
  uint8_t refresh;   // R there minus R as LD A,R read it before the EI, modulo 128
  uint8_t im = 2;    // IM 1: the routine at 0x0038, 13 T-states after acceptance instead of 19
};

// After the sync the routine at 0x8100 (from T-state 21) points the vector at 0x8200 (or sets
// IM 1 and waits as long), waits, and
// jumps to LD A,R; LD (#A000),A; EI; HALT, so EI starts at 89 + the wait. The INT line is sampled
// at the boundary after the HALT: inside the window the interrupt comes at once (R: LD, EI, HALT,
// acknowledge); at or past it the CPU stays halted until the next frame's window, its fetches
// contended where halt + 1 is (0x7FFF: the halted fetches fall into step with the ULA's 8 T-state
// pattern, 40 a line on the 48K and 41 on the 128K, and leave the display one T-state later).
TEST(InterruptTiming, EiHaltTakesTheInterruptInsideTheWindowOnly) {
  const EiHaltCase cases[] = {
      // EI the last instruction of a frame: HALT at T-state 2, interrupt at 6.
      {kModel48K, 69886, 0x9006, 25, 4},
      {kModel128K, 70906, 0x9006, 25, 4},
      {kModelPlus2A, 70906, 0x9006, 25, 4},
      {kModelPlus3, 70906, 0x9006, 25, 4},
      {kModel48K, 69886, 0x9006, 6 + 13, 4, 1},
      // EI ending at the frame end (HALT at 0, interrupt at 4) or 3 T-states past it.
      {kModel48K, 69884, 0x9006, 23, 4},
      {kModel48K, 69887, 0x9006, 26, 4},
      // EI at 20, HALT at 24: the boundary at 28 is inside every window.
      {kModel48K, 69888 + 20, 0x9006, 47, 4},
      {kModel128K, 70908 + 20, 0x9006, 47, 4},
      {kModelPlus3, 70908 + 20, 0x9006, 47, 4},
      // Boundary at 32: past the window except on the 128K and +2. Halted fetches from 32 reach
      // the frame end exactly (17464 on the 48K, 17719 on the +2A/+3), so the next frame's
      // interrupt comes at T-state 0.
      {kModel48K, 69888 + 24, 0x9006, 19, (4 + 17464) % 128},
      {kModelPlus2A, 70908 + 24, 0x9006, 19, (4 + 17719) % 128},
      {kModelPlus3, 70908 + 24, 0x9006, 19, (4 + 17719) % 128},
      {kModel128K, 70908 + 24, 0x9006, 32 + 19, 4},
      {kModelPlus2, 70908 + 24, 0x9006, 32 + 19, 4},
      // Boundary at 35: still inside on the 128K only; elsewhere halted from 35, so the
      // interrupt comes at T-state 3.
      {kModel128K, 70908 + 27, 0x9006, 35 + 19, 4},
      {kModel48K, 69888 + 27, 0x9006, 3 + 19, (4 + 17464) % 128},
      {kModelPlus2A, 70908 + 27, 0x9006, 3 + 19, (4 + 17719) % 128},
      // Boundary at 36 on the 128K: halted from 36, 17718 fetches, interrupt at T-state 0.
      {kModel128K, 70908 + 28, 0x9006, 19, (4 + 17718) % 128},
      // Halted fetches at 0x7FFF, held through the display: 3576 + 192 x 40 + 3136 fetches on
      // the 48K, the last ending at T-state 1; 3583 + 191 x 41 + 15 + 3218 on the 128K, the
      // last ending at 3. HALT at 0x7FFE (fetches at 0x7FFF) against 0x7FFF (fetches at 0x8000).
      {kModel48K, 69888 + 24, 0x7FFE, 1 + 19, (4 + 3576 + 192 * 40 + 3136) % 128},
      {kModel48K, 69888 + 24, 0x7FFF, 19, (4 + 17464) % 128},
      {kModel128K, 70908 + 28, 0x7FFE, 3 + 19, (4 + 3583 + 191 * 41 + 15 + 3218) % 128},
  };
  for (const EiHaltCase& c : cases) {
    ORVO_REQUIRE_FILE(RomDir() / RomFileName(c.model));
    SCOPED_TRACE(::testing::Message() << "model " << int{c.model} << ", EI at " << c.eiAt
                                      << ", HALT at " << std::hex << c.halt);
    const auto setUp = [&c](TestMachine& t) {
      MachineState& m = t.m;
      StartWithHaltSync(t, 0);
      const uint16_t tail = static_cast<uint16_t>(c.halt - 6);
      // LD SP,#BF00; LD HL,#8200; LD (#90FF),HL, or IM 1; NOP; NOP
      std::vector<uint8_t> code = {0x31, 0x00, 0xBF, 0x21, 0x00, 0x82};
      const std::vector<uint8_t> point = c.im == 1 ? std::vector<uint8_t>{0xED, 0x56, 0x00, 0x00}
                                                   : std::vector<uint8_t>{0x22, 0xFF, 0x90};
      code.insert(code.end(), point.begin(), point.end());
      const std::vector<uint8_t> wait = Delay(c.eiAt - 89);
      code.insert(code.end(), wait.begin(), wait.end());
      Put(m, 0x8100, code);
      Put(m, static_cast<uint16_t>(0x8100 + code.size()),
          {0xC3, static_cast<uint8_t>(tail), static_cast<uint8_t>(tail >> 8)});
      Put(m, tail, {0xED, 0x5F, 0x32, 0x00, 0xA0, 0xFB, 0x76});
      Put(m, 0x8300, {0xF3, 0x76});  // DI; HALT
    };
    {
      TestMachine t(c.model);
      MachineState& m = t.m;
      setUp(t);
      Entry entry{&m};
      m.FetchTraps.Add(c.im == 1 ? 0x0038 : 0x8200, RecordEntry, &entry);
      for (int frame = 0; frame < 5 && !entry.hit; ++frame) RunFrame(t.emu);
      ASSERT_TRUE(entry.hit);
      EXPECT_EQ(entry.t, c.entryAt);
      EXPECT_EQ((entry.r - m.Peek(0xA000)) & 0x7F, int{c.refresh});
      EXPECT_EQ(entry.sp, 0xBEFE);
      EXPECT_EQ(m.Peek(0xBEFE) | m.Peek(0xBEFF) << 8, c.halt + 1) << "the address after the HALT";
    }
    if (c.im != 2) continue;
    // The same without a breakpoint, timed by the program: from the routine's start it reads
    // the floating bus (port 0x0FFD on the +2A/+3) just when the ULA fetches the first bitmap
    // byte, which it sees only if the routine started at entryAt.
    TestMachine t(c.model);
    MachineState& m = t.m;
    setUp(t);
    const bool plus3 = IsPlus2AFamily(c.model);
    const uint32_t firstFetch = plus3 ? 14367 : c.model == kModel48K ? 14338 : 14364;
    Put(m, 0x4000, {0x80});
    Put(m, 0x5800, {0x40});
    PutTimedIn(m, 0x8200, firstFetch - 17 - c.entryAt, plus3 ? 0x0F : 0xFF, plus3 ? 0xFD : 0xFF);
    for (int frame = 0; frame < 5; ++frame) RunFrame(t.emu);
    EXPECT_EQ(int{m.Peek(0xA000)}, plus3 ? 0x81 : 0x80) << "the routine's start, seen on the bus";
  }
}

// IN A,(#FF) after a HALT sync, its read at T-state `read` = acceptance + 19 + wait + 17:
// the byte the ULA fetches there, 255 before the display and between the fetches, then bitmap,
// attribute, bitmap + 1, attribute + 1 every 8 T-states. The sync's phase cycles through all four
// acceptance T-states. The +2A and +3 put nothing on the bus for port #FF.
TEST(InterruptTiming, FloatingBusAfterHaltSyncReadsTheFirstDisplayFetches) {
  struct Model {
    uint8_t model;
    uint32_t firstFetch;  // T-state of the first bitmap fetch of the display; 0: none on #FF
    bool late = false;    // a late-timing ULA fetches one T-state later
  };
  const Model models[] = {{kModel48K, 14338},   {kModel48K, 14339, true},  {kModel128K, 14364},
                          {kModelPlus2, 14364}, {kModel128K, 14365, true}, {kModelPlus2A, 0},
                          {kModelPlus3, 0}};
  // From firstFetch - 2: bitmap 0x80 + column, attribute 0x40 + column.
  const uint8_t pattern[] = {255, 255, 0x80, 0x40, 0x81, 0x41, 255, 255, 255, 255, 0x82, 0x42};
  for (const Model& model : models) {
    ORVO_REQUIRE_FILE(RomDir() / RomFileName(model.model));
    const uint32_t from = model.firstFetch ? model.firstFetch : 14360;
    for (uint32_t k = 0; k < std::size(pattern); ++k) {
      const uint32_t read = from - 2 + k;
      SCOPED_TRACE(::testing::Message() << "model " << int{model.model}
                                        << (model.late ? " late" : "") << ", read at " << read);
      TestMachine t(model.model, model.late);
      MachineState& m = t.m;
      const uint32_t start = k % 4;
      StartWithHaltSync(t, start);
      for (uint8_t c = 0; c < 32; ++c) {
        Put(m, static_cast<uint16_t>(0x4000 + c), {static_cast<uint8_t>(0x80 + c)});
        Put(m, static_cast<uint16_t>(0x5800 + c), {static_cast<uint8_t>(0x40 + c)});
      }
      PutTimedIn(m, 0x8100, read - 36 - (start + 2) % 4, 0xFF, 0xFF);
      Put(m, 0xA000, {0x00});
      ASSERT_FALSE(m.FetchTraps.Armed()) << "measured as an idle machine runs, without traps";
      for (int frame = 0; frame < 3; ++frame) RunFrame(t.emu);
      EXPECT_EQ(int{m.Peek(0xA000)}, model.firstFetch ? pattern[k] : 0xFF);
    }
  }
}

}  // namespace
}  // namespace orvo::test
