// ParseZ80 on arbitrary bytes: no crash and no read outside the file. A record it accepts is put
// into a machine (applying must be safe with any record the reader gives); that machine saved
// (version 3 with the 0x1FFD byte), read and applied again is the same machine.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/z80_format.h"
#include "fuzz_machine.h"
#include "shell/snapshot_load.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> loaded = fuzz::MakeEmulator(host);
  static std::unique_ptr<Emulator> reloaded = fuzz::MakeEmulator(host);
  SnapshotRecord record;
  if (!ParseZ80(std::span<const uint8_t>(data, size), record).Ok()) return 0;
  LoadSnapshotRecord(*loaded, record);
  const std::vector<uint8_t> saved = WriteZ80(CaptureSnapshot(loaded->m), 3, true);
  SnapshotRecord again;
  if (!ParseZ80(saved, again).Ok()) std::abort();
  LoadSnapshotRecord(*reloaded, again);
  fuzz::RequireSameMachine(loaded->m, reloaded->m);
  return 0;
}
