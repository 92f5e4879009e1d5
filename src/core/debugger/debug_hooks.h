#pragma once
// The debugger's hooks into the running machine. Breakpoints are fetch traps at their addresses
// (cpu/fetch_traps.h): a hit stops the step before the instruction starts. The PC log and the
// run-until events run in the per-instruction hook, reached behind the one flag
// DebuggerState::DebugHooksActive. With neither, the machine runs exactly as without a debugger.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "debugger/debugger_state.h"

namespace orvo {

struct MachineState;

// ---- breakpoints ----

// Reads a condition "REG=V", "REG<V" or "REG>V" (V as ParseHashHexOrDecimal reads it; the register
// matched exactly, upper case). Empty text: no condition. Nothing: the text is not a condition.
std::optional<Breakpoint> ParseBreakpointCondition(std::string_view text);

// The value of condition register `reg` (8-bit registers zero-extended).
uint32_t ConditionRegisterValue(const MachineState& m, uint32_t reg);
// The entry's condition holds (or it has none).
bool BreakpointConditionHolds(const MachineState& m, const Breakpoint& b);

enum class BreakpointAdd { kAdded, kTableFull, kBadAddress, kBadCondition };
// Appends an entry: the address as typed (at most `ramTop`) or a label of m.debug.labels, the
// condition text, active or not.
BreakpointAdd AddBreakpoint(MachineState& m, std::string_view address, std::string_view condition,
                            bool active, uint32_t ramTop = 0xFFFF);
// Replaces entry `index` the same way (nothing changes on failure).
BreakpointAdd UpdateBreakpoint(MachineState& m, size_t index, std::string_view address,
                               std::string_view condition, bool active, uint32_t ramTop = 0xFFFF);
// Removes entry `index`; later entries move up.
void DeleteBreakpoint(MachineState& m, size_t index);

// ---- the hooks ----

// Registers the fetch traps of the active breakpoints and sets DebugHooksActive from what is on.
// Called after every change to the table, the log flags or the armed events.
void UpdateDebugHooks(MachineState& m);

// The per-instruction hook: PC log line, run-until events. False when the machine is to stop
// (m.debug.stop says why). Does nothing while the tape plays.
bool DebugAfterInstruction(MachineState& m);

// Clears the armed run-until events.
void DisarmRunUntilEvents(MachineState& m);
// Clears the stop; the instruction at PC then runs once without its breakpoint.
void ResumeFromStop(MachineState& m);

// ---- PC log ----

// The address of the instruction the CPU runs next: PC, or the HALT it is halted on.
uint16_t PcLogAddress(const MachineState& m);
// The log line for the instruction at PcLogAddress ("PC = %04X  AF = ...  tstate = %05d  TEXT\n").
std::string PcLogLine(const MachineState& m);
// Starts a log into `path`; false when the file cannot be saved there (a read-only file, a
// folder that cannot be written). The log is written beside the file and replaces it when it
// stops, so a log the disk could not take leaves the old file whole.
bool StartPcLog(MachineState& m, const std::string& path, bool oneFrame);
// Ends the log and puts it in place; how that failed, if it did.
WriteFailure StopPcLog(MachineState& m);

// The machine's memory through the current page map (the disassembler's peek).
uint8_t PeekMachine(const void* machine, uint16_t address);

}  // namespace orvo
