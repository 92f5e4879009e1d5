#include "tape/tape_boot.h"

#include "machine/machine_state.h"

namespace orvo {

bool AtTapeLoaderEntry(const MachineState& m) {
  // The routine begins at 0x0556 in every 48K BASIC; the CP A and RET NZ the tape hooks watch
  // are at 0x056A and 0x056B.
  return m.cpu.PC == 0x0556 && m.Peek(0x056A) == 0xBF && m.Peek(0x056B) == 0xC0;
}

}  // namespace orvo
