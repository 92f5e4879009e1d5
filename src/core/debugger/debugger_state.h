#pragma once
// The debugger's record in the machine: the breakpoint table, the PC log, the armed run-until
// events and why the machine stopped. The hooks that read it are in debugger/debug_hooks.h.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "debugger/user_labels.h"
#include "formats/file_io.h"

namespace orvo {

constexpr size_t kMaxBreakpoints = 256;

// The registers a condition can name, in this order: A B C D E F H L I R AF BC DE HL IX IY IR SP.
constexpr int kConditionRegisterCount = 18;

enum class Comparison : uint8_t { kNone = 0, kEqual = 1, kLess = 2, kGreater = 3 };

struct Breakpoint {
  uint32_t address = 0;
  std::string condition;  // as typed
  uint8_t inactive = 0;
  uint32_t reg = 0;  // index into the register list above
  Comparison comparison = Comparison::kNone;
  uint32_t value = 0;
  // Kept apart from the value, so "A=0" is a real condition.
  bool hasCondition() const { return comparison != Comparison::kNone; }
};

// Why the machine stopped for the debugger.
enum class DebugStop : uint8_t {
  kNone,
  kBreakpoint,
  kOpcode,     // one of the armed opcodes is next
  kTState,     // the target T-state was reached
  kPortRead,   // the next instruction reads the armed port
  kPortWrite,  // the next instruction writes the armed port
};

// Opcode events of "Run Until": one bit each.
enum RunUntilOpcode : uint8_t {
  kUntilDI = 1,
  kUntilEI = 2,
  kUntilHALT = 4,
  kUntilIM1 = 8,
  kUntilIM2 = 16,
  kUntilLdAR = 32,
  kUntilLdRA = 64,
};

struct DebuggerState {
  std::vector<Breakpoint> breakpoints;
  std::vector<uint16_t> trapAddresses;  // where the breakpoint fetch traps are registered

  // PC log.
  uint8_t LogContinuous = 0;
  uint8_t LogOneFrame = 0;
  LogFile logFile;  // put in place when the log stops
  std::string logPath;
  uint32_t logLimitMb = 10;
  int32_t previousPair = -1;

  // Run-until events.
  uint8_t armedOpcodes = 0;
  int64_t targetTState = -1;
  uint8_t targetAfterFrameEnd = 0;  // the target is reached only once the frame has ended
  int32_t portRead = -1;            // 0..255: the port's low byte; above: the whole 16-bit port
  int32_t portWrite = -1;

  // The breakpoint list was last opened from the register window: a breakpoint's stop then opens
  // the register window instead of the debugger window.
  uint8_t registerWindowMode = 0;

  // The assembled program's labels, for the disassembly and breakpoints given by name.
  UserLabels labels;

  // The stop: set by a hook, cleared by whoever resumes.
  DebugStop stop = DebugStop::kNone;
  int stopBreakpoint = -1;  // the entry that was hit
  // The instruction at resumeAt runs once without its breakpoint (resuming from a stop on it).
  uint8_t resumePending = 0;
  uint16_t resumeAt = 0;
  // CPU state after the last step, given back when a breakpoint stops the next one before it
  // starts (the core has cleared them by the time the fetch traps run).
  uint8_t savedEiDelay = 0, savedPrefixPending = 0, savedQ = 0;
};

}  // namespace orvo
