#include "shell/emulator.h"

namespace orvo {

Emulator::Emulator(Host& host_)
    : machine_(std::make_unique<MachineState>()), host(host_), m(*machine_) {
  m.emulator = this;
}

Emulator::~Emulator() = default;

}  // namespace orvo
