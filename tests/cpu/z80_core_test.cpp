// What the instruction suites leave out: the interrupt line and its window, the EI shadow, HALT,
// IM 2, NMI, prefix chains against interrupts, undefined ED opcodes, the CMOS part's differences,
// the PC traps, the bus counters and the preliminary exerciser.
#include <gtest/gtest.h>

#include <memory>
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

// Interrupts on in IM 1 with the INT line sampled.
void ArmIm1(FlatBus& bus) {
  bus.cpu.IFF1 = bus.cpu.IFF2 = 1;
  bus.cpu.IM = 1;
  bus.InterruptArmed = 1;
}

uint16_t StackTop(const FlatBus& bus) {
  return static_cast<uint16_t>(bus.mem[bus.cpu.SP] | bus.mem[uint16_t(bus.cpu.SP + 1)] << 8);
}

// ---- prefixes and undefined opcodes ----

TEST(Prefixes, ChainedIndexPrefixCostsOneFetchAndBlocksTheInterrupt) {
  auto bus = MakeBus(0x8000, {0xDD, 0xDD, 0x21, 0x34, 0x12, 0x00});
  bus->interruptLength = 1000;  // the INT line stays active throughout
  ArmIm1(*bus);
  bus->cpu.IFF1 = bus->cpu.IFF2 = 0;
  ExecuteZ80(*bus);  // the first DD, with interrupts still off
  EXPECT_EQ(bus->cpu.PrefixPending, 1);
  EXPECT_EQ(bus->InstructionTStates, 4u);
  EXPECT_EQ(bus->cpu.PC, 0x8001);
  EXPECT_EQ(bus->FetchCount, 1u);  // the fetch of the second DD was undone

  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  ExecuteZ80(*bus);  // DD 21 nn nn: no interrupt between the prefix and the instruction
  EXPECT_EQ(bus->cpu.IX.w, 0x1234);
  EXPECT_EQ(bus->cpu.PC, 0x8005);
  EXPECT_EQ(bus->FrameTState, 18u);
  EXPECT_EQ(bus->cpu.IR.b.l, 3);
  EXPECT_EQ(bus->FetchCount, 3u);

  ExecuteZ80(*bus);  // now it is taken
  EXPECT_EQ(StackTop(*bus), 0x8005);
}

TEST(Prefixes, UndefinedEdOpcodesAreEightTStateNops) {
  for (uint8_t op : {0x00, 0x3F, 0x80, 0x9F, 0xA4, 0xAF, 0xB7, 0xBC, 0xC1, 0xFF}) {
    SCOPED_TRACE(int(op));
    auto bus = MakeBus(0, {0xED, op});
    bus->cpu.AF.w = 0x1234;
    bus->cpu.BC.w = 0x0102;
    bus->cpu.HL.w = 0x5678;
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->FrameTState, 8u);
    EXPECT_EQ(bus->cpu.PC, 2);
    EXPECT_EQ(bus->cpu.IR.b.l, 2);
    EXPECT_EQ(bus->cpu.AF.w, 0x1234);
    EXPECT_EQ(bus->cpu.BC.w, 0x0102);
    EXPECT_EQ(bus->cpu.HL.w, 0x5678);
    EXPECT_EQ(bus->cpu.SP, 0xFF00);
  }
}

// ---- NMOS and CMOS ----

TEST(CpuKind, ScfAfterPopAndOutCZeroDifferOnCmos) {
  for (bool cmos : {false, true}) {
    SCOPED_TRACE(cmos ? "CMOS" : "NMOS");
    // POP AF sets bits 5 and 3 of F without writing Q: NMOS SCF takes them from A OR F.
    auto scf = MakeBus(0, {0xF1, 0x00, 0x37});  // POP AF; NOP; SCF
    scf->cmos = cmos;
    scf->Load(0xFF00, {0x28, 0x00});  // F = 0x28, A = 0
    for (int i = 0; i < 3; ++i) scf->Step();
    EXPECT_EQ(scf->cpu.AF.b.l & 0x29, cmos ? 0x01 : 0x29);

    auto out = MakeBus(0, {0xED, 0x71});  // OUT (C),0
    out->cmos = cmos;
    out->cpu.BC.w = 0x12FE;
    static int sent;
    sent = -1;
    out->portOut = [](FlatBus&, uint16_t port, uint8_t v) { sent = port == 0x12FE ? v : -2; };
    out->Step();
    EXPECT_EQ(sent, cmos ? 0xFF : 0x00);
  }
}

TEST(Exercisers, PreliminaryTestsComplete) {
  const std::filesystem::path path = SharedFile("testdata/cpu/other/prelim/prelim.com");
  ORVO_REQUIRE_FILE(path);
  const CpmRun run = RunCpmProgram(ReadWholeFile(path), 100'000'000ull);
  EXPECT_TRUE(run.finished);
  EXPECT_NE(run.output.find("Preliminary tests complete"), std::string::npos) << run.output;
}

// ---- the interrupt line ----

TEST(Interrupts, SampledAtTheInstructionStartWithinTheWindow) {
  const struct {
    uint32_t start, length;
    uint8_t armed, iff1;
    bool taken;
  } cases[] = {
      {31, 32, 1, 1, true}, {32, 32, 1, 1, false}, {35, 36, 1, 1, true}, {36, 36, 1, 1, false},
      {0, 32, 1, 1, true},  {0, 32, 0, 1, false},  {0, 32, 1, 0, false},  // IFF1 decides, not IFF2
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << k.start << "/" << k.length << " armed " << int(k.armed)
                                    << " iff1 " << int(k.iff1));
    auto bus = MakeBus(0x8000, {0x00});
    ArmIm1(*bus);
    bus->FrameTState = k.start;
    bus->interruptLength = k.length;
    bus->InterruptArmed = k.armed;
    bus->cpu.IFF1 = k.iff1;
    ExecuteZ80(*bus);
    if (k.taken) {
      EXPECT_EQ(bus->cpu.PC, 0x0039);  // the NOP at 0x0038 ran in the same call
      EXPECT_EQ(StackTop(*bus), 0x8000);
      EXPECT_EQ(bus->InstructionTStates, 13u + 4u);
      EXPECT_EQ(bus->cpu.IFF1 | bus->cpu.IFF2, 0);
      EXPECT_EQ(bus->cpu.MEMPTR, 0x0038);
    } else {
      EXPECT_EQ(bus->cpu.PC, 0x8001);
      EXPECT_EQ(bus->InstructionTStates, 4u);
    }
  }
}

TEST(Interrupts, TheInstructionAfterEiAlwaysRunsAndDiEndsTheShadow) {
  auto bus = MakeBus(0x8000, {0xFB, 0x00, 0x00});
  ArmIm1(*bus);
  bus->cpu.IFF1 = bus->cpu.IFF2 = 0;
  bus->FrameTState = 20;
  ExecuteZ80(*bus);  // EI at 20
  ExecuteZ80(*bus);  // NOP at 24: in the shadow
  EXPECT_EQ(bus->cpu.PC, 0x8002);
  ExecuteZ80(*bus);  // taken at 28
  EXPECT_EQ(StackTop(*bus), 0x8002);

  auto di = MakeBus(0x8000, {0xFB, 0xF3, 0x00});
  di->InterruptArmed = 1;
  for (int i = 0; i < 3; ++i) ExecuteZ80(*di);
  EXPECT_EQ(di->cpu.PC, 0x8003);
}

TEST(Interrupts, ModeTwoReadsTheVectorLowByteFirst) {
  ProbeBus bus;
  bus.cpu.PC = 0x8000;
  bus.cpu.SP = 0xFF00;
  bus.cpu.IR.b.h = 0x3F;
  ArmIm1(bus);
  bus.cpu.IM = 2;
  bus.mem[0x3FFF] = 0x34;
  bus.mem[0x4000] = 0x12;
  ExecuteZ80(bus);
  EXPECT_EQ(bus.cpu.PC, 0x1235);  // the NOP at 0x1234 has run
  EXPECT_EQ(bus.cpu.MEMPTR, 0x1234);
  EXPECT_EQ(bus.InstructionTStates, 19u + 4u);
  std::vector<uint16_t> reads;
  for (const BusEvent& e : bus.events) {
    if (e.type == "MR" && e.address != 0x1234) reads.push_back(e.address);
  }
  EXPECT_EQ(reads, (std::vector<uint16_t>{0x3FFF, 0x4000}));
}

TEST(Interrupts, InterruptedLdAIShowsParityClearOnNmos) {
  for (bool cmos : {false, true}) {
    auto bus = MakeBus(0x8000, {0xED, 0x57, 0x00});  // LD A,I with I = 0
    bus->Load(0x0038, {0xF5});                       // PUSH AF
    bus->cmos = cmos;
    ArmIm1(*bus);
    bus->FrameTState = 1000;  // outside the window
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->cpu.AF.b.l & kPV, kPV);
    bus->FrameTState = 0;  // next frame: the interrupt follows LD A,I directly
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->mem[bus->cpu.SP] & kPV, cmos ? kPV : 0) << "cmos " << cmos;
  }
}

// ---- HALT and NMI ----

TEST(Halt, StaysOnTheNextInstructionUntilTheInterrupt) {
  auto bus = MakeBus(0x8000, {0x76, 0x00});
  ArmIm1(*bus);
  bus->FrameTState = 100;
  ExecuteZ80(*bus);
  EXPECT_EQ(bus->cpu.Halted, 1);
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
  EXPECT_EQ(StackTop(*bus), 0x8001);

  // A snapshot taken in HALT before it was stepped over has PC still on the opcode: the
  // interrupt returns past it, and without one the HALT simply runs again.
  auto saved = MakeBus(0x8000, {0x76, 0x00});
  saved->cpu.Halted = 1;
  ArmIm1(*saved);
  ExecuteZ80(*saved);
  EXPECT_EQ(StackTop(*saved), 0x8001);
  auto again = MakeBus(0x8000, {0x76});
  again->cpu.Halted = 1;
  ExecuteZ80(*again);
  EXPECT_EQ(again->cpu.PC, 0x8001);
  EXPECT_EQ(again->cpu.HaltNoAdvance, 1u);
}

TEST(Nmi, LeavesHaltKeepsIff2AndWaitsForALonePrefix) {
  auto bus = MakeBus(0x8000, {0x76});
  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  bus->cpu.MEMPTR = 0x4444;
  ExecuteZ80(*bus);
  ExecuteZ80(*bus);
  bus->NmiRequest = 1;
  const uint32_t before = bus->FrameTState;
  AcceptNmi(*bus);
  EXPECT_EQ(bus->cpu.PC, 0x0066);
  EXPECT_EQ(StackTop(*bus), 0x8001);
  EXPECT_EQ(bus->cpu.Halted | bus->cpu.IFF1, 0);
  EXPECT_EQ(bus->cpu.HaltNoAdvance, 0u);
  EXPECT_EQ(bus->cpu.IFF2, 1);
  EXPECT_EQ(bus->cpu.MEMPTR, 0x4444);
  EXPECT_EQ(bus->cpu.IR.b.l, 3);
  EXPECT_EQ(bus->FrameTState - before, 7u);
  EXPECT_EQ(bus->NmiRequest, 0u);
  EXPECT_EQ(bus->nmisAccepted, 1u);

  // After a lone prefix the request waits for the instruction it leads into.
  auto dd = MakeBus(0x8000, {0xDD, 0xDD, 0x21, 0x34, 0x12});
  ExecuteZ80(*dd);  // the first DD: a no-operation with the prefix pending
  dd->NmiRequest = 1;
  AcceptNmi(*dd);
  EXPECT_EQ(dd->NmiRequest, 1u);
  EXPECT_EQ(dd->cpu.PC, 0x8001);
  ExecuteZ80(*dd);  // DD 21 nn nn
  AcceptNmi(*dd);
  EXPECT_EQ(dd->NmiRequest, 0u);
  EXPECT_EQ(dd->cpu.IX.w, 0x1234);
  EXPECT_EQ(StackTop(*dd), 0x8005);
}

// ---- PC traps ----

TEST(Traps, Interface1PagesInOnTheFetchAndRerunsTheInstruction) {
  // LD HL,(0x9000) at the RST 8 entry and INC HL at 0x1708.
  for (const auto& [at, op] : {std::pair<uint16_t, uint8_t>{0x0008, 0x2A}, {0x1708, 0x23}}) {
    SCOPED_TRACE(at);
    auto bus = MakeBus(at, {op, 0x00, 0x90});
    bus->TrapFlags = kTrapIf1;
    bus->mem[0x9000] = 0x77;
    ExecuteZ80(*bus);
    EXPECT_EQ(bus->if1PageIns, 1u);
    EXPECT_EQ(bus->cpu.PC, at);
    EXPECT_EQ(bus->cpu.HL.w, 0);
    EXPECT_EQ(bus->InstructionTStates, 4u);
    ExecuteZ80(*bus);  // paged now: the instruction runs
    EXPECT_EQ(bus->if1PageIns, 1u);
    EXPECT_EQ(bus->cpu.HL.w, at == 0x0008 ? 0x77 : 1);
  }

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
  notLoaded->TrapFlags = kTrapTape;  // F = 0: NZ, the return is taken
  notLoaded->Load(0xFF00, {0x34, 0x12});
  ExecuteZ80(*notLoaded);
  EXPECT_EQ(notLoaded->tapeLoadTraps, 1u);
  EXPECT_EQ(notLoaded->cpu.PC, 0x1234);
  EXPECT_EQ(notLoaded->InstructionTStates, 11u);
}

TEST(Traps, Plus3DiskDelayLoopsAndTheSpeechUnit) {
  for (bool fast : {true, false}) {      // only on a +3 with fast loading
    auto dec = MakeBus(0x2144, {0x0B});  // DEC BC of the motor delay loop
    dec->TrapFlags = kTrapPlus3Disk;
    dec->diskFastModel = fast;
    dec->cpu.BC.w = 0x1234;
    dec->cpu.AF.w = 0x5500;
    ExecuteZ80(*dec);
    EXPECT_EQ(dec->cpu.BC.w, fast ? 0 : 0x1233);
    EXPECT_EQ(dec->cpu.AF.w & 0xFF40, fast ? 0x0040 : 0x5500);
    EXPECT_EQ(dec->cpu.PC, fast ? 0x2149 : 0x2145);
  }

  auto ld = MakeBus(0x201B, {0x2E, 0x77});
  ld->TrapFlags = kTrapPlus3Disk;
  ld->diskFastModel = true;
  ld->cpu.HL.w = 0x1234;
  ExecuteZ80(*ld);
  EXPECT_EQ(ld->cpu.HL.w, 0);
  EXPECT_EQ(ld->cpu.PC, 0x2024);

  auto speech = MakeBus(0x0038, {0xF5});  // PUSH AF at the interrupt entry
  speech->TrapFlags = kTrapUSpeech;
  ExecuteZ80(*speech);
  EXPECT_EQ(speech->uSpeechToggles, 1u);
  EXPECT_EQ(speech->cpu.SP, 0xFEFE);
}

// ---- what the bus is told ----

TEST(BusCounters, CallTimesAndSpeechClocks) {
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

}  // namespace
}  // namespace orvo::test
