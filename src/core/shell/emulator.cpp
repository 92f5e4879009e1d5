#include "shell/emulator.h"

#include <cstring>
#include <type_traits>

#include "sound/sound.h"

namespace orvo {

Emulator::Emulator(Host& host_)
    : machine_(std::make_unique<MachineState>()), host(host_), m(*machine_) {
  m.clock = &host.GetClock();
  ApplyMachineSettings();
}

Emulator::~Emulator() = default;

void Emulator::ApplyMachineSettings() {
  // A 48K's AY switched on by the settings starts from where it was left: the ticks due while it
  // was absent are dropped, as when a program switches it on.
  if (AyGated(m)) {
    m.sound.ay.GateClosed = 1;
    m.sound.ay.CatchUp();
  }
  m.settings = settings;
  applied_ = settings;
}

void Emulator::ReadBackMachineSettings() {
  // Every field is a 4-byte number, so the three copies are compared and copied field by field
  // as words.
  static_assert(std::is_trivially_copyable_v<MachineSettings>);
  static_assert(sizeof(MachineSettings) % 4 == 0);
  auto* live = reinterpret_cast<unsigned char*>(static_cast<MachineSettings*>(&settings));
  auto* applied = reinterpret_cast<unsigned char*>(&applied_);
  const auto* machine = reinterpret_cast<const unsigned char*>(&m.settings);
  for (size_t at = 0; at < sizeof(MachineSettings); at += 4) {
    if (std::memcmp(machine + at, applied + at, 4) == 0) continue;
    std::memcpy(live + at, machine + at, 4);
    std::memcpy(applied + at, machine + at, 4);
  }
}

}  // namespace orvo
