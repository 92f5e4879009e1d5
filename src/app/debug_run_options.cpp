#include "app/debug_run_options.h"

#include <cctype>
#include <cstdio>
#include <optional>

#include "debugger/disassembler.h"
#include "shell/debugger_commands.h"
#include "shell/emulator.h"

namespace orvo {

const char kDebugRunHelp[] =
    "Debugger:\n"
    "  --break ADDR[:COND] stop the run when the instruction at ADDR (hex, or a label of the\n"
    "                     --assemble program that is not a hex number) is next and COND\n"
    "                     holds (REG=V, REG<V, REG>V; V decimal or #hex), print the state as\n"
    "                     JSON and exit 0; exit 3 if no breakpoint was hit; repeatable\n"
    "  --pc-log FILE      log every instruction of the run to FILE\n"
    "  --disassemble FROM-TO  at the end print the listing of FROM-TO (hex), with labels\n";

namespace {

std::optional<uint16_t> ParseHexAddress(std::string text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
  if (text.empty() || text.size() > 4) return std::nullopt;
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 16);
  if (*end != '\0') return std::nullopt;
  return static_cast<uint16_t>(v);
}

}  // namespace

int ParseDebugRunOption(const std::vector<std::string>& args, size_t& i, DebugRunOptions& options,
                        std::string* error) {
  const std::string& a = args[i];
  if (a != "--break" && a != "--pc-log" && a != "--disassemble") return 0;
  if (i + 1 >= args.size()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& value = args[++i];
  if (a == "--pc-log") {
    options.pcLogPath = value;
  } else if (a == "--break") {
    const size_t colon = value.find(':');
    const std::string where = value.substr(0, colon);
    const std::string condition = colon == std::string::npos ? "" : value.substr(colon + 1);
    const auto address = ParseHexAddress(where);
    // Not a number: the name of a label of the program --assemble loads.
    const bool label = !where.empty() && (std::isalpha(static_cast<unsigned char>(where[0])) ||
                                          where[0] == '_' || where[0] == '.');
    if (!address && !label) {
      *error = "--break needs a hexadecimal address or a label: " + value;
      return -1;
    }
    if (address) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "#%04X", *address);
      options.breaks.push_back({hex, condition});
    } else {
      options.breaks.push_back({where, condition});
    }
  } else {
    const size_t dash = value.find('-');
    const auto from = ParseHexAddress(value.substr(0, dash));
    const auto to =
        dash == std::string::npos ? std::nullopt : ParseHexAddress(value.substr(dash + 1));
    if (!from || !to || *to < *from) {
      *error = "--disassemble needs FROM-TO in hexadecimal, e.g. 0000-3FFF";
      return -1;
    }
    options.disassemble = true;
    options.disassembleFrom = *from;
    options.disassembleTo = *to;
  }
  return 1;
}

bool DebugRun::Start(Emulator& emu) {
  for (const auto& b : options_.breaks) {
    if (!AddBreakpointChecked(emu, b.address, b.condition, true)) return false;
  }
  if (!options_.pcLogPath.empty() && !StartPcLogChecked(emu, options_.pcLogPath, false)) {
    return false;
  }
  return true;
}

bool DebugRun::Hit(const Emulator& emu) const {
  return emu.m.debug.stop == DebugStop::kBreakpoint;
}

void DebugRun::Finish(Emulator& emu) {
  // A log that could not be put in place is a message, and the run fails with it.
  if (!options_.pcLogPath.empty()) StopPcLogChecked(emu);
  if (options_.disassemble) {
    DisassemblyOptions o;
    o.romLabels = true;
    o.sysvarLabels = true;
    o.userLabels = &emu.m.debug.labels;
    std::fputs(
        DisassemblyListing(PeekMachine, &emu.m, options_.disassembleFrom, options_.disassembleTo, o)
            .c_str(),
        stdout);
  }
}

}  // namespace orvo
