// The assembler on arbitrary text: no crash, no hang, and a result that holds together (every
// error counted and placed, no byte past the end of memory). The input itself is what an
// INCLUDE "inc.asm" or an INCBIN "data.bin" reads, so includes of itself and loops are reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "assembler/assembler.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const AsmResult r = Assemble("main.asm", text, [&](const std::string& path) {
    return path == "inc.asm" || path == "data.bin" ? std::optional<std::string>(text)
                                                   : std::nullopt;
  });
  int errors = 0, warnings = 0;
  for (const AsmDiagnostic& d : r.diagnostics) {
    (d.warning ? warnings : errors)++;
    if (d.line < 1 || d.column < 1 || d.message.empty()) std::abort();
  }
  if (errors != r.errors || warnings != r.warnings) std::abort();
  for (const AsmBlock& b : r.blocks)
    if (b.address + b.bytes.size() > 0x10000) std::abort();
  (void)r.Image();
  return 0;
}
