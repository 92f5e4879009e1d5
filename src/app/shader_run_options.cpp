#include "app/shader_run_options.h"

#include <cstdio>
#include <cstdlib>

#include "host/png_writer.h"

#ifdef ORVO_HAVE_RENDER
#include <QGuiApplication>

#include "render/display_check.h"
#include "render/offscreen_render.h"
#include "render/shader_effects.h"
#endif

namespace orvo {

const char kShaderRunHelp[] =
    "Shaders (the picture through the OpenGL shader chain; needs a display, e.g. xvfb-run):\n"
    "  --shader N         built-in effect N: 0 No Shader, 1 One Pass, 2 Dotmask, 3 Scanlines,\n"
    "                     4 Curved CRT, 5 Aperture; --screenshot writes the effect's picture\n"
    "  --shader-preset F  a .glslp shader preset instead of a built-in effect\n"
    "  --scale S          1, 2 or 3: the picture's size (default 1)\n"
    "  --shader-param NAME=VALUE  set a shader parameter (repeatable)\n";

namespace {

bool ParseSmallInt(const std::string& text, int low, int high, int* value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

int ParseShaderRunOption(const std::vector<std::string>& args, size_t& i, ShaderRunOptions& options,
                         std::string* error) {
  const std::string& a = args[i];
  if (a != "--shader" && a != "--shader-preset" && a != "--scale" && a != "--shader-param")
    return 0;
  if (i + 1 >= args.size()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& v = args[++i];
  if (a == "--shader") {
    if (!ParseSmallInt(v, 0, 5, &options.effect)) {
      *error = "--shader needs an effect number, 0 to 5";
      return -1;
    }
  } else if (a == "--shader-preset") {
    if (v.empty()) {
      *error = "--shader-preset needs a file name";
      return -1;
    }
    options.presetPath = v;
  } else if (a == "--scale") {
    if (!ParseSmallInt(v, 1, 3, &options.scale)) {
      *error = "--scale needs 1, 2 or 3";
      return -1;
    }
  } else {
    const size_t eq = v.find('=');
    char* end = nullptr;
    const float value = eq == std::string::npos ? 0.f : std::strtof(v.c_str() + eq + 1, &end);
    if (eq == 0 || eq == std::string::npos || end == v.c_str() + eq + 1 || *end != '\0') {
      *error = "--shader-param needs NAME=VALUE";
      return -1;
    }
    options.parameters.emplace_back(v.substr(0, eq), value);
  }
  return 1;
}

#ifdef ORVO_HAVE_RENDER
struct ShaderRun::State {
  std::unique_ptr<QGuiApplication> app;
  render::OffscreenRenderer renderer;
};
#else
struct ShaderRun::State {};
#endif

ShaderRun::ShaderRun(ShaderRunOptions options) : options_(std::move(options)) {}
ShaderRun::~ShaderRun() = default;

bool ShaderRun::Start(int& argc, char** argv, std::string* error) {
  if (!Active()) return true;
#ifdef ORVO_HAVE_RENDER
  ShaderPreset preset;
  if (!options_.presetPath.empty()) {
    if (!render::LoadPresetFile(options_.presetPath, preset, error)) return false;
  } else {
    preset = render::EffectPreset(options_.effect);
  }
  if (const std::string missing = render::MissingDisplayReason(); !missing.empty()) {
    *error = "--shader needs a display: " + missing;
    return false;
  }
  state_ = std::make_unique<State>();
  render::InstallPlatformStartHandler();
  state_->app = std::make_unique<QGuiApplication>(argc, argv);
  render::UndoPlatformStartHandler();
  const bool gl = state_->renderer.Start(preset, options_.scale, options_.parameters);
  const char* label = options_.presetPath.empty() ? render::EffectLabel(options_.effect)
                                                  : options_.presetPath.c_str();
  if (!gl) {
    std::fprintf(stderr, "orvo-run: no OpenGL context; the plain picture is used\n");
    std::fprintf(stderr, "Shader: none (no OpenGL)\n");
  } else if (state_->renderer.Choice() == render::ChainChoice::Requested) {
    std::fprintf(stderr, "Shader: %s\n", label);
  } else {
    std::fprintf(stderr, "Shader: %s failed, %s\n", label,
                 state_->renderer.Choice() == render::ChainChoice::NoShader ? "No Shader used"
                                                                            : "plain picture used");
  }
  return true;
#else
  (void)argc;
  (void)argv;
  *error = "this orvo-run was built without OpenGL: --shader is not available";
  return false;
#endif
}

std::vector<uint32_t> ShaderRun::Render(const uint32_t* pixels) {
  std::vector<uint32_t> out;
#ifdef ORVO_HAVE_RENDER
  if (!state_) return out;
  const QImage image = state_->renderer.Render(pixels);
  out.resize(static_cast<size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      out[static_cast<size_t>(y) * image.width() + x] = row[x] & 0x00FFFFFFu;
  }
#else
  (void)pixels;
#endif
  return out;
}

bool ShaderRun::WriteScreenshot(const std::string& path, const uint32_t* pixels,
                                std::string* error) {
  const std::vector<uint32_t> picture = Render(pixels);
  if (picture.empty()) {
    *error = "no shader picture";
    return false;
  }
  return WritePng(path, picture.data(), 352 * options_.scale, 296 * options_.scale, error);
}

}  // namespace orvo
