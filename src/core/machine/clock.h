#pragma once
// The host's clock, as the running machine sees it: the sound output waits on it and the tape's
// wobble takes its seed from it. The program supplies one (shell/host.h); tests replace it.
#include <cstdint>

namespace orvo {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t NowNanoseconds() = 0;            // monotonic
  virtual void SleepMilliseconds(uint32_t ms) = 0;  // 0 yields
  // A finer sleep for the frame throttle; clocks that keep only milliseconds round it down.
  virtual void SleepMicroseconds(uint32_t us) { SleepMilliseconds(us / 1000); }
};

}  // namespace orvo
