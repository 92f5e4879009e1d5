// ParseRZX on arbitrary bytes: no crash, no read outside the file, no runaway inflation. A
// recording it accepts is written again and read back with the same frames and port values; its
// first frames are played on a machine (the snapshot loaded, the port reads answered from it).
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/rzx_format.h"
#include "fuzz_machine.h"
#include "rzx/rzx_session.h"
#include "shell/frame_loop.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> emu = [] {
    auto e = fuzz::MakeEmulator(host);
    e->NoThrottle = true;
    return e;
  }();
  const std::span<const uint8_t> bytes(data, size);
  RzxFile file;
  if (!ParseRZX(bytes, file).Ok()) return 0;
  RzxFile again;
  if (!ParseRZX(WriteRZX(file), again).Ok() || again.TotalFrames() != file.TotalFrames())
    std::abort();
  size_t k = 0;
  for (const RzxInputBlock& b : file.inputs) {
    for (const RzxFrame& f : b.frames) {
      const RzxFrame& g = again.inputs[0].frames[k++];
      const auto v = b.ValuesOf(f), w = again.inputs[0].ValuesOf(g);
      if (f.fetches != g.fetches ||
          (f.reads < 0xFFFF && !std::equal(v.begin(), v.end(), w.begin(), w.end())))
        std::abort();
    }
  }
  if (OpenRzxBytes(*emu, bytes)) {
    for (int frame = 0; frame < 3 && emu->rzx.playing; ++frame) RunFrame(*emu);
    StopRzxPlayback(*emu);
  }
  return 0;
}
