// The Fuller Orator speech unit (48K group): a write to low byte 0x9F starts a phoneme, and every
// port read but one of low byte 0xBF tells it the program is not waiting for it. Not emulated
// yet: it decodes nothing.
#include "devices/standard_devices.h"

namespace orvo {

const Device kOratorDevice = {.name = "Fuller Orator"};

}  // namespace orvo
