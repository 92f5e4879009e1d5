// What the instruction suites leave out: the interrupt line, HALT, IM 2, NMI, prefix chains
// against interrupts, the CMOS part's differences, the fetch traps (when a handler runs, what each
// answer does to the step, several owners at one address, taking a trap away). z80test runs on the
// whole machine from tape, zexdoc/zexall on a CP/M runner, both slow.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cpu/fetch_traps.h"
#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"

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
  EXPECT_EQ(bus->cpu.PC, 0x8001);
  EXPECT_EQ(bus->FetchCount, 1u);  // the fetch of the second DD was undone

  bus->cpu.IFF1 = bus->cpu.IFF2 = 1;
  ExecuteZ80(*bus);  // DD 21 nn nn: no interrupt between the prefix and the instruction
  EXPECT_EQ(bus->cpu.IX.w, 0x1234);
  EXPECT_EQ(bus->FrameTState, 18u);
  EXPECT_EQ(bus->cpu.IR.b.l, 3);
  EXPECT_EQ(bus->FetchCount, 3u);

  ExecuteZ80(*bus);  // now it is taken
  EXPECT_EQ(StackTop(*bus), 0x8005);
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

// ---- the interrupt line ----

TEST(Interrupts, SampledAtTheInstructionStartWithinTheWindow) {
  const struct {
    uint32_t start, length;
    uint8_t armed, iff1;
    bool taken;
  } cases[] = {
      // The window's length per model is measured whole by a timing program on tape (slow).
      {31, 32, 1, 1, true},
      {32, 32, 1, 1, false},
      {0, 32, 0, 1, false},
      {0, 32, 1, 0, false},  // IFF1 decides, not IFF2
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

TEST(Interrupts, ModeTwoReadsTheVectorLowByteFirst) {
  ProbeBus bus;
  bus.cpu.PC = 0x8000, bus.cpu.SP = 0xFF00, bus.cpu.IR.b.h = 0x3F;
  ArmIm1(bus);
  bus.cpu.IM = 2;
  bus.mem[0x3FFF] = 0x34;
  bus.mem[0x4000] = 0x12;
  ExecuteZ80(bus);
  EXPECT_EQ(bus.cpu.PC, 0x1235);  // the NOP at 0x1234 has run
  EXPECT_EQ(bus.cpu.MEMPTR, 0x1234);
  EXPECT_EQ(bus.InstructionTStates, 19u + 4u);
  std::vector<uint16_t> reads;
  for (const BusEvent& e : bus.events)
    if (e.type == "MR" && e.address != 0x1234) reads.push_back(e.address);
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
  for (int i = 0; i < 10; ++i) ExecuteZ80(*bus);
  EXPECT_EQ(bus->InstructionTStates, 4u);
  EXPECT_EQ(bus->cpu.PC, 0x8001);
  EXPECT_EQ(bus->cpu.LastFetchPC, 0x8001);
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
  EXPECT_EQ(bus->cpu.Halted | bus->cpu.IFF1 | bus->cpu.HaltNoAdvance | bus->NmiRequest, 0u);
  EXPECT_EQ(bus->cpu.IFF2, 1);
  EXPECT_EQ(bus->cpu.MEMPTR, 0x4444);
  EXPECT_EQ(bus->cpu.IR.b.l, 3);
  EXPECT_EQ(bus->FrameTState - before, 11u);  // a five T-state M1 and two stack writes

  // After a lone prefix the request waits for the instruction it leads into.
  auto dd = MakeBus(0x8000, {0xDD, 0xDD, 0x21, 0x34, 0x12});
  ExecuteZ80(*dd);  // the first DD: a no-operation with the prefix pending
  dd->NmiRequest = 1;
  AcceptNmi(*dd);
  EXPECT_EQ(dd->NmiRequest, 1u);
  EXPECT_EQ(dd->cpu.PC, 0x8001);
  ExecuteZ80(*dd);  // DD 21 nn nn
  AcceptNmi(*dd);
  EXPECT_EQ(StackTop(*dd), 0x8005);
}

// What a handler saw when it ran: the calls, and FrameTState and PC at the last one.
struct TrapLog {
  explicit TrapLog(FlatBus* b) : bus(b) {}
  FlatBus* bus;
  std::string calls;
  uint32_t tstate = 0;
  uint16_t pc = 0;
};

TrapLog& Log(void* context, char who) {
  TrapLog& log = *static_cast<TrapLog*>(context);
  log.calls += who;
  log.tstate = log.bus->FrameTState;
  log.pc = log.bus->cpu.PC;
  return log;
}

FetchTrapResult Observe(void* context, uint16_t) {
  Log(context, 'o');
  return FetchTrapResult::Continue();
}

// Takes over the opcode fetch and hands the opcode back.
FetchTrapResult FetchItself(void* context, uint16_t) {
  TrapLog& log = Log(context, 'f');
  return FetchTrapResult::Execute(Z80FetchCycle(*log.bus));
}

// As an interface ROM pages itself in: the fetch happens, then the instruction is run again
// from the start by the next step.
FetchTrapResult RefetchNextStep(void* context, uint16_t address) {
  TrapLog& log = Log(context, 's');
  Z80FetchCycle(*log.bus);
  log.bus->cpu.PC = address;
  return FetchTrapResult::Skip();
}

TEST(FetchTraps, OwnersAtOneAddressRunInOrderBeforeTheFetch) {
  auto owner = MakeBus(0x8000, {0x3E, 0x42});  // LD A,0x42
  FlatBus& bus = *owner;
  bus.FrameTState = 100;
  TrapLog first{&bus}, second{&bus}, third{&bus};
  bus.FetchTraps.Add(0x8000, Observe, &first);
  bus.FetchTraps.Add(0x8000, FetchItself, &second);
  bus.FetchTraps.Add(0x8000, Observe, &third);

  ExecuteZ80(bus);
  EXPECT_EQ(first.calls, "o");
  EXPECT_EQ(second.calls, "f");
  EXPECT_EQ(third.calls, "") << "the walk ends at the handler that fetched";
  EXPECT_EQ(first.tstate, 100u) << "before the M1 cycle";
  EXPECT_EQ(first.pc, 0x8000);
  // The instruction ran once, on the handler's fetch.
  EXPECT_EQ(bus.cpu.AF.b.h, 0x42);
  EXPECT_EQ(bus.cpu.PC, 0x8002);
  EXPECT_EQ(bus.FetchCount, 1u);
  EXPECT_EQ(bus.InstructionTStates, 7u);

  // An interrupt accepted by the step comes first: the trap at 0x0038 runs in the same call.
  auto irq = MakeBus(0x8000, {0x00});
  irq->cpu.IFF1 = irq->cpu.IFF2 = irq->cpu.IM = irq->InterruptArmed = 1;
  TrapLog entry{irq.get()};
  irq->FetchTraps.Add(0x0038, Observe, &entry);
  irq->FetchTraps.Add(0x8000, Observe, &entry);
  ExecuteZ80(*irq);
  EXPECT_EQ(entry.calls, "o");
  EXPECT_EQ(entry.pc, 0x0038);
  EXPECT_EQ(entry.tstate, 13u);

  // A halted CPU only repeats the M1 cycle: nothing there is an instruction start.
  auto halted = MakeBus(0x8000, {0x76});
  TrapLog none{halted.get()};
  halted->FetchTraps.Add(0x8001, Observe, &none);
  ExecuteZ80(*halted);
  ExecuteZ80(*halted);
  EXPECT_EQ(none.calls, "");
}

TEST(FetchTraps, ASkippingTrapReplacesTheStepUntilItIsRemoved) {
  auto owner = MakeBus(0x0008, {0x2A, 0x00, 0x90});  // LD HL,(0x9000)
  FlatBus& bus = *owner;
  bus.mem[0x9000] = 0x77;
  TrapLog log{&bus};
  bus.FetchTraps.Add(0x0008, RefetchNextStep, &log);
  ASSERT_TRUE(bus.FetchTraps.Armed());

  ExecuteZ80(bus);
  EXPECT_EQ(bus.cpu.PC, 0x0008);
  EXPECT_EQ(bus.cpu.HL.w, 0) << "the instruction did not run";
  EXPECT_EQ(bus.InstructionTStates, 4u);

  bus.FetchTraps.Remove(0x0008, RefetchNextStep, &log);
  EXPECT_FALSE(bus.FetchTraps.Armed());
  EXPECT_FALSE(bus.FetchTraps.Has(0x0008));
  ExecuteZ80(bus);
  EXPECT_EQ(log.calls, "s");
  EXPECT_EQ(bus.cpu.HL.w, 0x77);
  EXPECT_EQ(bus.InstructionTStates, 16u);

  // With an observer left at the address, removing the other keeps the address trapped.
  bus.FetchTraps.Add(0x0008, Observe, &log);
  bus.FetchTraps.Add(0x0008, RefetchNextStep, &log);
  bus.FetchTraps.Remove(0x0008, RefetchNextStep, &log);
  bus.cpu.PC = 0x0008;
  ExecuteZ80(bus);
  EXPECT_EQ(log.calls, "so");
  EXPECT_EQ(bus.cpu.PC, 0x000B);
}

}  // namespace
}  // namespace orvo::test
