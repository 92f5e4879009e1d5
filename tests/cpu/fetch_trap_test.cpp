// Fetch traps seen from the core: when a handler runs, what each answer does to the step, several
// owners at one address, and taking a trap away.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cpu/fetch_traps.h"
#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"

namespace orvo::test {
namespace {

// What a handler saw when it ran: the calls, and FrameTState and PC at the last one.
struct TrapLog {
  explicit TrapLog(FlatBus* b) : bus(b) {}
  FlatBus* bus;
  std::string calls;
  uint32_t tstate = 0;
  uint16_t pc = 0;
};

// A bus with `code` at `pc` and the stack at 0xFF00.
std::unique_ptr<FlatBus> At(uint16_t pc, std::initializer_list<uint8_t> code) {
  auto bus = std::make_unique<FlatBus>();
  bus->Load(pc, code);
  bus->cpu.PC = pc;
  bus->cpu.SP = 0xFF00;
  return bus;
}

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
  auto owner = At(0x8000, {0x3E, 0x42});  // LD A,0x42
  FlatBus& bus = *owner;
  bus.FrameTState = 100;
  TrapLog first{&bus}, second{&bus}, third{&bus};
  bus.FetchTraps.Add(0x8000, Observe, &first);
  bus.FetchTraps.Add(0x8000, FetchItself, &second);
  bus.FetchTraps.Add(0x8000, Observe, &third);
  bus.FetchTraps.Add(0x8000, Observe, &first);  // the same owner again: still one entry

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
  auto irq = At(0x8000, {0x00});
  irq->cpu.IFF1 = irq->cpu.IFF2 = irq->cpu.IM = irq->InterruptArmed = 1;
  TrapLog entry{irq.get()};
  irq->FetchTraps.Add(0x0038, Observe, &entry);
  irq->FetchTraps.Add(0x8000, Observe, &entry);
  ExecuteZ80(*irq);
  EXPECT_EQ(entry.calls, "o");
  EXPECT_EQ(entry.pc, 0x0038);
  EXPECT_EQ(entry.tstate, 13u);

  // A halted CPU only repeats the M1 cycle: nothing there is an instruction start.
  auto halted = At(0x8000, {0x76});
  TrapLog none{halted.get()};
  halted->FetchTraps.Add(0x8001, Observe, &none);
  ExecuteZ80(*halted);
  ExecuteZ80(*halted);
  EXPECT_EQ(none.calls, "");
}

TEST(FetchTraps, ASkippingTrapReplacesTheStepUntilItIsRemoved) {
  auto owner = At(0x0008, {0x2A, 0x00, 0x90});  // LD HL,(0x9000)
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
