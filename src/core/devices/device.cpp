// The device list of a machine and the port decoder built from it.
#include "devices/device.h"

#include <algorithm>

#include "machine/machine_state.h"

namespace orvo {

ModelGroup GroupOf(uint8_t model) {
  if (IsPlus2AFamily(model)) return ModelGroup::kPlus3;
  if (Is128KFamily(model)) return ModelGroup::k128;
  return ModelGroup::k48;
}

void RegisterDevice(MachineState& m, const Device& device) {
  if (std::find(m.Devices.begin(), m.Devices.end(), &device) == m.Devices.end())
    m.Devices.push_back(&device);
}

void UnregisterDevice(MachineState& m, const Device& device) {
  std::erase(m.Devices, &device);
}

bool DeviceFitted(const MachineState& m, const Device& device) {
  return !device.Fitted || device.Fitted(m);
}

void RebuildPortDecoder(MachineState& m) {
  PortRowList list;
  for (const Device* device : m.Devices) {
    if (device->Ports && DeviceFitted(m, *device)) device->Ports(list, m);
  }

  PortDecoder d;
  d.group = GroupOf(m.MachineModel);
  // The Pentagon's video reads its memory in cycles of its own: an idle bus reads 0xFF there.
  d.floatingBus = (d.group == ModelGroup::k128 && m.MachineModel != kModelPentagon) ||
                  (d.group == ModelGroup::k48 && !list.FloatingBusHeld());
  // Low-byte rows are gathered per low byte, keeping their order, so that each byte's handlers
  // sit side by side.
  for (int low = 0; low < 256; ++low) {
    PortDecoder::LowByte& entry = d.low[low];
    entry.readFirst = static_cast<uint16_t>(d.lowReads.size());
    entry.writeFirst = static_cast<uint16_t>(d.lowWrites.size());
    for (const PortRow& row : list.Rows()) {
      if (row.mask != 0x00FF || row.value != low) continue;
      if (row.read) d.lowReads.push_back(row.read);
      if (row.write) d.lowWrites.push_back(row.write);
      if (row.readAs >= 0) entry.readAs = row.readAs;
      if (row.writeAs >= 0) entry.writeAs = row.writeAs;
    }
    entry.reads = static_cast<uint8_t>(d.lowReads.size() - entry.readFirst);
    entry.writes = static_cast<uint8_t>(d.lowWrites.size() - entry.writeFirst);
  }
  for (const PortRow& row : list.Rows()) {
    const auto value = static_cast<uint16_t>(row.value & row.mask);
    if (row.mask == 0xFFFF) {
      if (row.read) d.exactReads.push_back({value, row.read});
      if (row.write) d.exactWrites.push_back({value, row.write});
    } else if (row.mask == 0x0001 && value == 0) {
      if (row.read) d.evenReads.push_back(row.read);
      if (row.write) d.evenWrites.push_back(row.write);
    } else if (row.mask != 0x00FF) {
      if (row.read) d.lineReads.push_back({row.mask, value, row.read});
      if (row.write) d.lineWrites.push_back({row.mask, value, row.write});
    }
  }
  m.decoder = std::move(d);
}

void UpdateDevices(MachineState& m) {
  RebuildPortDecoder(m);
  for (const Device* device : m.Devices) {
    if (device->Configure) device->Configure(m);
  }
}

void ResetDevices(MachineState& m, bool hard) {
  for (const Device* device : m.Devices) {
    if (device->Reset) device->Reset(m, hard);
  }
}

bool NmiDevices(MachineState& m) {
  for (const Device* device : m.Devices) {
    if (device->Nmi && DeviceFitted(m, *device) && device->Nmi(m)) return true;
  }
  return false;
}

void FrameEndDevices(MachineState& m) {
  for (const Device* device : m.Devices) {
    if (device->FrameEnd && DeviceFitted(m, *device)) device->FrameEnd(m);
  }
}

}  // namespace orvo
