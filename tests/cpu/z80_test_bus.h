#pragma once
// Bare Z80 systems for the core's tests: 64 KB of flat RAM and a T-state counter, with no ULA.
//
// FlatBus charges the plain Z80 cycle lengths (M1 4, memory 3, internal 1 each, I/O 4) and answers
// ports through an optional handler (by default with the port's high byte). ProbeBus adds an event
// log in the style of the published Fuse vectors (MR/MW/PR/PW with the T-state at which the data
// moves, MC/PC probes at the T-state a 48K ULA would apply contention), splits I/O cycles into the
// 48K patterns, and can apply a contention table to 0x4000-0x7FFF.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cpu/bus.h"
#include "cpu/cpu_state.h"
#include "cpu/z80.h"

namespace orvo::test {

struct FlatBus {
  CpuState cpu;
  uint32_t FrameTState = 0;
  uint32_t InstructionStartTState = 0;
  uint32_t InstructionTStates = 0;
  uint8_t InterruptArmed = 0;
  FetchTrapList FetchTraps;
  uint32_t NmiRequest = 0;
  uint32_t FetchCount = 0;  // M1 cycles, as the RZX counter sees them

  std::array<uint8_t, 65536> mem{};
  bool cmos = false;
  uint32_t interruptLength = 32;
  uint8_t (*portIn)(FlatBus&, uint16_t) = nullptr;  // null: the port's high byte
  void (*portOut)(FlatBus&, uint16_t, uint8_t) = nullptr;
  void* user = nullptr;  // for the port handlers

  uint8_t FetchOpcode(uint16_t a) {
    FrameTState += 4;
    ++FetchCount;
    return mem[a];
  }
  uint8_t ReadByte(uint16_t a) {
    FrameTState += 3;
    return mem[a];
  }
  void WriteByte(uint16_t a, uint8_t v) {
    FrameTState += 3;
    mem[a] = v;
  }
  void InternalCycles(uint16_t, uint32_t n) { FrameTState += n; }
  uint8_t ReadPort(uint16_t port) {
    FrameTState += 4;
    return portIn ? portIn(*this, port) : static_cast<uint8_t>(port >> 8);
  }
  void WritePort(uint16_t port, uint8_t v) {
    FrameTState += 4;
    if (portOut) portOut(*this, port, v);
  }
  uint32_t InterruptLength() const { return interruptLength; }
  uint8_t InterruptDataBus() { return 0xFF; }
  bool IsCmos() const { return cmos; }
  void OnIRegisterWrite() {}
  void OnNmiAccepted() {}

  void Load(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) mem[address++] = b;
  }
  // Runs one whole instruction: a lone prefix and the instruction it leads into count as one.
  void Step() {
    do ExecuteZ80(*this);
    while (cpu.PrefixPending);
  }
};

struct BusEvent {
  uint32_t time;
  std::string type;  // MR MW MC PR PW PC
  uint16_t address;
  int data;  // -1 for the probes
  bool operator==(const BusEvent&) const = default;
};

inline std::string Describe(const BusEvent& e) {
  char text[48];
  if (e.data < 0) {
    std::snprintf(text, sizeof text, "%5u %s %04x", e.time, e.type.c_str(), e.address);
  } else {
    std::snprintf(text, sizeof text, "%5u %s %04x %02x", e.time, e.type.c_str(), e.address, e.data);
  }
  return text;
}

struct ProbeBus : FlatBus {
  std::vector<BusEvent> events;
  // Optional 48K-style contention: delays per T-state for memory and I/O, applied to addresses
  // (and port high bytes) 0x4000-0x7FFF. Empty: probes only, no delay.
  std::vector<uint8_t> memoryContention;
  std::vector<uint8_t> ioContention;

  // Memory and internal cycles at every address meet the tables (the port patterns keep the 48K
  // decoding): puts the contention probes of code anywhere to the test.
  bool contendAllMemory = false;

  static bool Contended(uint16_t a) { return (a & 0xC000) == 0x4000; }
  bool MemoryContended(uint16_t a) const { return contendAllMemory || Contended(a); }
  bool dropNextProbe = false;  // the next MC is the repeat of a fetch a lone prefix undid
  void Log(const char* type, uint16_t a, int data) {
    if (dropNextProbe && type[0] == 'M' && type[1] == 'C') {
      dropNextProbe = false;
      return;
    }
    events.push_back({FrameTState, type, a, data});
  }
  void MemoryWait(uint16_t a) {
    Log("MC", a, -1);
    if (MemoryContended(a) && FrameTState < memoryContention.size())
      FrameTState += memoryContention[FrameTState];
  }
  void IoWait(const char* type, uint16_t a) {
    Log(type, a, -1);
    if (Contended(a) && FrameTState < ioContention.size()) FrameTState += ioContention[FrameTState];
  }

  uint8_t Read(uint16_t a, uint32_t length) {
    MemoryWait(a);
    FrameTState += length;
    Log("MR", a, mem[a]);
    return mem[a];
  }
  uint8_t FetchOpcode(uint16_t a) {
    ++FetchCount;
    return Read(a, 4);
  }
  uint8_t ReadByte(uint16_t a) { return Read(a, 3); }
  void WriteByte(uint16_t a, uint8_t v) {
    MemoryWait(a);
    FrameTState += 3;
    Log("MW", a, v);
    mem[a] = v;
  }
  void InternalCycles(uint16_t a, uint32_t n) {
    while (n--) {
      Log("MC", a, -1);
      if (MemoryContended(a) && FrameTState < ioContention.size())
        FrameTState += ioContention[FrameTState];
      FrameTState += 1;
    }
  }
  // The 48K I/O cycle: a first T-state (contended by the port's high byte), then for an even port
  // (the ULA) a contended three, for an odd port three more contended singles when the high byte
  // is contended, else three plain T-states.
  void IoStart(uint16_t port) {
    if (Contended(port)) IoWait("PC", port);
    FrameTState += 1;
  }
  void IoEnd(uint16_t port) {
    if (!(port & 1)) {
      Log("PC", port, -1);
      if (FrameTState < ioContention.size()) FrameTState += ioContention[FrameTState];
      FrameTState += 3;
    } else if (Contended(port)) {
      for (int i = 0; i < 3; ++i) {
        IoWait("PC", port);
        FrameTState += 1;
      }
    } else {
      FrameTState += 3;
    }
  }
  uint8_t ReadPort(uint16_t port) {
    IoStart(port);
    const uint8_t v = portIn ? portIn(*this, port) : static_cast<uint8_t>(port >> 8);
    Log("PR", port, v);
    IoEnd(port);
    return v;
  }
  void WritePort(uint16_t port, uint8_t v) {
    IoStart(port);
    Log("PW", port, v);
    if (portOut) portOut(*this, port, v);
    IoEnd(port);
  }
  // As FlatBus::Step. A fetch that a lone prefix undid is made again by the next call: the log
  // keeps the first one's probe (where its wait was charged) and the second one's read.
  void Step() {
    for (;;) {
      const size_t before = events.size();
      ExecuteZ80(*this);
      if (!cpu.PrefixPending) break;
      if (events.size() >= before + 2) {
        events.pop_back();
        dropNextProbe = true;
      }
    }
  }
};

// The 48K memory contention pattern from T-state 14335: 6,5,4,3,2,1,0,0 over 128 T-states of
// each of 192 lines 224 T-states apart.
inline std::vector<uint8_t> Make48KContentionTable() {
  static const uint8_t kPattern[8] = {6, 5, 4, 3, 2, 1, 0, 0};
  std::vector<uint8_t> table(71000, 0);
  for (uint32_t line = 0; line < 192; ++line) {
    const uint32_t start = 14335 + line * 224;
    for (uint32_t t = 0; t < 128; ++t) table[start + t] = kPattern[t & 7];
  }
  return table;
}

}  // namespace orvo::test
