// The 1356 Fuse single-instruction vectors: registers, memory, T-state counts and every bus event
// with its time stamp, including the MC/PC contention probes of a 48K-style bus.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

// The 20 numbers of a vector's two state lines: AF BC DE HL AF' BC' DE' HL' IX IY SP PC MEMPTR,
// then I R IFF1 IFF2 IM halted and the T-state count.
struct FuseState {
  unsigned v[20] = {};
};
constexpr int kR = 14, kHalted = 18, kT = 19;

struct FuseTest {
  std::string name;
  FuseState in;
  std::vector<std::pair<uint16_t, uint8_t>> pokes;  // (address, byte), one per byte
  FuseState out;
  std::vector<BusEvent> events;
  std::vector<std::pair<uint16_t, uint8_t>> changes;
};

// "<addr> <b0> <b1> ... -1"
void ReadMemoryLine(const std::string& line, std::vector<std::pair<uint16_t, uint8_t>>& out) {
  std::istringstream s(line);
  unsigned address;
  int byte;
  s >> std::hex >> address;
  while (s >> byte && byte >= 0)
    out.emplace_back(static_cast<uint16_t>(address++), static_cast<uint8_t>(byte));
}

// Reads the next line that is not empty; false at the end of the file.
bool NextLine(std::istream& in, std::string& line) {
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) return true;
  }
  return false;
}

FuseState ReadState(std::istream& in) {
  std::string regs, misc;
  NextLine(in, regs), NextLine(in, misc);
  std::istringstream s(regs + " " + misc);
  FuseState state;
  for (int k = 0; k < kT; ++k) s >> std::hex >> state.v[k];
  s >> std::dec >> state.v[kT];
  return state;
}

std::vector<FuseTest> LoadFuseTests() {
  const auto text = [](const char* name) {
    const std::vector<uint8_t> b =
        ReadWholeFile(SharedFile(std::string("testdata/cpu/fuse/") + name));
    return std::string(b.begin(), b.end());
  };
  std::istringstream in(text("tests.in")), ex(text("tests.expected"));
  std::vector<FuseTest> tests;
  std::string line;
  while (NextLine(in, line)) {
    FuseTest& t = tests.emplace_back();
    t.name = line;
    t.in = ReadState(in);
    while (NextLine(in, line) && line != "-1") ReadMemoryLine(line, t.pokes);
  }
  for (FuseTest& t : tests) {
    if (!NextLine(ex, line) || line != t.name) {
      ADD_FAILURE() << "expected results out of step at " << t.name;
      return {};
    }
    while (ex.peek() == ' ' && NextLine(ex, line)) {
      std::istringstream s(line);
      BusEvent e{};
      unsigned address, data;
      s >> std::dec >> e.time >> e.type >> std::hex >> address;
      e.address = static_cast<uint16_t>(address);
      e.data = (s >> data) ? static_cast<int>(data) : -1;
      t.events.push_back(e);
    }
    t.out = ReadState(ex);
    while (std::getline(ex, line) && !line.empty() && line != "\r") ReadMemoryLine(line, t.changes);
  }
  return tests;
}

// Calls f(index, register) for the registers of a FuseState except R and the T-state count.
template <class F>
void ForEachRegister(CpuState& c, F f) {
  RegPair* pairs[] = {&c.AF, &c.BC, &c.DE, &c.HL, &c.AF_, &c.BC_, &c.DE_, &c.HL_, &c.IX, &c.IY};
  for (int k = 0; k < 10; ++k) f(k, pairs[k]->w);
  f(10, c.SP), f(11, c.PC), f(12, c.MEMPTR), f(13, c.IR.b.h), f(15, c.IFF1), f(16, c.IFF2);
  f(17, c.IM), f(kHalted, c.Halted);
}

void SetState(CpuState& c, const FuseState& s) {
  ForEachRegister(c, [&](int k, auto& reg) {
    reg = static_cast<std::remove_reference_t<decltype(reg)>>(s.v[k]);
  });
  c.IR.b.l = static_cast<uint8_t>(s.v[kR]);
  c.R7 = static_cast<uint8_t>(s.v[kR] & 0x80);
  c.HaltNoAdvance = s.v[kHalted];
}

FuseState Capture(const ProbeBus& bus) {
  CpuState c = bus.cpu;
  FuseState s;
  ForEachRegister(c, [&](int k, auto& reg) { s.v[k] = reg; });
  s.v[kR] = (c.IR.b.l & 0x7Fu) | c.R7;
  s.v[kT] = bus.FrameTState;
  return s;
}

// Where the vectors and this core part company, with the reason. Each entry names what differs;
// the comparison applies it before judging.

// Fuse leaves out the displacement read of a JR cc or DJNZ that falls through (it charges the
// three T-states as a bare probe); the Z80 performs that read, so the core logs an MR there. These
// are the vectors where a branch falls through.
bool IsSkippedDisplacementRead(const FuseTest& t, const BusEvent& e) {
  static const std::set<std::string> kFallThrough = {"10", "20_2", "28_1", "30_2", "38_1"};
  return e.type == "MR" && kFallThrough.count(t.name) != 0;
}

std::string Compare(const FuseTest& t, const ProbeBus& bus, const std::vector<uint8_t>& expectedMem,
                    const FuseState& expected, const std::vector<BusEvent>& expectedEvents) {
  std::ostringstream out;
  out << std::hex;
  const FuseState got = Capture(bus);
  static const char* kNames[20] = {"AF",  "BC",   "DE",   "HL", "AF'",    "BC'",    "DE'",
                                   "HL'", "IX",   "IY",   "SP", "PC",     "MEMPTR", "I",
                                   "R",   "IFF1", "IFF2", "IM", "halted", "T"};
  for (int k = 0; k < 20; ++k)
    if (got.v[k] != expected.v[k])
      out << " " << kNames[k] << "=" << got.v[k] << " (want " << expected.v[k] << ")";
  for (size_t a = 0; a < 65536; ++a)
    if (bus.mem[a] != expectedMem[a])
      out << " mem[" << a << "]=" << int(bus.mem[a]) << " (want " << int(expectedMem[a]) << ")";
  // Bus events, allowing only the displacement reads Fuse leaves out.
  size_t j = 0;
  for (const BusEvent& e : bus.events) {
    if (j < expectedEvents.size() && e == expectedEvents[j]) {
      ++j;
      continue;
    }
    if (IsSkippedDisplacementRead(t, e) && j > 0 && expectedEvents[j - 1].type == "MC" &&
        expectedEvents[j - 1].address == e.address && expectedEvents[j - 1].time + 3 <= e.time) {
      continue;
    }
    out << " unexpected event [" << Describe(e) << "]";
    if (j < expectedEvents.size()) out << " where [" << Describe(expectedEvents[j]) << "] was due";
    return out.str();
  }
  if (j < expectedEvents.size()) out << " missing event [" << Describe(expectedEvents[j]) << "]";
  return out.str();
}

// Vectors whose expected results the core does not follow, with the reason and the values the
// core's rules give instead (worked by hand from those rules).
struct Disagreement {
  const char* name;
  int af;      // expected AF instead of the vector's, or -1
  int memptr;  // expected MEMPTR instead of the vector's, or -1
  int pcStep;  // added to the vector's PC
  const char* reason;
};

constexpr Disagreement kDisagreements[] = {
    {"76", -1, -1, 1,
     "HALT moves PC past the opcode and holds it there; Fuse leaves PC on the HALT"},
    // A repeating block instruction that goes round again takes bits 5 and 3 from the high byte of
    // its own address, and the block I/O forms then fix H and P/V from the internal B step; MEMPTR
    // becomes the instruction's address + 1. Fuse predates those findings.
    {"edb2_1", 0x8a00, 0x0001, 0, "INIR repeating: k=0x4b, B=9: P/V parity(3^9^1)=0, no 5/3"},
    {"edb3_1", 0x3403, 0x0001, 0, "OTIR repeating: k=0x11a, N, B=2: P/V parity(2^2^1)=0, H=0"},
    {"edb9_2", 0xffaf, -1, 0, "CPDR repeating at 0x7a45: bits 5 and 3 from 0x7a"},
    {"edba_1", -1, 0x0001, 0, "INDR repeating: MEMPTR = PC + 1"},
    {"edbb_1", 0x0903, 0x0001, 0, "OTDR repeating: k=0x185, N, B=3: P/V parity(5^3^2)=0, H=0"},
};

// The vector's expected state with a listed disagreement applied.
FuseState AdjustExpected(const FuseTest& t) {
  FuseState s = t.out;
  for (const Disagreement& d : kDisagreements) {
    if (t.name != d.name) continue;
    if (d.af >= 0) s.v[0] = static_cast<unsigned>(d.af);
    if (d.memptr >= 0) s.v[12] = static_cast<unsigned>(d.memptr);
    s.v[11] = static_cast<uint16_t>(s.v[11] + d.pcStep);
  }
  return s;
}

// The vector's bus events as the contended bus below delays them when the run starts at `base`:
// every memory probe, every port probe of a 0x4000-0x7FFF port and the middle of every even-port
// I/O cycle waits the table's delay at the moment it falls; everything after it moves on by that.
std::vector<BusEvent> ContendedEvents(const std::vector<BusEvent>& events, uint32_t base,
                                      const std::vector<uint8_t>& table, uint32_t& shift) {
  shift = 0;
  std::vector<BusEvent> out;
  for (BusEvent e : events) {
    e.time += base + shift;
    out.push_back(e);
    const bool probe = e.type == "MC" || e.type == "PC";
    const bool contended = e.type == "MC" || (e.address & 0xC000) == 0x4000 || !(e.address & 1);
    if (probe && contended) shift += table[e.time];
  }
  return out;
}

void PrepareVector(ProbeBus& bus, const FuseTest& t, std::vector<uint8_t>& expectedMem) {
  bus.cpu = CpuState{};
  SetState(bus.cpu, t.in);
  std::fill(bus.mem.begin(), bus.mem.end(), 0);
  for (const auto& [address, byte] : t.pokes) bus.mem[address] = byte;
  expectedMem.assign(bus.mem.begin(), bus.mem.end());
  for (const auto& [address, byte] : t.changes) expectedMem[address] = byte;
  bus.events.clear();
}

// Each vector runs twice: as it stands, and then with the 48K ULA's delays applied to all memory
// (and to ports as the 48K decodes them), started at varying points of the first display line,
// where every access must meet its delay at the T-state it begins, where the probes place it.
TEST(FuseVectors, AllVectorsMatchPlainAndContended) {
  ORVO_REQUIRE_FILE(SharedFile("testdata/cpu/fuse/tests.in"));
  const std::vector<FuseTest> tests = LoadFuseTests();
  ASSERT_EQ(tests.size(), 1356u);
  ProbeBus bus;
  const std::vector<uint8_t> table = Make48KContentionTable();
  std::vector<uint8_t> expectedMem;
  int passed = 0, passedContended = 0, delayed = 0;
  for (size_t i = 0; i < tests.size(); ++i) {
    const FuseTest& t = tests[i];
    PrepareVector(bus, t, expectedMem);
    bus.memoryContention.clear();
    bus.ioContention.clear();
    bus.contendAllMemory = false;
    bus.FrameTState = 0;
    int steps = 0;
    do bus.Step(), ++steps;
    while (bus.FrameTState < t.in.v[kT]);
    std::string diff = Compare(t, bus, expectedMem, AdjustExpected(t), t.events);
    EXPECT_TRUE(diff.empty()) << t.name << ":" << diff;
    passed += diff.empty();

    const uint32_t base = 14330 + static_cast<uint32_t>(i % 16);
    uint32_t shift = 0;
    const std::vector<BusEvent> events = ContendedEvents(t.events, base, table, shift);
    PrepareVector(bus, t, expectedMem);
    bus.memoryContention = bus.ioContention = table;
    bus.contendAllMemory = true;
    bus.FrameTState = base;
    for (int k = 0; k < steps; ++k) bus.Step();
    FuseState expected = AdjustExpected(t);
    expected.v[kT] += base + shift;
    diff = Compare(t, bus, expectedMem, expected, events);
    EXPECT_TRUE(diff.empty()) << t.name << " from " << base << ":" << diff;
    passedContended += diff.empty();
    delayed += shift != 0;
  }
  EXPECT_EQ(passed, 1356);
  EXPECT_EQ(passedContended, 1356);
  EXPECT_GT(delayed, 1200);  // nearly every vector meets the ULA somewhere
}

}  // namespace
}  // namespace orvo::test
