#include <chrono>
#include <thread>

#include "shell/host.h"

namespace orvo {

uint64_t SystemClock::NowNanoseconds() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void SystemClock::SleepMilliseconds(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

void SystemClock::SleepMicroseconds(uint32_t us) {
  if (us == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
}

}  // namespace orvo
