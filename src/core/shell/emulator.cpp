#include "shell/emulator.h"

namespace orvo {

Emulator::Emulator(Host& host_)
    : machine_(std::make_unique<MachineState>()), host(host_), m(*machine_) {
  m.emulator = this;
  m.tape.HostNanoseconds = [](void* emu) {
    return static_cast<Emulator*>(emu)->host.GetClock().NowNanoseconds();
  };
  m.tape.HostClockContext = this;
}

Emulator::~Emulator() = default;

}  // namespace orvo
