// Time to draw one frame through each built-in shader effect at the window's 300% size (1056 x
// 888), in an offscreen OpenGL context: wall time, waiting for OpenGL to finish, so a software
// renderer's threads count as the screen would feel them (and the processor time of all its
// threads). Below 20000 us a frame, 50 frames a second hold. Needs a display (xvfb-run will do).
//
//   QT_QPA_PLATFORM=xcb xvfb-run -a orvo-bench-shader_effects [--seconds S]
#include "render/shader_effects.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_report.h"
#include "render/offscreen_render.h"

int main(int argc, char** argv) {
  using namespace orvo;
  if (!bench::ParseCommonOptions(argc, argv, "Measures the shader effects at 300%.")) return 0;
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fprintf(stderr, "shader_effects: no display, nothing measured (run it under xvfb-run)\n");
    return 0;
  }
  QGuiApplication app(argc, argv);
  std::vector<uint32_t> picture(352 * 296);
  for (int effect = 0; effect < render::kEffectCount; ++effect) {
    render::OffscreenRenderer renderer;
    if (!renderer.Start(render::EffectPreset(effect), 3, {}) ||
        renderer.Choice() != render::ChainChoice::Requested) {
      std::fprintf(stderr, "shader_effects: no OpenGL chain for %s, nothing measured\n",
                   render::EffectLabel(effect));
      return 0;
    }
    long frames = 0;
    const double cpuStart = bench::ProcessSeconds();
    const auto start = std::chrono::steady_clock::now();
    double seconds = 0;
    while (seconds < bench::MinSeconds() || frames < 20) {
      for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = ((i / 8 + static_cast<size_t>(frames)) % 2) ? 0xCACACA : 0x0000CA;
      renderer.Draw(picture.data());
      ++frames;
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::string name = render::EffectLabel(effect);
    for (char& c : name)
      if (c == ' ') c = '_';
    bench::PrintFigure("shader_effects.scale3." + name, seconds / frames * 1e6, "us/frame");
    // The processor time, the software renderer's threads included: what an unloaded machine
    // needs, spread over its cores.
    bench::PrintFigure("shader_effects.scale3_cpu." + name,
                       (bench::ProcessSeconds() - cpuStart) / frames * 1e6, "us/frame");
  }
  return 0;
}
