#include "app/shader_run_options.h"

#include <cstdio>
#include <cstdlib>

#include "host/module_loader.h"
#include "host/png_writer.h"
#include "host/shader_module.h"

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

// The renderer and Qt come with the module, loaded by the first run that asks for a shader.
struct ShaderRun::State {
  const ShaderModuleApi* api = nullptr;
  void* renderer = nullptr;

  ~State() {
    if (renderer != nullptr) api->destroy(renderer);
  }
};

ShaderRun::ShaderRun(ShaderRunOptions options) : options_(std::move(options)) {}
ShaderRun::~ShaderRun() = default;

bool ShaderRun::Start(int& argc, char** argv, std::string* error) {
  if (!Active()) return true;
#ifdef ORVO_SHADER_BUILD_PATH
  const ModuleLoad module = LoadModule(kShaderModuleFile, kShaderModuleEntry, kShaderModuleVersion,
                                       ORVO_SHADER_BUILD_PATH, "Shader: ", "the shader renderer");
  if (module.table == nullptr) {
    *error = module.error;
    return false;
  }
  auto state = std::make_unique<State>();
  state->api = static_cast<const ShaderModuleApi*>(module.table);
  state->renderer = state->api->create();
  if (state->renderer == nullptr) {
    *error = "Shader: out of memory";
    return false;
  }
  std::vector<ShaderModuleParameter> parameters;
  for (const auto& [name, value] : options_.parameters)
    parameters.push_back(ShaderModuleParameter{name.c_str(), value});
  const ShaderModuleSettings settings = {
      options_.effect, options_.presetPath.empty() ? nullptr : options_.presetPath.c_str(),
      options_.scale, parameters.data(), static_cast<int>(parameters.size())};
  if (state->api->start(state->renderer, &argc, argv, &settings) == 0) {
    *error = state->api->lastError(state->renderer);
    return false;
  }
  state_ = std::move(state);
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
  if (!state_) return out;
  out.resize(static_cast<size_t>(352 * options_.scale) * (296 * options_.scale));
  if (state_->api->render(state_->renderer, pixels, out.data()) == 0) out.clear();
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
