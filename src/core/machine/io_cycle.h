#pragma once
// The T-states of the Z80's I/O cycle as the machine stretches them, shared by the port decoder
// and the polling-loop skip (machine/poll_skip.cpp), which must count them alike.
#include "machine/machine_state.h"
#include "machine/memory.h"

namespace orvo::io_cycle {

inline uint32_t IoDelayAt(const MachineState& m, uint32_t t) {
  return t < kContentionTableSize ? m.IoContentionTable[t] : 0;
}

// The port's high byte puts a contended address on the bus.
inline bool HighByteContended(const MachineState& m, uint16_t port) {
  return m.settings.Contention && m.IsContended(port);
}

// The cycle's T-states are counted in `t` (FrameTState as the cycle began), which the caller
// stores back before a device looks at the time: one chain of additions in a register rather
// than through memory.

// First T-state of the I/O cycle (16K, 48K, 128K, +2, Custom).
inline void IoFirst(const MachineState& m, uint16_t port, uint32_t& t) {
  if (HighByteContended(m, port)) t += IoDelayAt(m, t);
  t += 1;
}

// The next two T-states. The ULA holds an even-port access whatever the high byte and the
// contention option say; an odd port with a contended high byte is held at each T-state.
inline void IoMiddle(const MachineState& m, uint16_t port, uint32_t& t) {
  if (!(port & 1)) {
    t += IoDelayAt(m, t);
    t += 2;
  } else if (HighByteContended(m, port)) {
    t += IoDelayAt(m, t);
    t += 1;
    t += IoDelayAt(m, t);
    t += 1;
    t += IoDelayAt(m, t);
  } else {
    t += 2;
  }
}

// A read's I/O cycle from `t` up to the moment the device puts its byte on the bus. (On the 128K
// and +2 the even-port wait falls inside the ULA read, before the keyboard is sampled: the same
// moment.) The cycle's last T-state follows the read.
inline uint32_t ReadMoment(const MachineState& m, ModelGroup group, uint16_t port, uint32_t t) {
  if (group == ModelGroup::kPlus3) return t + 3;
  IoFirst(m, port, t);
  IoMiddle(m, port, t);
  return t;
}

// A read that left 0xFF on the bus, nothing having driven it, sees the floating bus instead: on
// the 128K group always, on the 48K group unless the tape's or the Interface 1's hardware holds
// the bus.
inline bool ReadFloats(const MachineState& m, ModelGroup group, uint8_t v) {
  return v == 0xFF && m.decoder.floatingBus && !m.PortBusDriven &&
         (group == ModelGroup::k128 ||
          (!m.TapePlaying && !OverlayMapped(m, OverlayLayer::kInterface1) /* [&& no printer] */));
}

}  // namespace orvo::io_cycle
