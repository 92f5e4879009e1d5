// The core's behaviour beyond single instructions: prefix chains, undefined opcodes, Q, R, the
// interrupt window, EI shadow, HALT, IM 2, NMI, the PC traps, DAA against real hardware, and the
// timing of a contended access.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cpu/cpm_runner.h"
#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

constexpr uint8_t kPV = 0x04;

std::unique_ptr<FlatBus> MakeBus(uint16_t pc, std::initializer_list<uint8_t> code) {
  auto bus = std::make_unique<FlatBus>();
  bus->Load(pc, code);
  bus->cpu.PC = pc;
  bus->cpu.SP = 0xFF00;
  return bus;
}

uint16_t StackWord(const FlatBus& bus, uint16_t address) {
  return static_cast<uint16_t>(bus.mem[address] | bus.mem[static_cast<uint16_t>(address + 1)] << 8);
}

// ---- prefixes and undefined opcodes ----

TEST(Prefixes, ChainedIndexPrefixCostsOneFetchAndBlocksTheInterrupt) {
  auto bus = MakeBus(0x8000, {0xDD, 0xDD, 0x21, 0x34, 0x12, 0x00});
  bus->interruptLength = 1000;  // the INT line stays active throughout
  bus->InterruptArmed = 1;
  bus->cpu.IM = 1;
  ExecuteZ80(*bus);  // the first DD, with interrupts still off
  EXPECT_EQ(bus->cpu.PrefixPending, 1);
  EXPECT_EQ(bus->InstructionTStates, 4u);
  EXPECT_EQ(bus->cpu.PC, 0x8001);
  EXPECT_EQ(bus->cpu.IR.b.l, 1);

  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  ExecuteZ80(*bus);  // DD 21 nn nn: no interrupt between the prefix and the instruction
  EXPECT_EQ(bus->cpu.IX.w, 0x1234);
  EXPECT_EQ(bus->cpu.PC, 0x8005);
  EXPECT_EQ(bus->FrameTState, 18u);
  EXPECT_EQ(bus->cpu.IR.b.l, 3);
  EXPECT_EQ(bus->cpu.PrefixPending, 0);

  ExecuteZ80(*bus);  // now it is taken
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8005);
}

TEST(Prefixes, IndexPrefixOnAPlainOpcodeIsAFourTStateNop) {
  auto nop = MakeBus(0, {0xDD, 0x00});
  nop->Step();
  EXPECT_EQ(nop->FrameTState, 8u);
  EXPECT_EQ(nop->cpu.IR.b.l, 2);
  EXPECT_EQ(nop->cpu.PC, 2);
  EXPECT_EQ(nop->FetchCount, 2u);  // the undone fetch is not counted

  // FD before EX DE,HL: the prefix changes nothing, EX DE,HL still swaps DE and HL (not IY).
  auto ex = MakeBus(0, {0xFD, 0xEB});
  ex->cpu.DE.w = 0x1111;
  ex->cpu.HL.w = 0x2222;
  ex->cpu.IY.w = 0x3333;
  ex->Step();
  EXPECT_EQ(ex->cpu.DE.w, 0x2222);
  EXPECT_EQ(ex->cpu.HL.w, 0x1111);
  EXPECT_EQ(ex->cpu.IY.w, 0x3333);
  EXPECT_EQ(ex->FrameTState, 8u);
}

TEST(Prefixes, LoadOfIndexHalfIntoItselfChangesNothing) {
  auto bus = MakeBus(0, {0xDD, 0x64, 0xFD, 0x6D});
  bus->cpu.IX.w = 0xABCD;
  bus->cpu.IY.w = 0x1234;
  bus->cpu.AF.w = 0x5AA5;
  const CpuState before = bus->cpu;
  bus->Step();
  EXPECT_EQ(bus->FrameTState, 8u);
  bus->Step();
  EXPECT_EQ(bus->FrameTState, 16u);
  EXPECT_EQ(bus->cpu.IX.w, before.IX.w);
  EXPECT_EQ(bus->cpu.IY.w, before.IY.w);
  EXPECT_EQ(bus->cpu.AF.w, before.AF.w);
  EXPECT_EQ(bus->cpu.IR.b.l, 4);
}

TEST(Prefixes, UndefinedEdOpcodesAreEightTStateNops) {
  for (uint8_t op : {0x00, 0x3F, 0x77, 0x7F, 0x80, 0x9F, 0xA4, 0xAF, 0xB7, 0xBC, 0xFF}) {
    auto bus = MakeBus(0, {0xED, op});
    bus->cpu.AF.w = 0x1234;
    bus->cpu.HL.w = 0x5678;
    bus->cpu.BC.w = 0x0102;
    const CpuState before = bus->cpu;
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->FrameTState, 8u) << int(op);
    EXPECT_EQ(bus->cpu.PC, 2) << int(op);
    EXPECT_EQ(bus->cpu.IR.b.l, 2) << int(op);
    EXPECT_EQ(bus->cpu.AF.w, before.AF.w) << int(op);
    EXPECT_EQ(bus->cpu.BC.w, before.BC.w) << int(op);
    EXPECT_EQ(bus->cpu.HL.w, before.HL.w) << int(op);
  }
}

TEST(Prefixes, RetiBehavesExactlyAsRetn) {
  for (uint8_t op : {0x45, 0x4D, 0x55, 0x5D, 0x65, 0x6D, 0x75, 0x7D}) {
    auto bus = MakeBus(0x8000, {0xED, op});
    bus->cpu.SP = 0x9000;
    bus->Load(0x9000, {0x34, 0x12});
    bus->cpu.IFF1 = 0;
    bus->cpu.IFF2 = 1;
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->cpu.PC, 0x1234) << int(op);
    EXPECT_EQ(bus->cpu.SP, 0x9002) << int(op);
    EXPECT_EQ(bus->cpu.IFF1, 1) << int(op);
    EXPECT_EQ(bus->cpu.MEMPTR, 0x1234) << int(op);
    EXPECT_EQ(bus->FrameTState, 14u) << int(op);
  }
}

TEST(Prefixes, IndexedBitOperationsAlsoLeaveTheResultInTheRegister) {
  auto bus = MakeBus(0, {0xDD, 0xCB, 0x05, 0x00,    // RLC (IX+5),B
                         0xFD, 0xCB, 0xFE, 0xFF});  // SET 7,(IY-2),A
  bus->cpu.IX.w = 0x8000;
  bus->cpu.IY.w = 0x9002;
  bus->mem[0x8005] = 0x81;
  bus->Step();
  EXPECT_EQ(bus->mem[0x8005], 0x03);
  EXPECT_EQ(bus->cpu.BC.b.h, 0x03);
  EXPECT_EQ(bus->cpu.AF.b.l & 0x01, 0x01);
  EXPECT_EQ(bus->cpu.MEMPTR, 0x8005);
  EXPECT_EQ(bus->FrameTState, 23u);
  EXPECT_EQ(bus->cpu.IR.b.l, 2);  // the offset and the opcode are not M1 fetches
  bus->Step();
  EXPECT_EQ(bus->mem[0x9000], 0x80);
  EXPECT_EQ(bus->cpu.AF.b.h, 0x80);
  EXPECT_EQ(bus->cpu.MEMPTR, 0x9000);
}

// ---- flags that depend on history ----

TEST(ScfCcf, BitsFiveAndThreeFollowQOnNmosAndAOnCmos) {
  for (bool cmos : {false, true}) {
    // CP 0x28 leaves bits 5 and 3 set in F and Q; A is 0.
    auto afterFlags = MakeBus(0, {0xAF, 0xFE, 0x28, 0x37});  // XOR A; CP 0x28; SCF
    afterFlags->cmos = cmos;
    for (int i = 0; i < 3; ++i) afterFlags->Step();
    EXPECT_EQ(afterFlags->cpu.AF.b.l & 0x28, 0) << "cmos " << cmos;

    // POP AF sets bits 5 and 3 in F without writing Q: NMOS takes them from A OR F.
    auto afterPop = MakeBus(0, {0xF1, 0x00, 0x37});  // POP AF; NOP; SCF
    afterPop->cmos = cmos;
    afterPop->cpu.SP = 0x9000;
    afterPop->Load(0x9000, {0x28, 0x00});  // F = 0x28, A = 0
    for (int i = 0; i < 3; ++i) afterPop->Step();
    EXPECT_EQ(afterPop->cpu.AF.b.l & 0x28, cmos ? 0 : 0x28) << "cmos " << cmos;
    EXPECT_EQ(afterPop->cpu.AF.b.l & 0x01, 0x01);

    // CCF straight after POP AF with C set: H takes the old carry, C is inverted.
    auto ccf = MakeBus(0, {0xF1, 0x3F});
    ccf->cmos = cmos;
    ccf->cpu.SP = 0x9000;
    ccf->Load(0x9000, {0x29, 0x00});
    ccf->Step();
    ccf->Step();
    EXPECT_EQ(ccf->cpu.AF.b.l, cmos ? 0x10 : 0x38) << "cmos " << cmos;
    EXPECT_EQ(ccf->cpu.Q, ccf->cpu.AF.b.l);
  }
}

TEST(Registers, RefreshCounterTurnsSevenBitsAndKeepsBitSevenFromLdRA) {
  auto bus = MakeBus(0, {0x3E, 0x80, 0xED, 0x4F});  // LD A,0x80; LD R,A
  bus->Load(4 + 200, {0xED, 0x5F});                 // 200 NOPs later: LD A,R
  for (int i = 0; i < 2 + 200 + 1; ++i) bus->Step();
  // 202 fetches since LD R,A stored 0: (202 mod 128) with bit 7 kept.
  EXPECT_EQ(bus->cpu.AF.b.h, 0x80 | (202 % 128));
  EXPECT_EQ(bus->cpu.LdAIR, 1);
}

TEST(Registers, BitOnMemoryTakesBitsFiveAndThreeFromMemptr) {
  auto bus = MakeBus(0, {0x3A, 0xFF, 0x27,  // LD A,(0x27FF): MEMPTR = 0x2800
                         0xCB, 0x5E,        // BIT 3,(HL)
                         0x3A, 0xFF, 0x07,  // LD A,(0x07FF): MEMPTR = 0x0800
                         0xCB, 0x5E});      // BIT 3,(HL)
  bus->cpu.HL.w = 0x9000;
  bus->mem[0x9000] = 0x08;
  bus->Step();
  bus->Step();
  EXPECT_EQ(bus->cpu.AF.b.l & 0x28, 0x28);
  EXPECT_EQ(bus->cpu.AF.b.l & 0x40, 0);  // bit 3 of 0x08 is set
  bus->Step();
  bus->Step();
  EXPECT_EQ(bus->cpu.AF.b.l & 0x28, 0x08);
}

TEST(Registers, OutCZeroDependsOnTheCpuKind) {
  for (bool cmos : {false, true}) {
    auto bus = MakeBus(0, {0xED, 0x71});
    bus->cmos = cmos;
    bus->cpu.BC.w = 0x12FE;
    static int sent;
    static uint16_t port;
    sent = -1;
    bus->portOut = [](FlatBus&, uint16_t p, uint8_t v) {
      port = p;
      sent = v;
    };
    bus->Step();
    EXPECT_EQ(sent, cmos ? 0xFF : 0x00);
    EXPECT_EQ(port, 0x12FE);
    EXPECT_EQ(bus->FrameTState, 12u);
  }
}

TEST(Registers, DaaMatchesTheTableCapturedOnHardware) {
  const std::filesystem::path path = SharedFile("testdata/cpu/other/daatable/daaoutput.txt");
  ORVO_REQUIRE_FILE(path);
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    char n0, c0, h0, n1, c1, h1;
    int fn, fc, fh, rn, rc, rh;
    unsigned a, r;
    if (std::sscanf(line.c_str(), " %c %d %c %d %c %d %x %c %d %c %d %c %d %x", &n0, &fn, &c0, &fc,
                    &h0, &fh, &a, &n1, &rn, &c1, &rc, &h1, &rh, &r) != 14 ||
        n0 != 'N') {
      continue;
    }
    auto bus = MakeBus(0, {0x27});
    bus->cpu.AF.b.h = static_cast<uint8_t>(a);
    bus->cpu.AF.b.l = static_cast<uint8_t>((fn ? 0x02 : 0) | (fc ? 0x01 : 0) | (fh ? 0x10 : 0));
    bus->Step();
    const uint8_t f = bus->cpu.AF.b.l;
    ASSERT_EQ(bus->cpu.AF.b.h, r) << line;
    ASSERT_EQ((f >> 1) & 1, rn) << line;
    ASSERT_EQ(f & 1, rc) << line;
    ASSERT_EQ((f >> 4) & 1, rh) << line;
    ASSERT_EQ(f & kPV, ParityTable[r]) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 2048);
}

TEST(Exercisers, PreliminaryTestsComplete) {
  const std::filesystem::path path = SharedFile("testdata/cpu/other/prelim/prelim.com");
  ORVO_REQUIRE_FILE(path);
  const CpmRun run = RunCpmProgram(ReadWholeFile(path), 100'000'000ull);
  EXPECT_TRUE(run.finished);
  EXPECT_NE(run.output.find("Preliminary tests complete"), std::string::npos) << run.output;
}

// ---- block instructions ----

TEST(BlockInstructions, LdirRepeatsThroughItsOwnAddressAndCanBeInterrupted) {
  auto bus = MakeBus(0x6000, {0xED, 0xB0});
  bus->cpu.HL.w = 0x8000;
  bus->cpu.DE.w = 0x9000;
  bus->cpu.BC.w = 3;
  bus->Load(0x8000, {0x11, 0x22, 0x33});
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->InstructionTStates, 21u);
  EXPECT_EQ(bus->cpu.PC, 0x6000);
  EXPECT_EQ(bus->cpu.MEMPTR, 0x6001);
  EXPECT_EQ(bus->cpu.AF.b.l & 0x28, 0x20);  // from the high byte of 0x6000
  EXPECT_EQ(bus->cpu.IR.b.l, 2);

  // An interrupt due at the next boundary falls between the iterations.
  bus->InterruptArmed = 1;
  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  bus->cpu.IM = 1;
  ExecuteZ80(*bus);  // acceptance (13) and the NOP at 0x0038 (4)
  EXPECT_EQ(bus->InstructionTStates, 17u);
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x6000);
  EXPECT_EQ(bus->cpu.BC.w, 2);
  bus->cpu.PC = 0x6000;  // return from the routine
  bus->InterruptArmed = 0;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->InstructionTStates, 21u);
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->InstructionTStates, 16u);
  EXPECT_EQ(bus->cpu.PC, 0x6002);
  EXPECT_EQ(bus->cpu.BC.w, 0);
  EXPECT_EQ(bus->mem[0x9000], 0x11);
  EXPECT_EQ(bus->mem[0x9002], 0x33);
  EXPECT_EQ(bus->cpu.AF.b.l & kPV, 0);
}

// ---- the interrupt line ----

struct IntCase {
  uint32_t start;
  uint32_t length;
  bool taken;
};

TEST(Interrupts, SampledAtTheInstructionStartWithinTheWindow) {
  for (const IntCase& k : {IntCase{31, 32, true}, IntCase{32, 32, false}, IntCase{35, 36, true},
                           IntCase{36, 36, false}, IntCase{0, 32, true}}) {
    auto bus = MakeBus(0x8000, {0x00});
    bus->FrameTState = k.start;
    bus->interruptLength = k.length;
    bus->InterruptArmed = 1;
    bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
    bus->cpu.IM = 1;
    ExecuteZ80(*bus);
    if (k.taken) {
      EXPECT_EQ(bus->cpu.PC, 0x0039) << k.start;  // the NOP at 0x0038 ran in the same call
      EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8000);
      EXPECT_EQ(bus->InstructionTStates, 13u + 4u);
      EXPECT_EQ(bus->cpu.IFF1 | bus->cpu.IFF2, 0);
      EXPECT_EQ(bus->cpu.MEMPTR, 0x0038);
    } else {
      EXPECT_EQ(bus->cpu.PC, 0x8001) << k.start;
      EXPECT_EQ(bus->InstructionTStates, 4u);
    }
  }
}

TEST(Interrupts, NotSampledWithoutTheArmFlagOrWithInterruptsOff) {
  auto unarmed = MakeBus(0x8000, {0x00});
  unarmed->cpu.IFF1 = 1;
  ExecuteZ80(*unarmed);
  EXPECT_EQ(unarmed->cpu.PC, 0x8001);

  auto disabled = MakeBus(0x8000, {0x00});
  disabled->InterruptArmed = 1;
  disabled->cpu.IFF2 = 1;  // IFF1 decides
  ExecuteZ80(*disabled);
  EXPECT_EQ(disabled->cpu.PC, 0x8001);
}

TEST(Interrupts, TheInstructionAfterEiAlwaysRuns) {
  auto bus = MakeBus(0x8000, {0xFB, 0x00, 0x00});
  bus->FrameTState = 20;
  bus->InterruptArmed = 1;
  bus->cpu.IM = 1;
  ExecuteZ80(*bus);  // EI at 20
  ExecuteZ80(*bus);  // NOP at 24: in the shadow
  EXPECT_EQ(bus->cpu.PC, 0x8002);
  EXPECT_EQ(bus->FrameTState, 28u);
  ExecuteZ80(*bus);  // taken at 28
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8002);

  // DI ends the shadow at once: EI; DI leaves interrupts off.
  auto di = MakeBus(0x8000, {0xFB, 0xF3, 0x00});
  di->InterruptArmed = 1;
  ExecuteZ80(*di);
  ExecuteZ80(*di);
  EXPECT_EQ(di->cpu.EiDelay, 0);
  ExecuteZ80(*di);
  EXPECT_EQ(di->cpu.PC, 0x8003);
}

TEST(Interrupts, RoutineThatReenablesInsideTheWindowIsEnteredAgain) {
  auto bus = MakeBus(0x8000, {0x00});
  bus->Load(0x0038, {0xFB, 0xC9});  // EI; RET
  bus->InterruptArmed = 1;
  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  bus->cpu.IM = 1;
  const uint16_t sp = bus->cpu.SP;
  ExecuteZ80(*bus);  // accepted at 0 (13) + EI (4)
  ExecuteZ80(*bus);  // RET at 17 (10): in the EI shadow
  EXPECT_EQ(bus->cpu.PC, 0x8000);
  EXPECT_EQ(bus->FrameTState, 27u);
  ExecuteZ80(*bus);  // 27 < 32: entered again
  EXPECT_EQ(bus->cpu.PC, 0x0039);
  EXPECT_EQ(bus->cpu.SP, sp - 2);
}

TEST(Interrupts, ModeTwoReadsTheVectorLowByteFirst) {
  ProbeBus bus;
  bus.cpu.PC = 0x8000;
  bus.cpu.SP = 0xFF00;
  bus.cpu.IR.b.h = 0x3F;
  bus.cpu.IM = 2;
  bus.cpu.IFF1 = 1;
  bus.InterruptArmed = 1;
  bus.dataBus = 0xFF;
  bus.mem[0x3FFF] = 0x34;
  bus.mem[0x4000] = 0x12;
  ExecuteZ80(bus);
  EXPECT_EQ(bus.cpu.PC, 0x1235);  // the NOP at 0x1234 has run
  EXPECT_EQ(bus.cpu.MEMPTR, 0x1234);
  EXPECT_EQ(bus.InstructionTStates, 19u + 4u);
  std::vector<BusEvent> reads;
  for (const BusEvent& e : bus.events) {
    if (e.type == "MR" && e.address != 0x1234) reads.push_back(e);
  }
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].address, 0x3FFF);
  EXPECT_EQ(reads[1].address, 0x4000);
}

TEST(Interrupts, NmosLdAIInterruptedShowsParityClear) {
  for (bool cmos : {false, true}) {
    auto bus = MakeBus(0x8000, {0xED, 0x57, 0x00});
    bus->Load(0x0038, {0xF5});  // PUSH AF
    bus->cmos = cmos;
    bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
    bus->cpu.IM = 1;
    bus->cpu.IR.b.h = 0x00;  // LD A,I loads 0: parity even, P/V from IFF2 anyway
    bus->InterruptArmed = 1;
    bus->FrameTState = 1000;  // outside the window
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->cpu.AF.b.l & kPV, kPV);
    bus->FrameTState = 0;  // next frame: the interrupt follows LD A,I directly
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->mem[bus->cpu.SP] & kPV, cmos ? kPV : 0) << "cmos " << cmos;
  }
}

// ---- HALT ----

TEST(Halt, StaysOnTheNextInstructionUntilTheInterrupt) {
  auto bus = MakeBus(0x8000, {0x76, 0x00});
  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  bus->cpu.IM = 1;
  bus->InterruptArmed = 1;
  bus->FrameTState = 100;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->cpu.Halted, 1);
  EXPECT_EQ(bus->cpu.PC, 0x8001);
  for (int i = 0; i < 10; ++i) {
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->InstructionTStates, 4u);
    EXPECT_EQ(bus->cpu.PC, 0x8001);
    EXPECT_EQ(bus->cpu.LastFetchPC, 0x8001);
  }
  EXPECT_EQ(bus->cpu.IR.b.l, 11);
  bus->FrameTState = 0;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->cpu.Halted, 0);
  EXPECT_EQ(bus->cpu.HaltNoAdvance, 0u);
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8001);
  EXPECT_EQ(bus->cpu.PC, 0x0039);
}

TEST(Halt, SnapshotTakenInHaltResumesAfterTheHalt) {
  // Halted but never stepped over: PC is still on the HALT opcode.
  auto bus = MakeBus(0x8000, {0x76, 0x00});
  bus->cpu.Halted = 1;
  bus->cpu.IFF1 = 1;
  bus->cpu.IM = 1;
  bus->InterruptArmed = 1;
  ExecuteZ80(*bus);
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8001);
  EXPECT_EQ(bus->cpu.Halted, 0);

  // Without an interrupt the next fetch simply executes the HALT again.
  auto again = MakeBus(0x8000, {0x76});
  again->cpu.Halted = 1;
  ExecuteZ80(*again);
  EXPECT_EQ(again->cpu.PC, 0x8001);
  EXPECT_EQ(again->cpu.HaltNoAdvance, 1u);
}

TEST(Nmi, LeavesHaltAndKeepsIff2) {
  auto bus = MakeBus(0x8000, {0x76});
  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  bus->cpu.MEMPTR = 0x4444;
  ExecuteZ80(*bus);
  ExecuteZ80(*bus);
  bus->NmiRequest = 1;
  const uint32_t before = bus->FrameTState;
  const uint8_t r = bus->cpu.IR.b.l;
  AcceptNmi(*bus);
  EXPECT_EQ(bus->cpu.PC, 0x0066);
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8001);
  EXPECT_EQ(bus->cpu.Halted, 0);
  EXPECT_EQ(bus->cpu.HaltNoAdvance, 0u);
  EXPECT_EQ(bus->cpu.IFF1, 0);
  EXPECT_EQ(bus->cpu.IFF2, 1);
  EXPECT_EQ(bus->cpu.MEMPTR, 0x4444);
  EXPECT_EQ(bus->cpu.IR.b.l, r + 1);
  EXPECT_EQ(bus->FrameTState - before, 7u);
  EXPECT_EQ(bus->NmiRequest, 0u);
  EXPECT_EQ(bus->nmisAccepted, 1u);
}

TEST(Nmi, WaitsForTheInstructionAfterALonePrefix) {
  auto bus = MakeBus(0x8000, {0xDD, 0xDD, 0x21, 0x34, 0x12});
  ExecuteZ80(*bus);  // the first DD: a no-operation with the prefix pending
  bus->NmiRequest = 1;
  AcceptNmi(*bus);
  EXPECT_EQ(bus->NmiRequest, 1u);
  EXPECT_EQ(bus->cpu.PC, 0x8001);
  ExecuteZ80(*bus);  // DD 21 nn nn
  AcceptNmi(*bus);
  EXPECT_EQ(bus->NmiRequest, 0u);
  EXPECT_EQ(bus->cpu.IX.w, 0x1234);
  EXPECT_EQ(bus->cpu.PC, 0x0066);
  EXPECT_EQ(StackWord(*bus, bus->cpu.SP), 0x8005);
}

// ---- PC traps ----

TEST(Traps, Interface1PagesInOnTheFetchAndRerunsTheInstruction) {
  auto bus = MakeBus(0x0008, {0x2A, 0x00, 0x90});  // LD HL,(0x9000)
  bus->TrapFlags = kTrapIf1;
  bus->cpu.HL.w = 0x1111;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->if1PageIns, 1u);
  EXPECT_EQ(bus->cpu.PC, 0x0008);
  EXPECT_EQ(bus->cpu.HL.w, 0x1111);
  EXPECT_EQ(bus->InstructionTStates, 4u);
  ExecuteZ80(*bus);  // paged now: the instruction runs
  EXPECT_EQ(bus->if1PageIns, 1u);
  EXPECT_EQ(bus->cpu.PC, 0x000B);

  auto inc = MakeBus(0x1708, {0x23});
  inc->TrapFlags = kTrapIf1;
  ExecuteZ80(*inc);
  EXPECT_EQ(inc->cpu.PC, 0x1708);
  EXPECT_EQ(inc->cpu.HL.w, 0);
  ExecuteZ80(*inc);
  EXPECT_EQ(inc->cpu.HL.w, 1);

  auto out = MakeBus(0x0700, {0xC9});
  out->TrapFlags = kTrapIf1;
  out->if1Paged = true;
  out->Load(0xFF00, {0x00, 0x50});
  ExecuteZ80(*out);
  EXPECT_EQ(out->if1PageOuts, 1u);
  EXPECT_EQ(out->cpu.PC, 0x5000);

  auto mdr = MakeBus(0x1BE9, {0xDD, 0x7E, 0x00});
  mdr->TrapFlags = kTrapIf1;
  mdr->if1Paged = true;
  mdr->Step();
  EXPECT_EQ(mdr->lastMicrodriveTrap, 1);

  // Without the flag none of this happens.
  auto plain = MakeBus(0x0008, {0x2A, 0x00, 0x90});
  ExecuteZ80(*plain);
  EXPECT_EQ(plain->if1PageIns, 0u);
  EXPECT_EQ(plain->cpu.PC, 0x000B);
}

TEST(Traps, TapeTrapsInTheRomLoader) {
  auto bus = MakeBus(0x056A, {0xBF, 0xC0});  // CP A; RET NZ
  bus->TrapFlags = kTrapTape;
  bus->tapeLoadResult = true;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->tapeStartTraps, 1u);
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->tapeLoadTraps, 1u);
  EXPECT_EQ(bus->cpu.PC, 0x056C);  // the trap handled it: no return
  EXPECT_EQ(bus->InstructionTStates, 5u);

  auto notLoaded = MakeBus(0x056B, {0xC0});
  notLoaded->TrapFlags = kTrapTape;
  notLoaded->cpu.AF.b.l = 0x00;  // NZ: the return is taken
  notLoaded->Load(0xFF00, {0x34, 0x12});
  ExecuteZ80(*notLoaded);
  EXPECT_EQ(notLoaded->tapeLoadTraps, 1u);
  EXPECT_EQ(notLoaded->cpu.PC, 0x1234);
  EXPECT_EQ(notLoaded->InstructionTStates, 11u);
}

TEST(Traps, Plus3DiskDelayLoopsAreSkipped) {
  auto dec = MakeBus(0x2144, {0x0B});
  dec->TrapFlags = kTrapPlus3Disk;
  dec->diskFastModel = true;
  dec->cpu.BC.w = 0x1234;
  dec->cpu.AF.w = 0x5500;
  ExecuteZ80(*dec);
  EXPECT_EQ(dec->cpu.BC.w, 0);
  EXPECT_EQ(dec->cpu.AF.b.h, 0);
  EXPECT_EQ(dec->cpu.AF.b.l & 0x40, 0x40);
  EXPECT_EQ(dec->cpu.PC, 0x2149);

  auto ld = MakeBus(0x201B, {0x2E, 0x77});
  ld->TrapFlags = kTrapPlus3Disk;
  ld->diskFastModel = true;
  ld->cpu.HL.w = 0x1234;
  ExecuteZ80(*ld);
  EXPECT_EQ(ld->cpu.HL.w, 0);
  EXPECT_EQ(ld->cpu.PC, 0x2024);

  auto other = MakeBus(0x2144, {0x0B});
  other->TrapFlags = kTrapPlus3Disk;  // not a +3 with fast loading
  other->cpu.BC.w = 0x1234;
  ExecuteZ80(*other);
  EXPECT_EQ(other->cpu.BC.w, 0x1233);
  EXPECT_EQ(other->cpu.PC, 0x2145);
}

TEST(Traps, SpeechUnitTogglesAtTheInterruptEntry) {
  auto bus = MakeBus(0x0038, {0xF5});
  bus->TrapFlags = kTrapUSpeech;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->uSpeechToggles, 1u);
  EXPECT_EQ(bus->cpu.SP, 0xFEFE);
}

// ---- timing ----

TEST(Timing, CallTimesAndSpeechClocks) {
  auto bus = MakeBus(0x8000, {0xCD, 0x00, 0x90});  // CALL 0x9000
  bus->SpeechClocks[0] = 5;
  bus->FrameTState = 100;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->InstructionStartTState, 100u);
  EXPECT_EQ(bus->InstructionTStates, 17u);
  EXPECT_EQ(bus->SpeechClocks[0], 22u);
  EXPECT_EQ(bus->SpeechClocks[1], 17u);
  EXPECT_EQ(bus->cpu.LastFetchPC, 0x8000);
}

TEST(Timing, ContendedOperandReadWaitsAtItsOwnStart) {
  // LD A,(nn) from uncontended code: the data read begins 10 T-states in. Starting at 14325 it
  // begins at 14335, where the 48K ULA holds it for 6.
  for (const auto& [address, cost] :
       {std::pair<uint16_t, uint32_t>{0x4000, 19}, std::pair<uint16_t, uint32_t>{0x8000, 13}}) {
    ProbeBus bus;
    bus.memoryContention = Make48KContentionTable();
    bus.ioContention = bus.memoryContention;
    bus.Load(0x9000, {0x3A, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)});
    bus.cpu.PC = 0x9000;
    bus.FrameTState = 14325;
    ExecuteZ80(bus);
    EXPECT_EQ(bus.InstructionTStates, cost) << address;
  }
}

TEST(Timing, RepeatedPrefixFetchIsNotDelayedTwice) {
  // DD on a plain opcode fetched from contended memory: the undone fetch keeps its wait, and the
  // fetch made again starts where the first one did.
  ProbeBus bus;
  bus.memoryContention = Make48KContentionTable();
  bus.Load(0x4000, {0xDD, 0x00});
  bus.cpu.PC = 0x4000;
  bus.FrameTState = 14331;  // DD fetched 14331-14334, the next fetch starts at 14335 (wait 6)
  bus.logging = false;
  ExecuteZ80(bus);
  EXPECT_EQ(bus.FrameTState, 14335u + 6u);
  ExecuteZ80(bus);
  EXPECT_EQ(bus.FrameTState, 14335u + 6u + 4u);
}

}  // namespace
}  // namespace orvo::test
