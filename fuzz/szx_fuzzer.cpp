// ParseSZX on arbitrary bytes: no crash and no read outside the file. A record it accepts is put
// into a machine the way a loaded file is (its device blocks checked first); that machine saved
// as SZX, read and loaded again is the same machine.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/szx_format.h"
#include "fuzz_machine.h"
#include "shell/snapshot_load.h"
#include "shell/snapshot_save.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> loaded = fuzz::MakeEmulator(host);
  static std::unique_ptr<Emulator> reloaded = fuzz::MakeEmulator(host);
  if (LoadSZX(*loaded, std::span<const uint8_t>(data, size)) != 0) return 0;
  const std::vector<uint8_t> saved = BuildSZX(*loaded);
  if (LoadSZX(*reloaded, saved) != 0) std::abort();
  fuzz::RequireSameMachine(loaded->m, reloaded->m);
  return 0;
}
