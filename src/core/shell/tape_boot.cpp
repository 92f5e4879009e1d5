// Booting a machine to its tape loader: as a user would after switching on, wait for the ROM to
// ask for a key, then pick the loader from the 128K family's menu (its first entry) or type
// LOAD "" on the 48K (J gives LOAD in keyword mode, SYMBOL SHIFT + P the quotes).
#include "shell/tape_boot.h"

#include <string>
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

constexpr uint8_t kLoadToken = 0xEF;

SpectrumKey Key(char c) {
  SpectrumKey k{};
  SpectrumKeyFor(c, k);
  return k;
}

}  // namespace

bool BootToTapeLoader(Emulator& emu, uint32_t frameLimit) {
  MachineState& m = emu.m;
  ReleaseAllKeys(m);
  uint32_t used = 0;
  // The ROM is ready once it sits in its wait-for-a-key loop (a ROM whose loop is elsewhere is
  // given the few seconds any of them needs to start).
  constexpr uint32_t kStartFrames = 300;
  bool ready = false;
  while (!ready && used < kStartFrames && used < frameLimit) {
    ready = RunFrameUntil(emu, [&] { return m.cpu.PC == m.KeyWaitAddress; });
    ++used;
  }
  RunFrames(emu, 10, used);

  bool entered = false;
  if (Is128KFamily(m.MachineModel)) {
    entered = PressKeys(emu, {kKeyEnter}, used);  // the menu opens on its loader entry
  } else {
    entered = PressKeys(emu, {Key('J')}, used);
    // A BASIC without keyword entry shows the letter instead of the LOAD token at the start of
    // the edit line (E_LINE): rub it out and spell the keyword.
    const uint16_t eLine = static_cast<uint16_t>(m.Peek(23641) | (m.Peek(23642) << 8));
    if (!entered && m.Peek(eLine) != kLoadToken) {
      entered = PressKeys(emu, {kKeyCapsShift, Key('0')}, used);
      for (char c : std::string("LOAD")) entered = entered || PressKeys(emu, {Key(c)}, used);
    }
    entered = entered || PressKeys(emu, {kKeySymbolShift, Key('P')}, used) ||
              PressKeys(emu, {kKeySymbolShift, Key('P')}, used) ||
              PressKeys(emu, {kKeyEnter}, used);
  }
  while (!entered && used < frameLimit) {
    entered = RunFrameUntil(emu, [&] { return AtTapeLoaderEntry(m); });
    ++used;
  }
  ReleaseAllKeys(m);
  return entered;
}

}  // namespace orvo
