#pragma once
// What the snapshot fuzzers share: an emulator whose messages go nowhere and whose ROM folder is
// empty (the loaders do not need ROM contents, and reading none keeps each run short), and the
// comparison of two machines after a save and a reload.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "shell/emulator.h"
#include "snapshot/snapshot_apply.h"

namespace orvo::fuzz {

class QuietHost final : public Host {
 public:
  void ShowMessage(CaptionId, MessageId, std::string_view) override {}
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
  Clock& GetClock() override { return clock_; }

 private:
  SystemClock clock_;
};

inline std::unique_ptr<Emulator> MakeEmulator(Host& host) {
  auto emu = std::make_unique<Emulator>(host);
  emu->folders.CurrentRomDir = "/nonexistent-orvo-fuzz-roms/";
  return emu;
}

// Stops the run (a finding) unless both machines hold the same state, leaving out the two bytes
// at `skip` and `skip + 1` (where a 48K SNA keeps PC).
inline void RequireSameMachine(const MachineState& a, const MachineState& b, int32_t skip = -1) {
  const CpuState& x = a.cpu;
  const CpuState& y = b.cpu;
  const bool same =
      a.MachineModel == b.MachineModel && x.AF.w == y.AF.w && x.BC.w == y.BC.w &&
      x.DE.w == y.DE.w && x.HL.w == y.HL.w && x.AF_.w == y.AF_.w && x.BC_.w == y.BC_.w &&
      x.DE_.w == y.DE_.w && x.HL_.w == y.HL_.w && x.IX.w == y.IX.w && x.IY.w == y.IY.w &&
      x.SP == y.SP && x.PC == y.PC && x.IR.b.h == y.IR.b.h && VisibleR(x) == VisibleR(y) &&
      x.IFF1 == y.IFF1 && x.IM == y.IM && a.ports.BorderColour == b.ports.BorderColour &&
      a.Last7FFD == b.Last7FFD && a.ScreenBank == b.ScreenBank && a.RomNumber == b.RomNumber;
  if (!same) std::abort();
  for (uint32_t addr = 0x4000; addr < 0x10000; ++addr) {
    if (skip >= 0 &&
        (addr == static_cast<uint32_t>(skip) || addr == static_cast<uint32_t>(skip + 1)))
      continue;
    if (a.Peek(static_cast<uint16_t>(addr)) != b.Peek(static_cast<uint16_t>(addr))) std::abort();
  }
  if (Is128KFamily(a.MachineModel) && a.RamBlock != b.RamBlock) std::abort();
}

}  // namespace orvo::fuzz
