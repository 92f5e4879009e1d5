// The ZX Printer, at low byte 0xFB (read and write on the 48K and 128K groups, write also on the
// +2A and +3). While it is on, the 48K group's floating bus is not seen. Not emulated yet: it
// decodes nothing.
#include "devices/standard_devices.h"

namespace orvo {

const Device kPrinterDevice = {.name = "ZX Printer"};

}  // namespace orvo
