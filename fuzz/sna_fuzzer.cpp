// LoadSNA on arbitrary bytes: no crash, no read or write outside the file and the machine, and a
// file it accepts saves and reloads to the same machine.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_machine.h"
#include "snapshot/sna_format.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> loaded = fuzz::MakeEmulator(host);
  static std::unique_ptr<Emulator> reloaded = fuzz::MakeEmulator(host);
  if (LoadSNA(*loaded, std::span<const uint8_t>(data, size)) != 0) return 0;
  // Saving refuses a 48K machine whose stack is in ROM: PC cannot be stored there.
  if (!SnaCanHoldPc(loaded->m)) return 0;
  const std::vector<uint8_t> saved = BuildSNA(loaded->m);
  if (LoadSNA(*reloaded, saved) != 0) std::abort();
  // The 48K form carries PC in the two bytes under SP.
  const int32_t stack =
      Is128KFamily(loaded->m.MachineModel) ? -1 : static_cast<uint16_t>(loaded->m.cpu.SP - 2);
  fuzz::RequireSameMachine(loaded->m, reloaded->m, stack);
  return 0;
}
