#include "app/assembler_run_options.h"

#include <cstdio>

#include "assembler/assembler.h"
#include "machine/machine_state.h"
#include "shell/assembler_output.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/snapshot_save.h"
#include "tools/parse_number.h"

namespace orvo {

const char kAssemblerRunHelp[] =
    "Assembler:\n"
    "  --assemble FILE    assemble a Z80 source into memory after loading; errors and warnings\n"
    "                     go to standard error as FILE:LINE:COLUMN and fail the run\n"
    "  --asm-out FILE     also write the code: .tap (with a BASIC loader), .z80/.szx/.sna (the\n"
    "                     booted machine starting the code), anything else the bytes alone\n"
    "  --run LABEL        boot to BASIC, load the code and start it at LABEL\n"
    "  --asm-bank N       put the code at #C000-#FFFF into 128K bank N (0-7)\n"
    "  --asm-listing FILE write the listing and the symbol table\n";

int ParseAssemblerRunOption(const std::vector<std::string>& args, size_t& i,
                            AssemblerRunOptions& options, std::string* error) {
  const std::string& a = args[i];
  if (a != "--assemble" && a != "--asm-out" && a != "--run" && a != "--asm-bank" &&
      a != "--asm-listing")
    return 0;
  if (i + 1 >= args.size()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& value = args[++i];
  if (a == "--assemble") {
    options.source = value;
  } else if (a == "--asm-out") {
    options.outPath = value;
  } else if (a == "--run") {
    options.runLabel = value;
  } else if (a == "--asm-listing") {
    options.listingPath = value;
  } else {
    const uint32_t bank = ParseNumber(value);
    if (bank > 7) {
      *error = "--asm-bank needs a bank 0-7 (got '" + value + "')";
      return -1;
    }
    options.bank = static_cast<int>(bank);
  }
  return 1;
}

bool ApplyAssemblerAtStart(Emulator& emu, const AssemblerRunOptions& options) {
  if (options.source.empty()) {
    if (!options.outPath.empty() || !options.runLabel.empty() || !options.listingPath.empty()) {
      std::fprintf(stderr, "orvo-run: --asm-out, --run and --asm-listing need --assemble FILE\n");
      return false;
    }
    return true;
  }
  const AsmResult result = AssembleFile(options.source);
  std::fputs(FormatDiagnostics(result).c_str(), stderr);
  if (!options.listingPath.empty()) {
    const std::string text = result.listing + "\nSymbols:\n" + result.SymbolTable();
    if (!WriteFileReplacing(
            options.listingPath,
            std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()))) {
      std::fprintf(stderr, "orvo-run: %s: cannot be written\n", options.listingPath.c_str());
      return false;
    }
  }
  if (!result.ok()) {
    std::fprintf(stderr, "orvo-run: %s: %d error(s), %d warning(s)\n", options.source.c_str(),
                 result.errors, result.warnings);
    return false;
  }
  uint16_t first = 0, last = 0;
  const bool any = result.Range(first, last);
  std::printf("Assembled: %s (%zu bytes, #%04X-#%04X, %d warning(s))\n", options.source.c_str(),
              any ? result.Image().size() : 0, first, last, result.warnings);

  std::string error;
  const auto entry = AssemblyEntry(result, options.runLabel, &error);
  if (!entry && !options.runLabel.empty()) {
    std::fprintf(stderr, "orvo-run: --run: %s\n", error.c_str());
    return false;
  }
  const bool snapshot = IsSnapshotKind(MatchExtension(options.outPath));
  // Code that is started, or saved in a snapshot, finds the ROM's system ready.
  if ((snapshot || !options.runLabel.empty()) && !BootToKeyWait(emu)) {
    std::fprintf(stderr, "orvo-run: the ROM did not reach its keyboard wait\n");
    return false;
  }
  const uint8_t bank = options.bank < 0 ? kAsmPagedMemory : static_cast<uint8_t>(options.bank);
  LoadAssembly(emu.m, result, bank);
  SetAssemblyLabels(emu.m, result);
  if (!options.outPath.empty()) {
    if (!entry) {
      std::fprintf(stderr, "orvo-run: --asm-out: %s\n", error.c_str());
      return false;
    }
    if (!SaveAssemblyOutput(emu, result, options.outPath, *entry, &error)) {
      std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
      return false;
    }
    std::printf("Written: %s\n", options.outPath.c_str());
  }
  if (!options.runLabel.empty()) {
    emu.m.cpu.PC = *entry;
    emu.m.cpu.Halted = 0;
    std::printf("Run: %s (#%04X)\n", options.runLabel.c_str(), *entry);
  }
  return true;
}

}  // namespace orvo
