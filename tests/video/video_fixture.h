#pragma once
// A machine of a chosen model for the port and picture tests: set up from the shared ROM folder,
// screen memory cleared, both renderers at the start of the frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "machine/machine_fixture.h"
#include "video/ula.h"

namespace orvo::test {

struct VideoMachine : TestMachine {
  explicit VideoMachine(uint8_t model, bool lateTiming = false) : TestMachine(model, lateTiming) {
    std::memset(Screen(), 0, 6912);
    m.FrameTState = 0;
    m.video.DisplayDrawnTo = 0;
    m.video.BorderDrawnTo = 0;
    m.ports.BorderColour = 7;
  }

  uint8_t* Screen() { return m.ScreenPointer; }
  // Bitmap byte of display row y, column c, and the attribute of that cell.
  uint8_t& Bitmap(int y, int c) { return Screen()[m.video.BitmapRowOffset[y] + c]; }
  uint8_t& Attr(int y, int c) { return Screen()[m.video.AttrRowOffset[y] + c]; }
  // A port read that starts at frame T-state `at`.
  uint8_t In(uint16_t port, uint32_t at) {
    m.FrameTState = at;
    return m.ReadPort(port);
  }
  uint32_t Pixel(int x, int row) const { return ScreenPixels(m)[row * 352 + x]; }

  // Finishes the frame as the frame loop does when it draws one, and starts the next.
  void EndFrame() {
    if (m.FrameTState < m.FrameLength) m.FrameTState = m.FrameLength;
    RenderBorderUpTo(m, m.FrameTState);
    RenderDisplayUpTo(m, m.FrameTState);
    m.FrameTState -= m.FrameLength;
    m.video.DisplayDrawnTo = m.FrameTState;
    m.video.BorderDrawnTo = m.FrameTState;
  }
};

constexpr uint32_t kBlack = 0x000000, kBlue = 0x0000CA, kRed = 0xCA0000, kWhite = 0xCACACA;

// Picture columns x0..x1-1 of `row` all have colour c.
inline ::testing::AssertionResult RowIs(const VideoMachine& vm, int row, int x0, int x1,
                                        uint32_t c) {
  for (int x = x0; x < x1; ++x) {
    if (vm.Pixel(x, row) != c) {
      return ::testing::AssertionFailure() << "pixel (" << x << ", " << row << ") is " << std::hex
                                           << vm.Pixel(x, row) << ", expected " << c;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace orvo::test
