// The ULA renderer's cost: the picture catch-up alone (an unchanged frame, a frame in which every
// screen byte changed, a frame with a border change on every scan line, multicolour catch-ups at
// every screen write), and a whole 48K machine running a program that writes the screen and the
// border all the time. Prints microseconds of processor time per frame and "x real time" (one 48K
// frame is 20 ms).
//
//   orvo-bench-ula_render [--seconds S] [--only K]     ROMs from $ORVO_SHARED or ../shared
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_support.h"
#include "machine/setup.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "video/ula.h"

namespace {

using namespace orvo;

using bench::BenchHost;

// Runs `frame(f)` for frame numbers f = 0, 1, 2... for at least the minimum time.
template <class Frame>
void ReportFrames(const char* name, Frame&& frame) {
  uint64_t next = 0;
  const bench::Measured run = bench::MeasureAtLeast(
      [&](uint64_t n) {
        for (uint64_t i = 0; i < n; ++i) frame(static_cast<int>(next++ & 0x7FFFFFFF));
        return n;
      },
      10);
  const double perFrame = run.SecondsPerUnit();
  bench::PrintFigure(std::string("ula_render.") + name, perFrame * 1e6, "us/frame",
                     0.02 / perFrame);
}

void EndFrame(MachineState& m) {
  RenderBorderUpTo(m, m.FrameLength);
  RenderDisplayUpTo(m, m.FrameLength);
  m.video.DisplayDrawnTo = m.video.BorderDrawnTo = 0;
}

}  // namespace

int main(int argc, char** argv) {
  int only = 0;  // 0: every measurement; n: the n-th alone
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = std::atoi(argv[++i]);
  }
  if (!bench::ParseCommonOptions(argc, argv,
                                 "Measures the ULA renderer; --only K runs the K-th measurement "
                                 "(1-6) alone."))
    return 0;
  auto wanted = [only](int k) { return only == 0 || only == k; };

  BenchHost host;
  Emulator emu(host);
  if (!bench::SetUpBenchMachine(emu, host, kModel48K)) return 1;
  MachineState& m = emu.m;
  uint8_t* screen = m.PageTable[2];

  // ---- the renderer alone ----
  EndFrame(m);
  if (wanted(1)) ReportFrames("unchanged_frame", [&](int) { EndFrame(m); });
  if (wanted(2)) {
    ReportFrames("every_screen_byte_changed", [&](int) {
      for (int i = 0; i < 6912; ++i) ++screen[i];
      EndFrame(m);
    });
  }
  if (wanted(3)) {
    ReportFrames("border_change_every_line", [&](int f) {
      for (uint32_t line = 0; line < 312; ++line) {
        m.FrameTState = line * 224 + 60;
        m.WritePort(0x00FE, static_cast<uint8_t>((line + f) & 7));
      }
      m.FrameTState = 0;
      EndFrame(m);
    });
  }
  if (wanted(4)) {
    ReportFrames("2184_screen_writes", [&](int f) {
      // A write to the screen every 32 T-states through the frame, each with its catch-up.
      for (uint32_t t = 0; t < 69888; t += 32) {
        m.FrameTState = t;
        m.WriteByte(static_cast<uint16_t>(0x4000 + (t / 32) % 6912), static_cast<uint8_t>(t + f));
      }
      m.FrameTState = 0;
      EndFrame(m);
    });
  }

  // ---- the whole machine with a program that keeps the ULA busy ----
  // loop: LD HL,0x4000 / LD BC,0x1B00
  // fill: INC (HL) / INC HL / LD A,L / OUT (0xFE),A / DEC BC / LD A,B / OR C / JR NZ,fill
  //       JR loop
  const uint8_t program[] = {0x21, 0x00, 0x40, 0x01, 0x00, 0x1B, 0x34, 0x23, 0x7D,
                             0xD3, 0xFE, 0x0B, 0x78, 0xB1, 0x20, 0xF6, 0x18, 0xEE};
  if (wanted(5)) {
    ResetMachine(emu, true);
    for (int f = 0; f < 150; ++f) RunFrame(emu);  // boot to the prompt
    for (size_t i = 0; i < sizeof program; ++i) {
      m.PageTable[(0x8000 + i) >> 13][(0x8000 + i) & 0x1FFF] = program[i];
    }
    m.cpu.PC = 0x8000;
    m.cpu.SP = 0x7FF0;
    ReportFrames("machine_screen_and_border_writes", [&](int) { RunFrame(emu); });
  }
  if (wanted(6)) {
    ResetMachine(emu, true);
    for (int f = 0; f < 150; ++f) RunFrame(emu);
    ReportFrames("machine_idle_prompt", [&](int) { RunFrame(emu); });
  }
  return 0;
}
