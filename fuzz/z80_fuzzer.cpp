// LoadZ80 on arbitrary bytes: no crash, no read or write outside the file and the machine, and a
// file it accepts saves (version 3 with the 0x1FFD byte) and reloads to the same machine.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_machine.h"
#include "snapshot/z80_format.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> loaded = fuzz::MakeEmulator(host);
  static std::unique_ptr<Emulator> reloaded = fuzz::MakeEmulator(host);
  if (LoadZ80(*loaded, std::span<const uint8_t>(data, size)) != 0) return 0;
  const std::vector<uint8_t> saved = BuildZ80(loaded->m, 3, true);
  if (LoadZ80(*reloaded, saved) != 0) std::abort();
  fuzz::RequireSameMachine(loaded->m, reloaded->m);
  return 0;
}
