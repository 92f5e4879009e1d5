#pragma once
// The memory cycles of the Z80 as the Spectrum sees them: contention, T-states, then the access
// through the page table. Included at the end of machine_state.h; inline because the core calls
// them for every access, so each is a page lookup, a contention test and at most one table read.
// The add-ons that change the memory map do it through the page pointers (machine/memory.h), so
// nothing here asks which are fitted.
#include <cstdint>

#include "video/ula.h"

namespace orvo {

// An access is contended when it falls in 0x4000-0x7FFF, or in 0xC000-0xFFFF with a contended
// bank paged there, and the "Contention" option is "ZX Spectrum". The ULA then holds the CPU for
// the table's delay at the T-state the access begins.

inline uint8_t MachineState::FetchOpcode(uint16_t address) {
  if (IsContended(address) && settings.Contention) FrameTState += MemoryDelay();
  FrameTState += 4;
  ++FetchCount;
  const uint8_t value = Peek(address);
  // With the I register pointing at contended memory the refresh cycle of the fetch disturbs
  // the ULA's own fetch.
  if (video.SnowArmed) [[unlikely]]
    UlaSnowFetch(*this);
  return value;
}

inline uint32_t MachineState::HaltRunFetches() const {
  if (HaltRunLimit <= FrameTState || video.SnowArmed || printer.motor) return 0;
  if (IsContended(cpu.PC) && settings.Contention) return 0;
  // As many as single fetches would make before the run's limit (the last one reaching it)...
  uint32_t n = (HaltRunLimit - FrameTState + 3) / 4;
  if (settings.Sound != 0 && FullSpeed == 0) {
    // ... but the fetch that makes the next sample due is made on its own, so that the AY is
    // caught up to where that fetch begins, as it would be.
    const uint64_t owed =
        sound.SampleStep > sound.SampleAccumulator ? sound.SampleStep - sound.SampleAccumulator : 0;
    const uint64_t dueAt = InstructionStartTState +
                           ((owed + (uint64_t{1} << kSampleStepShift) - 1) >> kSampleStepShift);
    if (dueAt <= uint64_t{FrameTState}) return 0;
    const uint64_t beforeDue = (dueAt - 1 - FrameTState) / 4;
    if (beforeDue < n) n = static_cast<uint32_t>(beforeDue);
  }
  return n;
}

inline uint8_t MachineState::ReadByte(uint16_t address) {
  const uint8_t value = Peek(address);
  if (IsContended(address) && settings.Contention) {
    FloatingLatch = value | 1;  // the +2A/+3 floating bus keeps the byte
    FrameTState += MemoryDelay();
  }
  FrameTState += 3;
  if (MemoryTracking) [[unlikely]]
    TrackRead(address, value);
  return value;
}

inline void MachineState::WriteByte(uint16_t address, uint8_t value) {
  uint8_t* const target = WritePages[address >> 13] + (address & 0x1FFF);
  if (IsContended(address) && settings.Contention) {
    FloatingLatch = Peek(address) | 1;  // the byte that was there, for the +2A/+3 floating bus
    FrameTState += MemoryDelay();
  }
  FrameTState += 3;
  // A store into the displayed screen must not show before the beam has passed this point.
  if (reinterpret_cast<uintptr_t>(target) - reinterpret_cast<uintptr_t>(ScreenPointer) < 6912)
    RenderDisplayUpTo(*this, FrameTState);
  // A protected ROM page, the 16K's missing memory and a device's registers store into a sink.
  *target = value;
  if (MemoryTracking) [[unlikely]]
    TrackWrite(address, value);
}

inline void MachineState::InternalCycles(uint16_t address, uint32_t n) {
  if (IsContended(address) && settings.Contention) {
    while (n--) {
      FrameTState += IoDelay();
      FrameTState += 1;
    }
  } else {
    FrameTState += n;
  }
}

}  // namespace orvo
