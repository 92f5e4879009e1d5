#include "debugger/debug_hooks.h"

#include <algorithm>
#include <array>

#include "debugger/disassembler.h"
#include "debugger/typed_number.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

constexpr std::array<std::string_view, kConditionRegisterCount> kRegisterNames = {
    "A", "B",  "C",  "D",  "E",  "F",  "H",  "L",  "I",
    "R", "AF", "BC", "DE", "HL", "IX", "IY", "IR", "SP"};

std::string Upper(std::string_view text) {
  std::string s(text);
  for (char& ch : s) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return s;
}

// A breakpoint stops the step before its instruction. The core has already cleared the EI shadow,
// a pending prefix and Q for the new step: they are given back, so resuming runs the instruction
// exactly as it would have run.
FetchTrapResult BreakpointTrap(void* context, uint16_t address) {
  auto& m = *static_cast<MachineState*>(context);
  DebuggerState& d = m.debug;
  if (m.TapePlaying) return FetchTrapResult::Continue();
  if (d.resumePending && d.resumeAt == address) {
    d.resumePending = 0;
    return FetchTrapResult::Continue();
  }
  for (size_t i = 0; i < d.breakpoints.size(); ++i) {
    const Breakpoint& b = d.breakpoints[i];
    if (b.address != address || b.inactive || !BreakpointConditionHolds(m, b)) continue;
    d.stop = DebugStop::kBreakpoint;
    d.stopBreakpoint = static_cast<int>(i);
    const bool interrupted = m.FrameTState != m.InstructionStartTState;
    m.cpu.EiDelay = interrupted ? 0 : d.savedEiDelay;
    m.cpu.PrefixPending = interrupted ? 0 : d.savedPrefixPending;
    m.cpu.Q = interrupted ? 0 : d.savedQ;
    m.InstructionTStates = m.FrameTState - m.InstructionStartTState;
    m.DebugHooksActive = 1;
    return FetchTrapResult::Skip();
  }
  return FetchTrapResult::Continue();
}

// The port the instruction at PC reads or writes, and which; nothing for other instructions.
struct PortAccess {
  uint16_t port;
  bool write;
};
std::optional<PortAccess> PortOfNextInstruction(const MachineState& m) {
  const CpuState& c = m.cpu;
  const uint8_t op = m.Peek(c.PC);
  const auto n = m.Peek(static_cast<uint16_t>(c.PC + 1));
  if (op == 0xDB) return PortAccess{static_cast<uint16_t>(c.AF.b.h << 8 | n), false};
  if (op == 0xD3) return PortAccess{static_cast<uint16_t>(c.AF.b.h << 8 | n), true};
  if (op != 0xED) return std::nullopt;
  if ((n & 0xC7) == 0x40) return PortAccess{c.BC.w, false};  // IN r,(C)
  if ((n & 0xC7) == 0x41) return PortAccess{c.BC.w, true};   // OUT (C),r
  if ((n & 0xE7) == 0xA2) return PortAccess{c.BC.w, false};  // INI, IND, INIR, INDR
  // OUTI and friends put B on the bus after decrementing it.
  if ((n & 0xE7) == 0xA3) {
    return PortAccess{static_cast<uint16_t>((c.BC.b.h - 1) << 8 | c.BC.b.l), true};
  }
  return std::nullopt;
}

bool PortMatches(int32_t armed, uint16_t port) {
  return armed >= 0 && (armed <= 0xFF ? (port & 0xFF) == armed : port == armed);
}

}  // namespace

uint8_t PeekMachine(const void* machine, uint16_t address) {
  return static_cast<const MachineState*>(machine)->Peek(address);
}

std::optional<Breakpoint> ParseBreakpointCondition(std::string_view text) {
  Breakpoint b;
  b.condition = std::string(text);
  const std::string s = Upper(text);
  if (s.find_first_not_of(" \t") == std::string::npos) return b;
  static constexpr struct {
    char ch;
    Comparison cmp;
  } kOps[] = {{'=', Comparison::kEqual}, {'<', Comparison::kLess}, {'>', Comparison::kGreater}};
  for (const auto& op : kOps) {
    const size_t at = s.find(op.ch);
    if (at == std::string::npos) continue;
    const auto it = std::find(kRegisterNames.begin(), kRegisterNames.end(), s.substr(0, at));
    if (it == kRegisterNames.end()) return std::nullopt;
    const auto value = ParseHashHexOrDecimal(std::string_view(s).substr(at + 1));
    if (!value) return std::nullopt;
    b.reg = static_cast<uint32_t>(it - kRegisterNames.begin());
    b.comparison = op.cmp;
    b.value = *value;
    return b;
  }
  return std::nullopt;
}

uint32_t ConditionRegisterValue(const MachineState& m, uint32_t reg) {
  const CpuState& c = m.cpu;
  const uint8_t r = static_cast<uint8_t>((c.IR.b.l & 0x7F) | (c.R7 & 0x80));
  switch (reg) {
    case 0: return c.AF.b.h;
    case 1: return c.BC.b.h;
    case 2: return c.BC.b.l;
    case 3: return c.DE.b.h;
    case 4: return c.DE.b.l;
    case 5: return c.AF.b.l;
    case 6: return c.HL.b.h;
    case 7: return c.HL.b.l;
    case 8: return c.IR.b.h;
    case 9: return r;
    case 10: return c.AF.w;
    case 11: return c.BC.w;
    case 12: return c.DE.w;
    case 13: return c.HL.w;
    case 14: return c.IX.w;
    case 15: return c.IY.w;
    case 16: return static_cast<uint32_t>(c.IR.b.h << 8 | r);
    default: return c.SP;
  }
}

bool BreakpointConditionHolds(const MachineState& m, const Breakpoint& b) {
  if (!b.hasCondition()) return true;
  const uint32_t v = ConditionRegisterValue(m, b.reg);
  switch (b.comparison) {
    case Comparison::kEqual: return v == b.value;
    case Comparison::kLess: return v < b.value;
    default: return v > b.value;
  }
}

namespace {

BreakpointAdd MakeEntry(const UserLabels& labels, std::string_view address,
                        std::string_view condition, bool active, uint32_t ramTop, Breakpoint& out) {
  // A number, or the name of one of the program's labels.
  auto a = ParseHashHexOrDecimal(address);
  if (!a) {
    if (const auto named = labels.Find(address)) a = *named;
  }
  if (!a || *a > ramTop) return BreakpointAdd::kBadAddress;
  auto b = ParseBreakpointCondition(condition);
  if (!b) return BreakpointAdd::kBadCondition;
  b->address = *a;
  b->inactive = active ? 0 : 1;
  out = std::move(*b);
  return BreakpointAdd::kAdded;
}

}  // namespace

BreakpointAdd AddBreakpoint(MachineState& m, std::string_view address, std::string_view condition,
                            bool active, uint32_t ramTop) {
  if (m.debug.breakpoints.size() >= kMaxBreakpoints) return BreakpointAdd::kTableFull;
  Breakpoint b;
  const BreakpointAdd r = MakeEntry(m.debug.labels, address, condition, active, ramTop, b);
  if (r != BreakpointAdd::kAdded) return r;
  m.debug.breakpoints.push_back(std::move(b));
  UpdateDebugHooks(m);
  return r;
}

BreakpointAdd UpdateBreakpoint(MachineState& m, size_t index, std::string_view address,
                               std::string_view condition, bool active, uint32_t ramTop) {
  if (index >= m.debug.breakpoints.size()) return BreakpointAdd::kBadAddress;
  Breakpoint b;
  const BreakpointAdd r = MakeEntry(m.debug.labels, address, condition, active, ramTop, b);
  if (r != BreakpointAdd::kAdded) return r;
  m.debug.breakpoints[index] = std::move(b);
  UpdateDebugHooks(m);
  return r;
}

void DeleteBreakpoint(MachineState& m, size_t index) {
  auto& list = m.debug.breakpoints;
  if (index < list.size()) list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
  UpdateDebugHooks(m);
}

void UpdateDebugHooks(MachineState& m) {
  DebuggerState& d = m.debug;
  for (uint16_t a : d.trapAddresses) m.FetchTraps.Remove(a, BreakpointTrap, &m);
  d.trapAddresses.clear();
  for (const Breakpoint& b : d.breakpoints) {
    if (b.inactive || b.address > 0xFFFF) continue;
    const auto a = static_cast<uint16_t>(b.address);
    if (std::find(d.trapAddresses.begin(), d.trapAddresses.end(), a) != d.trapAddresses.end()) {
      continue;
    }
    d.trapAddresses.push_back(a);
    m.FetchTraps.Add(a, BreakpointTrap, &m);
  }
  m.DebugHooksActive = (d.LogContinuous || d.LogOneFrame || d.armedOpcodes || d.targetTState >= 0 ||
                        d.portRead >= 0 || d.portWrite >= 0 || !d.trapAddresses.empty() ||
                        d.stop != DebugStop::kNone)
                           ? 1
                           : 0;
}

void DisarmRunUntilEvents(MachineState& m) {
  m.debug.armedOpcodes = 0;
  m.debug.targetTState = -1;
  m.debug.targetAfterFrameEnd = 0;
  m.debug.portRead = m.debug.portWrite = -1;
  UpdateDebugHooks(m);
}

void ResumeFromStop(MachineState& m) {
  m.debug.stop = DebugStop::kNone;
  m.debug.stopBreakpoint = -1;
  m.debug.resumePending = 1;
  m.debug.resumeAt = m.cpu.PC;
  UpdateDebugHooks(m);
}

uint16_t PcLogAddress(const MachineState& m) {
  const CpuState& c = m.cpu;
  // A halted CPU has PC past its HALT already; what it runs meanwhile is the HALT.
  return c.Halted && c.HaltNoAdvance ? static_cast<uint16_t>(c.PC - 1) : c.PC;
}

std::string PcLogLine(const MachineState& m) {
  const CpuState& c = m.cpu;
  const uint16_t pc = PcLogAddress(m);
  DisassemblyOptions options;  // always hexadecimal; labels as the debugger's views show them
  options.romLabels = m.settings.DisRom != 0;
  options.sysvarLabels = m.settings.DisSave != 0;
  const DisassembledLine line = DisassembleAt(PeekMachine, &m, pc, options);
  char buf[128];
  std::snprintf(buf, sizeof buf,
                "PC = %04X  AF = %04X  BC = %04X  DE = %04X  HL = %04X  tstate = %05u  ", pc,
                c.AF.w, c.BC.w, c.DE.w, c.HL.w, m.FrameTState);
  return buf + line.text + "\n";
}

bool StartPcLog(MachineState& m, const std::string& path, bool oneFrame) {
  DebuggerState& d = m.debug;
  LogFile f(new ReplacingFile);
  if (f->Open(path) != WriteFailure::None) return false;
  d.logFile = std::move(f);
  d.logPath = path;
  d.LogContinuous = oneFrame ? 0 : 1;
  d.LogOneFrame = oneFrame ? 1 : 0;
  d.logLimitMb = 10;
  d.previousPair = -1;
  // The instruction about to run is the log's first line; each step then adds the next one.
  d.logFile->Write(PcLogLine(m));
  UpdateDebugHooks(m);
  return true;
}

WriteFailure StopPcLog(MachineState& m) {
  DebuggerState& d = m.debug;
  const WriteFailure failure = d.logFile ? d.logFile->Commit() : WriteFailure::None;
  d.logFile.reset();
  d.LogContinuous = 0;
  d.LogOneFrame = 0;
  UpdateDebugHooks(m);
  return failure;
}

bool DebugAfterInstruction(MachineState& m) {
  DebuggerState& d = m.debug;
  if (d.stop != DebugStop::kNone) return false;
  d.resumePending = 0;  // the step is made: a breakpoint at its address counts again
  const CpuState& c = m.cpu;
  d.savedEiDelay = c.EiDelay;
  d.savedPrefixPending = c.PrefixPending;
  d.savedQ = c.Q;
  if (m.TapePlaying || c.PrefixPending) return true;

  if (d.logFile) {
    const uint16_t pc = PcLogAddress(m);
    const uint8_t first = m.Peek(pc);
    const int pair = first << 8 | m.Peek(static_cast<uint16_t>(pc + 1));
    // A block move repeating, a HALT, or a DJNZ looping onto itself is logged once.
    const bool repeat = pair == d.previousPair &&
                        (pair == 0xEDB0 || pair == 0xEDB8 || first == 0x76 || first == 0x10);
    if (!repeat) d.logFile->Write(PcLogLine(m));
    d.previousPair = pair;
  }

  if (d.armedOpcodes) {
    const uint8_t op = m.Peek(c.PC);
    const uint8_t next = m.Peek(static_cast<uint16_t>(c.PC + 1));
    uint8_t hit = 0;
    if (op == 0xF3) hit = kUntilDI;
    if (op == 0xFB) hit = kUntilEI;
    if (op == 0x76) hit = kUntilHALT;
    if (op == 0xED && next == 0x56) hit = kUntilIM1;
    if (op == 0xED && next == 0x5E) hit = kUntilIM2;
    if (op == 0xED && next == 0x5F) hit = kUntilLdAR;
    if (op == 0xED && next == 0x4F) hit = kUntilLdRA;
    if (hit & d.armedOpcodes) {
      d.armedOpcodes &= static_cast<uint8_t>(~hit);
      d.stop = DebugStop::kOpcode;
    }
  }
  if (d.stop == DebugStop::kNone && d.targetTState >= 0 && !d.targetAfterFrameEnd &&
      m.FrameTState >= d.targetTState) {
    d.targetTState = -1;
    d.stop = DebugStop::kTState;
  }
  if (d.stop == DebugStop::kNone && (d.portRead >= 0 || d.portWrite >= 0)) {
    if (const auto access = PortOfNextInstruction(m)) {
      if (PortMatches(access->write ? d.portWrite : d.portRead, access->port)) {
        (access->write ? d.portWrite : d.portRead) = -1;
        d.stop = access->write ? DebugStop::kPortWrite : DebugStop::kPortRead;
      }
    }
  }
  return d.stop == DebugStop::kNone;
}

}  // namespace orvo
