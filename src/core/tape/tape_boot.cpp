// Booting a machine to its tape loader: as a user would after switching on, wait for the ROM to
// ask for a key, then pick the loader from the 128K family's menu (its first entry) or type
// LOAD "" on the 48K (J gives LOAD in keyword mode, SYMBOL SHIFT + P the quotes).
#include "tape/tape_boot.h"

#include <vector>

#include "machine/keyboard.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"

namespace orvo {

namespace {

// Runs the rest of the current frame, instruction by instruction, stopping early when `stop`
// holds after an instruction. Returns whether it stopped early.
template <typename Stop>
bool RunFrameUntil(Emulator& emu, Stop stop) {
  MachineState& m = emu.m;
  while (m.FrameTState < m.FrameLength) {
    StepInstruction(emu);
    if (stop()) return true;
  }
  RunFrame(emu);  // the frame's T-states are used up: this is only its end
  return false;
}

// Runs `n` frames; true as soon as the CPU enters the tape loader.
bool RunFrames(Emulator& emu, uint32_t n, uint32_t& used) {
  for (uint32_t k = 0; k < n; ++k, ++used) {
    if (RunFrameUntil(emu, [&] { return AtTapeLoaderEntry(emu.m); })) return true;
  }
  return false;
}

// Holds a key combination long enough for the ROM's keyboard scan to take it, then lets go.
// True as soon as the CPU enters the tape loader.
bool PressKeys(Emulator& emu, const std::vector<SpectrumKey>& keys, uint32_t& used) {
  for (SpectrumKey k : keys) PressSpectrumKey(emu.m, k);
  const bool entered = RunFrames(emu, 6, used);
  for (SpectrumKey k : keys) ReleaseSpectrumKey(emu.m, k);
  return entered || RunFrames(emu, 6, used);
}

}  // namespace

bool AtTapeLoaderEntry(const MachineState& m) {
  return m.cpu.PC == 0x0556 && m.Peek(0x0556) == 0x14 && m.Peek(0x0557) == 0x08 &&
         m.Peek(0x0558) == 0x15 && m.Peek(0x0559) == 0xF3;
}

bool BootToTapeLoader(Emulator& emu, uint32_t frameLimit) {
  MachineState& m = emu.m;
  ReleaseAllKeys(m);
  uint32_t used = 0;
  // The ROM is ready once it sits in its wait-for-a-key loop.
  bool ready = false;
  while (!ready && used < frameLimit) {
    ready = RunFrameUntil(emu, [&] { return m.cpu.PC == m.KeyWaitAddress; });
    ++used;
  }
  if (!ready) return false;
  RunFrames(emu, 10, used);

  bool entered = false;
  if (Is128KFamily(m.MachineModel)) {
    entered = PressKeys(emu, {kKeyEnter}, used);  // the menu opens on its loader entry
  } else {
    SpectrumKey j{}, p{};
    SpectrumKeyFor('J', j);
    SpectrumKeyFor('P', p);
    entered = PressKeys(emu, {j}, used) || PressKeys(emu, {kKeySymbolShift, p}, used) ||
              PressKeys(emu, {kKeySymbolShift, p}, used) || PressKeys(emu, {kKeyEnter}, used);
  }
  while (!entered && used < frameLimit) {
    entered = RunFrameUntil(emu, [&] { return AtTapeLoaderEntry(m); });
    ++used;
  }
  ReleaseAllKeys(m);
  return entered;
}

}  // namespace orvo
