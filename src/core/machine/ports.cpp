// The port decoder: every IN and OUT of the Z80, with the I/O cycle's T-states.
//
// The devices fitted to the machine answer through the tables RebuildPortDecoder builds from their
// rows (devices/device.h). The ULA answers every even port. The other devices decode the low byte
// exactly (the add-on interfaces) or a few address lines: A15, A14 and A1 for the AY and the 0x7FFD
// paging register, A15-A12 and A1 for the +2A/+3's 0x1FFD, 0x2FFD and 0x3FFD. Each row that
// applies replaces the byte read. A read that nothing answers sees the byte the ULA happens to be
// fetching (the floating bus) on the 48K and 128K.
#include "machine/io_cycle.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "video/ula.h"

namespace orvo {

namespace {

using io_cycle::IoFirst;
using io_cycle::IoMiddle;

inline void IoBeforeRead(MachineState& m, ModelGroup group, uint16_t port) {
  m.FrameTState = io_cycle::ReadMoment(m, group, port, m.FrameTState);
}

// The end of every read: whether a quiet run may be taken up again past it (QuietRunResumes),
// and the input recording, playing or recording, which sees every value read (and answers it,
// playing).
inline uint8_t FinishRead(MachineState& m, uint8_t v) {
  m.QuietReadResume = m.QuietRunKey() == m.BatchRunKey;
  if (m.PortReadHook) [[unlikely]]
    return m.PortReadHook(m.PortReadHookContext, v);
  return v;
}

}  // namespace

uint8_t MachineState::ReadPort(uint16_t port) {
  // A device may look at the tape or the sound: a batch brings them up to date first.
  if (HooksBatched) [[unlikely]]
    CatchUpBatchedHooks();
  const PortDecoder& d = decoder;
  const ModelGroup group = d.group;
  uint8_t v = 0xFF;

  // A device decoding all sixteen lines answers alone (ULAplus).
  for (const PortDecoder::ExactRead& row : d.exactReads) {
    if (row.port != port) continue;
    IoBeforeRead(*this, group, port);
    v = row.read(*this, port, v);
    FrameTState += 1;
    return FinishRead(*this, v);
  }

  IoBeforeRead(*this, group, port);
  PortBusDriven = false;

  if (!(port & 1)) {
    for (PortReadFn read : d.evenReads) v = read(*this, port, v);
  }

  // Devices that decode the low byte exactly; some make the address-line decoders below see
  // another port.
  const PortDecoder::LowByte& low = d.low[port & 0xFF];
  for (int i = 0; i < low.reads; ++i) v = d.lowReads[low.readFirst + i](*this, port, v);
  const uint16_t decoded = low.readAs >= 0 ? static_cast<uint16_t>(low.readAs) : port;

  // Address-line decoders.
  for (const PortDecoder::LineRead& row : d.lineReads) {
    if ((decoded & row.mask) == row.value) v = row.read(*this, decoded, v);
  }

  // Nothing answered: the floating bus. A device that drove 0xFF itself (the Beta 128's
  // controller reading a byte of 0xFF off the disk) keeps it. (A ULA read is held by the ULA until
  // the idle phase of its fetch, where the bus reads 0xFF anyway.) On the 48K group the tape's and
  // the Interface 1's hardware hold the bus too.
  if (io_cycle::ReadFloats(*this, group, v)) v = FloatingBusValue(*this);

  FrameTState += 1;
  return FinishRead(*this, v);
}

void MachineState::WritePort(uint16_t port, uint8_t value) {
  QuietReadResume = 0;
  if (HooksBatched) [[unlikely]]
    CatchUpBatchedHooks();
  const PortDecoder& d = decoder;
  const ModelGroup group = d.group;
  const bool even = (port & 1) == 0;

  if (group == ModelGroup::kPlus3) {
    FrameTState += 1;
  } else {
    IoFirst(*this, port, FrameTState);
  }

  // A device decoding all sixteen lines (ULAplus) sees the write where the ULA sees a border
  // write: after the cycle's first T-state.
  for (const PortDecoder::ExactWrite& row : d.exactWrites) {
    if (row.port == port) row.write(*this, port, value);
  }

  if (even) {
    // On the 128K and +2 the ULA's wait comes before the border changes.
    if (group == ModelGroup::k128) IoMiddle(*this, port, FrameTState);
    for (PortWriteFn write : d.evenWrites) write(*this, port, value);
  }

  const PortDecoder::LowByte& low = d.low[port & 0xFF];
  for (int i = 0; i < low.writes; ++i) d.lowWrites[low.writeFirst + i](*this, port, value);
  const uint16_t decoded = low.writeAs >= 0 ? static_cast<uint16_t>(low.writeAs) : port;

  for (const PortDecoder::LineWrite& row : d.lineWrites) {
    if ((decoded & row.mask) == row.value) row.write(*this, decoded, value);
  }

  if (group == ModelGroup::kPlus3) {
    FrameTState += 3;
  } else {
    if (!(group == ModelGroup::k128 && even)) IoMiddle(*this, port, FrameTState);
    FrameTState += 1;
  }
}

}  // namespace orvo
