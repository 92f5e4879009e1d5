#pragma once
// The memory cycles of the Z80 as the Spectrum sees them: contention, T-states, then the access
// through the page table. Included at the end of machine_state.h; inline because the core calls
// them for every access.
#include "video/ula.h"

namespace orvo {

inline uint8_t MachineState::FetchOpcode(uint16_t address) {
  if (settings.Contention && IsContended(address)) FrameTState += MemoryContentionTable[FrameTState];
  FrameTState += 4;
  return Peek(address);
}

inline uint8_t MachineState::ReadByte(uint16_t address) {
  const uint8_t value = Peek(address);
  if (settings.Contention && IsContended(address)) {
    FloatingLatch = value | 1;
    FrameTState += MemoryContentionTable[FrameTState];
  }
  FrameTState += 3;
  return value;
}

inline void MachineState::WriteByte(uint16_t address, uint8_t value) {
  uint8_t* target = PageTable[address >> 13] + (address & 0x1FFF);
  if (settings.Contention && IsContended(address)) {
    FloatingLatch = *target | 1;
    FrameTState += MemoryContentionTable[FrameTState];
  }
  FrameTState += 3;
  if (address < 0x4000 && romWriteProtect) return;
  if (MachineModel == kModel16K && address >= 0x8000) return;
  // A store into the displayed screen must not show before the beam has passed this point.
  if (static_cast<size_t>(target - ScreenPointer) < 6912) RenderDisplayUpTo(*this, FrameTState);
  *target = value;
}

inline void MachineState::InternalCycles(uint16_t address, uint32_t n) {
  if (settings.Contention && IsContended(address)) {
    while (n--) {
      FrameTState += IoContentionTable[FrameTState];
      FrameTState += 1;
    }
  } else {
    FrameTState += n;
  }
}

}  // namespace orvo
