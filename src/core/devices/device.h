#pragma once
// The device seam. Everything plugged into the Spectrum's edge connector (and the machine's own
// ULA, paging and sound chip) is described by a Device record: the ports it decodes, what it does
// on reset, NMI and at the end of a frame, and its block of snapshot state. A device that changes
// the memory map does it through the overlay layers of machine/memory.h.
//
// The machine keeps a list of registered devices. Whenever the model or the settings change,
// UpdateDevices asks each fitted device for its port rows, for the current model group and
// settings, and resolves them into the tables machine/ports.cpp walks: the per-access code never
// asks which model or which add-on it is running. Conditions that change while the machine runs
// (a joystick switched on from the menu, the mouse captured, the 48K's AY switched on by a program)
// stay in the handlers.
#include <cstdint>
#include <span>
#include <vector>

namespace orvo {

struct MachineState;

// The three port decoding families of the models: the 16K, 48K and Custom; the 128K and +2; the
// +2A and +3.
enum class ModelGroup : uint8_t { k48, k128, kPlus3 };
ModelGroup GroupOf(uint8_t model);

// A read handler gets the byte the bus holds so far and returns the byte after the device has
// answered: the same byte when it stays silent.
using PortReadFn = uint8_t (*)(MachineState& m, uint16_t port, uint8_t value);
using PortWriteFn = void (*)(MachineState& m, uint16_t port, uint8_t value);

// One decoding row: the device answers a port p when (p & mask) == value. The mask says at which
// step of a port access the row is decoded:
//   0xFFFF  all sixteen lines (ULAplus): a read answers alone, and a write is seen after the
//           cycle's first T-state, where the ULA sees a border write;
//   0x0001  A0 low (the ULA);
//   0x00FF  the low byte exactly (the add-on interfaces), in the order the rows were added;
//   other   address lines (0xC002, 0xF002 ...), after the low-byte rows, on the port as they
//           leave it (see readAs and writeAs).
// A low-byte row may make the address-line decoders see another port: the Fuller Box's 0x3F and
// 0x5F reach the 128K's own sound chip as 0xFFFD and 0xBFFD.
struct PortRow {
  uint16_t mask = 0x00FF;
  uint16_t value = 0;
  PortReadFn read = nullptr;
  PortWriteFn write = nullptr;
  int32_t readAs = -1;  // a port number, or -1
  int32_t writeAs = -1;
};

// Collects the rows of the fitted devices while the decoder is rebuilt.
class PortRowList {
 public:
  void Add(const PortRow& row) { rows_.push_back(row); }
  const std::vector<PortRow>& Rows() const { return rows_; }
  // The device drives the data bus on reads nothing else answers (the 48K group's SpecDrum), so
  // the ULA's floating bus is not seen there.
  void HoldFloatingBus() { floatingBusHeld_ = true; }
  bool FloatingBusHeld() const { return floatingBusHeld_; }

 private:
  std::vector<PortRow> rows_;
  bool floatingBusHeld_ = false;
};

struct Device {
  const char* name = "";
  // Whether the device is present on this model with these settings (null: always).
  bool (*Fitted)(const MachineState& m) = nullptr;
  // Adds the device's rows for the current model group and settings.
  void (*Ports)(PortRowList& rows, const MachineState& m) = nullptr;
  // The model or the settings changed: map or unmap the device's memory to match.
  void (*Configure)(MachineState& m) = nullptr;
  // The memory map was rebuilt and RAM cleared: map the memory that starts afresh with it.
  void (*MemoryReset)(MachineState& m) = nullptr;
  // The machine was reset; called whether the device is fitted or not, so that nothing it had
  // paged in survives.
  void (*Reset)(MachineState& m, bool hard) = nullptr;
  // The NMI line was pulled; returns true when the device took the NMI (paged itself in).
  bool (*Nmi)(MachineState& m) = nullptr;
  void (*FrameEnd)(MachineState& m) = nullptr;
  // The device's own state as a block of bytes, for snapshots: the body of the block-structured
  // snapshot format's block named `stateId` (four characters, e.g. "PLTT"), in that block's layout,
  // so the same bytes serve every format that carries device blocks. LoadState returns false for
  // a body it cannot take (too short, a bad version); the caller checks every block before it
  // changes the machine, so LoadState is only called with bodies CheckState accepted.
  const char* stateId = nullptr;
  void (*SaveState)(const MachineState& m, std::vector<uint8_t>& out) = nullptr;
  bool (*CheckState)(std::span<const uint8_t> block) = nullptr;
  bool (*LoadState)(MachineState& m, std::span<const uint8_t> block) = nullptr;
};

// Appends a device to the machine's list; the order of registration is the decoding order of
// rows on the same port. Takes effect at the next RebuildPortDecoder.
void RegisterDevice(MachineState& m, const Device& device);
void UnregisterDevice(MachineState& m, const Device& device);
// The machine's own hardware and the built-in add-ons, in decoding order.
void RegisterStandardDevices(MachineState& m);
bool DeviceFitted(const MachineState& m, const Device& device);

// Rebuilds the port decoder from the fitted devices and lets every device configure its memory.
// Called by SetUpMachine and whenever the settings change.
void UpdateDevices(MachineState& m);
// The port decoder alone.
void RebuildPortDecoder(MachineState& m);

// The other calls, to every fitted device in registration order.
void ResetDevices(MachineState& m, bool hard);
bool NmiDevices(MachineState& m);
void FrameEndDevices(MachineState& m);

}  // namespace orvo
