// The add-on devices' snapshot blocks on arbitrary bytes: the first byte picks the device
// (Multiface, Interface II, µSpeech, the Beta 128 and its controller's own block), the rest is the
// block body. A body the check accepts is loaded into a machine with the device fitted; saved
// again, the machine's block must be accepted and load to the same block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "devices/beta128.h"
#include "devices/multiface.h"
#include "devices/standard_devices.h"
#include "machine/machine_state.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const Device* const kDevices[] = {&kMultifaceDevice, &kInterface2Device, &kUSpeechDevice,
                                           &kBeta128Device, &kBetaDrivesDevice};
  const Device& device = *kDevices[data[0] % 5];
  const std::span<const uint8_t> block(data + 1, size - 1);
  if (!device.CheckState(block)) return 0;

  static MachineState* const m = [] {
    auto* machine = new MachineState;
    machine->settings.USpeech = 1;
    machine->CurrahRom.assign(2048, 0xFF);
    machine->settings.Beta128 = 1;
    machine->TrdosRom.assign(kTrdosRomSize, 0xC9);
    const std::vector<uint8_t> rom(8192, 0xC9);
    SetMultifaceRom(*machine, rom, false);
    UpdateDevices(*machine);
    return machine;
  }();
  if (!device.LoadState(*m, block)) std::abort();
  std::vector<uint8_t> saved;
  device.SaveState(*m, saved);
  if (!device.CheckState(saved)) std::abort();
  if (!device.LoadState(*m, saved)) std::abort();
  std::vector<uint8_t> again;
  device.SaveState(*m, again);
  if (again != saved) std::abort();
  return 0;
}
