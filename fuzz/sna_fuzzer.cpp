// ParseSNA on arbitrary bytes: no crash and no read outside the file. A record it accepts is put
// into a machine; that machine saved, read and applied again is the same machine.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/sna_format.h"
#include "fuzz_machine.h"
#include "shell/snapshot_load.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> loaded = fuzz::MakeEmulator(host);
  static std::unique_ptr<Emulator> reloaded = fuzz::MakeEmulator(host);
  SnapshotRecord record;
  if (!ParseSNA(std::span<const uint8_t>(data, size), record).Ok()) return 0;
  LoadSnapshotRecord(*loaded, record);
  const SnapshotRecord captured = CaptureSnapshot(loaded->m);
  // Saving refuses a 48K machine whose stack is in ROM: PC cannot be stored there.
  if (!SnaCanHoldPc(captured)) return 0;
  SnapshotRecord again;
  if (!ParseSNA(WriteSNA(captured), again).Ok()) std::abort();
  LoadSnapshotRecord(*reloaded, again);
  // The 48K form carries PC in the two bytes under SP.
  const int32_t stack =
      Is128KFamily(loaded->m.MachineModel) ? -1 : static_cast<uint16_t>(loaded->m.cpu.SP - 2);
  fuzz::RequireSameMachine(loaded->m, reloaded->m, stack);
  return 0;
}
