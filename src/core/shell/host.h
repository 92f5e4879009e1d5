#pragma once
// The seams between the core and whatever presents it: the Qt window, orvo-run and tests.
#include <cstdint>
#include <string_view>

#include "machine/clock.h"
#include "shell/messages.h"

namespace orvo {

class AudioDevice;      // sound/ (the output ring's device side)
class GameControllers;  // machine/ (joystick polling)

// steady_clock and sleep_for.
class SystemClock final : public Clock {
 public:
  uint64_t NowNanoseconds() override;
  void SleepMilliseconds(uint32_t ms) override;
  void SleepMicroseconds(uint32_t us) override;
};

class Host {
 public:
  virtual ~Host() = default;
  // Shows message `message` under caption `caption`; `detail` is the ROM file name of message 2.
  virtual void ShowMessage(CaptionId caption, MessageId message, std::string_view detail = {}) = 0;
  virtual bool AskYesNo(std::string_view caption, std::string_view text) = 0;
  virtual Clock& GetClock() = 0;
  // A finished picture (352 x 296 pixels, 0x00RRGGBB) is ready to show; called by the frame end.
  virtual void PresentFrame(const uint32_t* /*pixels*/) {}
  // Settings that shape the picture changed (size, method, palette): set the display up again.
  virtual void SetUpDisplay() {}
  // A plain message box with its own caption and text, outside the message table.
  virtual void ShowPlainMessage(std::string_view /*caption*/, std::string_view /*text*/) {}
  virtual AudioDevice* Audio() { return nullptr; }
  virtual GameControllers* Controllers() { return nullptr; }
};

}  // namespace orvo
