// The module's one entry point: the table of plain functions orvo-run calls through once it has
// loaded liborvo_shader.so. Each handle holds the GUI application, the offscreen renderer and the
// text of the last error.
#include "host/shader_module.h"

#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "render/display_check.h"
#include "render/offscreen_render.h"
#include "render/shader_effects.h"

namespace orvo {
namespace {

struct Handle {
  // The renderer goes before the application that its OpenGL context belongs to.
  std::unique_ptr<QGuiApplication> app;
  std::unique_ptr<render::OffscreenRenderer> renderer;
  std::string error;

  ~Handle() {
    renderer.reset();
    app.reset();
  }
};

Handle& Of(void* renderer) {
  return *static_cast<Handle*>(renderer);
}

bool Start(Handle& h, int* argc, char** argv, const ShaderModuleSettings& settings) {
  const std::string presetPath = settings.presetPath != nullptr ? settings.presetPath : "";
  ShaderPreset preset;
  if (!presetPath.empty()) {
    if (!render::LoadPresetFile(presetPath, preset, &h.error)) return false;
  } else {
    preset = render::EffectPreset(settings.effect);
  }
  if (const std::string missing = render::MissingDisplayReason(); !missing.empty()) {
    h.error = "--shader needs a display: " + missing;
    return false;
  }
  std::vector<std::pair<std::string, float>> parameters;
  for (int i = 0; i < settings.parameterCount; ++i)
    parameters.emplace_back(settings.parameters[i].name, settings.parameters[i].value);
  render::InstallPlatformStartHandler();
  h.app = std::make_unique<QGuiApplication>(*argc, argv);
  render::UndoPlatformStartHandler();
  h.renderer = std::make_unique<render::OffscreenRenderer>();
  const bool gl = h.renderer->Start(preset, settings.scale, parameters);
  const char* label =
      presetPath.empty() ? render::EffectLabel(settings.effect) : settings.presetPath;
  if (!gl) {
    std::fprintf(stderr, "orvo-run: no OpenGL context; the plain picture is used\n");
    std::fprintf(stderr, "Shader: none (no OpenGL)\n");
  } else if (h.renderer->Choice() == render::ChainChoice::Requested) {
    std::fprintf(stderr, "Shader: %s\n", label);
  } else {
    std::fprintf(stderr, "Shader: %s failed, %s\n", label,
                 h.renderer->Choice() == render::ChainChoice::NoShader ? "No Shader used"
                                                                       : "plain picture used");
  }
  return true;
}

int Render(Handle& h, const uint32_t* pixels, uint32_t* out) {
  if (!h.renderer) return 0;
  const QImage image = h.renderer->Render(pixels);
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    uint32_t* to = out + static_cast<size_t>(y) * image.width();
    for (int x = 0; x < image.width(); ++x) to[x] = row[x] & 0x00FFFFFFu;
  }
  return 1;
}

const ShaderModuleApi kApi = {
    kShaderModuleVersion,
    []() -> void* { return new (std::nothrow) Handle; },
    [](void* renderer) { delete static_cast<Handle*>(renderer); },
    [](void* renderer, int* argc, char** argv, const ShaderModuleSettings* settings) -> int {
      return Start(Of(renderer), argc, argv, *settings) ? 1 : 0;
    },
    [](void* renderer, const uint32_t* pixels, uint32_t* out) -> int {
      return Render(Of(renderer), pixels, out);
    },
    [](const void* renderer) { return static_cast<const Handle*>(renderer)->error.c_str(); },
};

}  // namespace
}  // namespace orvo

// Of the type every module's entry has (host/module_loader.h), which the loader calls it through.
extern "C" __attribute__((visibility("default"))) const void* orvo_shader_module() {
  return &orvo::kApi;
}
