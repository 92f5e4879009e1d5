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

// The core keeps the T-state counter in a register while it runs and passes it in as `t`; the
// one-argument forms are for everything else and count on FrameTState. A slow path that calls
// out to code reading FrameTState stores `t` there first. `Watched` false leaves out the tests
// for the ULA snow and the memory map tool: the core runs such cycles only while
// QuietCyclesAllowed() says both are off.

template <bool Watched>
inline uint8_t MachineState::FetchOpcode(uint16_t address, uint32_t& t) {
  if (Contends<Watched>(address)) t += MemoryDelay(t);
  t += 4;
  if (Watched) ++FetchCount;  // a quiet core counts its own fetches
  const uint8_t value = Peek(address);
  // With the I register pointing at contended memory the refresh cycle of the fetch disturbs
  // the ULA's own fetch.
  if (Watched && video.SnowArmed) [[unlikely]] {
    FrameTState = t;
    UlaSnowFetch(*this);
  }
  return value;
}

inline uint32_t MachineState::HaltRunFetches(uint32_t t, uint16_t pc) const {
  if (HaltRunLimit <= t || video.SnowArmed || printer.motor) return 0;
  if (IsContended(pc) && settings.Contention) return 0;
  // As many as single fetches would make before the run's limit (the last one reaching it)...
  uint32_t n = (HaltRunLimit - t + 3) / 4;
  if (settings.Sound != 0 && FullSpeed == 0) {
    // ... but the fetch that makes the next sample due is made on its own, so that the AY is
    // caught up to where that fetch begins, as it would be.
    // (Within a batch the accumulator has not been fed: the batch knows the same point.)
    const uint64_t owed =
        sound.SampleStep > sound.SampleAccumulator ? sound.SampleStep - sound.SampleAccumulator : 0;
    const uint64_t dueAt =
        (HooksBatched & kBatchedSound)
            ? BatchSoundDue
            : InstructionStartTState +
                  ((owed + (uint64_t{1} << kSampleStepShift) - 1) >> kSampleStepShift);
    if (dueAt <= uint64_t{t}) return 0;
    const uint64_t beforeDue = (dueAt - 1 - t) / 4;
    if (beforeDue < n) n = static_cast<uint32_t>(beforeDue);
  }
  return n;
}

template <bool Watched>
inline uint8_t MachineState::ReadByte(uint16_t address, uint32_t& t) {
  const uint8_t value = Peek(address);
  if (Contends<Watched>(address)) {
    FloatingLatch = value | 1;  // the +2A/+3 floating bus keeps the byte
    t += MemoryDelay(t);
  }
  t += 3;
  if (Watched && MemoryTracking) [[unlikely]] {
    FrameTState = t;
    TrackRead(address, value);
  }
  return value;
}

template <bool Watched>
inline void MachineState::WriteByte(uint16_t address, uint8_t value, uint32_t& t) {
  uint8_t* const target = WritePages[address >> 13] + (address & 0x1FFF);
  if (Contends<Watched>(address)) {
    FloatingLatch = Peek(address) | 1;  // the byte that was there, for the +2A/+3 floating bus
    t += MemoryDelay(t);
  }
  t += 3;
  // A store into the displayed screen must not show before the beam has passed this point.
  if (const uintptr_t screen =
          reinterpret_cast<uintptr_t>(target) - reinterpret_cast<uintptr_t>(ScreenPointer);
      screen < 6912) [[unlikely]] {
    FrameTState = t;
    video.StoreOffset = static_cast<uint32_t>(screen);
    RenderDisplayBeforeStore(*this, t);
  }
  // A protected ROM page, the 16K's missing memory and a device's registers store into a sink.
  *target = value;
  if (Watched && MemoryTracking) [[unlikely]] {
    FrameTState = t;
    TrackWrite(address, value);
  }
}

template <bool Watched>
inline void MachineState::InternalCycles(uint16_t address, uint32_t n, uint32_t& t) {
  if (Contends<Watched>(address)) {
    while (n--) t += IoDelay(t) + 1;
  } else {
    t += n;
  }
}

}  // namespace orvo
