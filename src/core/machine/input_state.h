#pragma once
// Host input as the emulated machine sees it: the keyboard matrix, the joystick values, the mouse
// counters and buttons, and the state of text being typed in.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvo {

// Host keys that act as a joystick (the keystick) or that the game controller sets; bit masks of
// InputState::HostKeysHeld and InputState::ControllerState.
enum HostDirection : uint8_t {
  kDirFire = 0x10,
  kDirUp = 0x08,
  kDirDown = 0x04,
  kDirLeft = 0x02,
  kDirRight = 0x01,
};

// Steps of the AMX mouse waiting to be run: a fast mouse moves the pointer a little later, never
// without bound.
inline constexpr size_t kAmxQueueLimit = 16;

struct AmxStep {
  uint8_t direction;  // 1 when the coordinate decreased, else 0
  uint8_t vector;     // interrupt vector byte: control byte A for X, B for Y
};

struct InputState {
  // Eight half-rows, bits 0-4 active low, bits 5-7 kept 1. Half-row i answers when bit i of the
  // port's high byte is 0.
  std::array<uint8_t, 8> KeyRows{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t ShiftDown = 0;         // the host Shift key was down at the last key press
  uint8_t CapsLatched = 0;       // Recreated keyboard: CAPS SHIFT latched
  uint8_t SymbolLatched = 0;     // Recreated keyboard: SYMBOL SHIFT latched
  uint8_t WindowForeground = 1;  // key messages act only while the main window is in front

  // Keystick: the five host keys (Space, Up, Down, Left, Right) that are held, as HostDirection
  // bits. Sampled by the port read.
  uint8_t HostKeysHeld = 0;
  uint8_t KeystickActive = 0;

  // Game controller, read once per frame by the joystick poll.
  uint8_t JoystickActive = 0;
  int32_t JoystickX = 0;  // -1000..+1000
  int32_t JoystickY = 0;
  uint8_t JoystickButton = 0;

  // Mouse.
  uint8_t MouseWanted = 0;
  uint8_t MouseCaptured = 0;
  uint8_t KempstonX = 0;  // wrapping position counters
  uint8_t KempstonY = 0;
  uint8_t MouseButtons = 0;    // 0 none, 1 left, 2 right (the last pressed; a release clears)
  uint8_t AmxX = 0, AmxY = 0;  // accumulators
  uint8_t AmxLastX = 0, AmxLastY = 0;  // last reported
  uint8_t AmxControlA = 0xFF, AmxControlB = 0xFF;
  uint8_t AmxPendingVector = 0xFF;  // IM 2 vector of the step being run; the acceptance clears it
  std::vector<AmxStep> AmxQueue;    // at most kAmxQueueLimit steps
  uint8_t AmxCurrentDirection = 0;  // direction byte of the step being run

  // Text being typed in ("Load BASIC Text File", paste).
  std::vector<uint8_t> TypingText;
  uint32_t TypingPos = 0;
  uint8_t TypingActive = 0;
  uint32_t TypingCounter = 0;
  int32_t TypingSpoolSpeed = 0;  // the pace of this text; 0: the "Spool Speed" setting
  uint8_t TypingInString = 0;
  uint8_t TypingInRem = 0;
  // Frames since the ROM last waited for a key; typing that waits too long is given up.
  uint32_t TypingFramesWaiting = 0;
  uint64_t TypingFirstWaitFrame = UINT64_MAX;  // the frame the ROM first waited for this text
};

}  // namespace orvo
