#pragma once
// The main window's status bar as data: four texts refreshed once a second from the frame
// counters. The window only shows what is here.
#include <array>
#include <cstdint>
#include <string>

namespace orvo {

class Emulator;

constexpr int kStatusParts = 4;
// Right edges of the four parts, in pixels.
constexpr std::array<int, kStatusParts> kStatusPartEdges = {130, 282, 364, 1040};
// Part 0 after a message box has closed.
inline constexpr const char* kStatusReady = " Ready          ";

struct StatusBar {
  std::array<std::string, kStatusParts> parts = {" ", " Frames Per Second: ", " Speed: ", ""};
  bool shown = true;
  uint64_t lastRefreshNs = 0;        // clock reading of the last refresh
  uint32_t refreshes = 0;            // how many times the texts were renewed
  uint32_t microdriveTransfers = 0;  // the drives' transfer count at the last refresh
};

// Does nothing while Paused or until more than 999 ms have passed since the last refresh;
// otherwise renews the texts from the model and FramesThisSecond, clears FramesThisSecond and
// returns true.
bool UpdateStatusBar(Emulator& emu, StatusBar& bar);

// How to start the tape in the deck, for the status bar: with Autoload off an opened tape waits
// for the user's LOAD and Play. "" when there is no tape, it has been played, or Autoload will
// start it.
std::string TapeStartHint(const Emulator& emu);

}  // namespace orvo
