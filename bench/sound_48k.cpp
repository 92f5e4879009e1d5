// Cost of sound generation on a whole 48K machine, headless: "x real time" (3.5 MHz = 1x) with
// `Sound` off, with it on (beeper; the AY gated off as on a real 48K), and with `AY48K` on (all
// three AY generators running). Samples go to a sink that throws them away, so only generation
// is measured, not a device.
//
//   orvo-bench-sound_48k [--frames N]     ROMs from $ORVO_SHARED/roms (default ../shared/roms)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_support.h"
#include "machine/setup.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "shell/sound_setup.h"
#include "sound/sound.h"
#include "sound/sound_output.h"

namespace {

using namespace orvo;

using bench::BenchHost;

class DiscardSink final : public SoundFrameSink {
 public:
  void TakeFrame(const uint8_t* data, uint32_t bytes) override { checksum += data[bytes / 2]; }
  uint64_t checksum = 0;
};

double Run(Emulator& emu, int frames) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) RunFrame(emu);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return static_cast<double>(frames) * emu.m.FrameLength / seconds / 3.5e6;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 3000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("Usage: %s [--frames N]\n", argv[0]);
      return 0;
    }
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::atoi(argv[++i]);
  }

  BenchHost host;
  Emulator emu(host);
  MachineState& m = emu.m;
  if (!bench::SetUpBenchMachine(emu, host, kModel48K)) return 1;
  Run(emu, 150);  // boot to the prompt

  // A program that keeps the CPU busy and the speaker moving: OUT (0xFE) in a tight loop.
  const uint8_t program[] = {0xF3,         // DI
                             0x3E, 0x10,   // LD A,0x10
                             0xD3, 0xFE,   // loop: OUT (0xFE),A
                             0xEE, 0x10,   // XOR 0x10
                             0x06, 0x40,   // LD B,0x40
                             0x10, 0xFE,   // DJNZ $
                             0x18, 0xF6};  // JR loop

  DiscardSink sink;
  struct Case {
    const char* name;
    int sound, ay48k;
  };
  const Case cases[] = {
      {"sound off", 0, 0}, {"sound on (beeper)", 1, 0}, {"sound on + AY48K", 1, 1}};
  // The machine is shared with other work: interleave the cases over a few rounds and keep each
  // case's best, so a busy moment does not count against one case only.
  double idle[3] = {}, busy[3] = {};
  for (int round = 0; round < 3; ++round) {
    for (int c = 0; c < 3; ++c) {
      m.settings.Sound = cases[c].sound;
      m.settings.Ay48k = cases[c].ay48k;
      if (cases[c].sound) {
        InitSoundCapture(emu, sink);
        // The AY busy on all three channels with noise and envelope, as a tune would keep it.
        const uint8_t regs[14] = {0x40, 0x01, 0x80, 0x00, 0x33, 0x02, 0x07,
                                  0x30, 0x1F, 0x0C, 0x1F, 0x00, 0x02, 0x0E};
        for (uint8_t r = 0; r < 14; ++r) {
          AySelect(m, r);
          AyWriteData(m, regs[r]);
        }
      } else {
        CloseSound(m);
      }
      // Idle BASIC: the ROM sits in HALT, the most instructions (and hooks) per frame.
      ResetMachine(emu, true);
      Run(emu, 150);
      idle[c] = std::max(idle[c], Run(emu, frames));
      for (size_t i = 0; i < sizeof program; ++i) m.PageTable[4][i] = program[i];
      m.cpu.PC = 0x8000;
      m.cpu.Halted = 0;
      busy[c] = std::max(busy[c], Run(emu, frames));
    }
  }
  std::printf("%-22s %14s %14s\n", "48K", "idle prompt", "beeper loop");
  for (int c = 0; c < 3; ++c) {
    std::printf("%-22s %12.1fx %13.1fx\n", cases[c].name, idle[c], busy[c]);
  }
  std::printf("speed kept with sound on: %.0f%% / %.0f%% (beeper), %.0f%% / %.0f%% (AY48K)\n",
              100.0 * idle[1] / idle[0], 100.0 * busy[1] / busy[0], 100.0 * idle[2] / idle[0],
              100.0 * busy[2] / busy[0]);
  return host.failed || sink.checksum == 0 ? 1 : 0;
}
