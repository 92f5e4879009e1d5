// Cost of sound generation on a whole 48K machine, headless: "x real time" (3.5 MHz = 1x) with
// `Sound` off, with it on (beeper; the AY gated off as on a real 48K), and with `AY48K` on (all
// three AY generators running). The share of speed a kind of sound keeps is the ratio of two
// lines. Samples go to a sink that throws them away, so only generation is measured, not a device.
//
//   orvo-bench-sound_48k [--seconds S]     ROMs from $ORVO_SHARED/roms (default ../shared/roms)
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv) {
  if (!bench::ParseCommonOptions(argc, argv, "Measures sound generation on a whole 48K machine."))
    return 0;

  BenchHost host;
  Emulator emu(host);
  MachineState& m = emu.m;
  if (!bench::SetUpBenchMachine(emu, host, kModel48K)) return 1;
  for (int f = 0; f < 150; ++f) RunFrame(emu);  // boot to the prompt

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
  const Case cases[] = {{"sound_off", 0, 0}, {"beeper", 1, 0}, {"beeper_ay48k", 1, 1}};
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
    for (int f = 0; f < 150; ++f) RunFrame(emu);
    bench::PrintTStateRate(std::string("sound_48k.idle_prompt.") + cases[c].name,
                           bench::FrameRate(emu));
    for (size_t i = 0; i < sizeof program; ++i) m.PageTable[4][i] = program[i];
    m.cpu.PC = 0x8000;
    m.cpu.Halted = 0;
    bench::PrintTStateRate(std::string("sound_48k.beeper_loop.") + cases[c].name,
                           bench::FrameRate(emu));
  }
  return host.failed || sink.checksum == 0 ? 1 : 0;
}
