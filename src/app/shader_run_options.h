#pragma once
// The headless runner's shader options: --shader N draws the picture through built-in effect N
// (0 "No Shader" ... 5 "Aperture"), --shader-preset FILE through a .glslp preset, at --scale S
// (1..3, the window's 100%, 200%, 300%), with --shader-param NAME=VALUE overriding parameters.
// The effect's picture is what --screenshot writes (and what --movie-effect records). The
// OpenGL context is an offscreen one, so a display (Xvfb will do) is needed only with these.
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvo {

struct ShaderRunOptions {
  int effect = -1;  // -1: no shader option given
  std::string presetPath;
  int scale = 1;
  std::vector<std::pair<std::string, float>> parameters;
};

extern const char kShaderRunHelp[];

int ParseShaderRunOption(const std::vector<std::string>& args, size_t& i, ShaderRunOptions& options,
                         std::string* error);

class ShaderRun {
 public:
  explicit ShaderRun(ShaderRunOptions options);
  ~ShaderRun();

  bool Active() const { return options_.effect >= 0 || !options_.presetPath.empty(); }
  int Scale() const { return options_.scale; }
  // Loads the shader module (host/shader_module.h) and starts the GUI application and the chain
  // in it (only when Active). False with `error` set when the module cannot be loaded, the preset
  // cannot be read, there is no display or Orvo was built without OpenGL. A shader that fails to
  // compile falls back to "No Shader", and a missing OpenGL to the plain picture, each noted on
  // standard error.
  bool Start(int& argc, char** argv, std::string* error);
  // The picture through the chain: Scale() x 352 by Scale() x 296 pixels, 0x00RRGGBB.
  std::vector<uint32_t> Render(const uint32_t* pixels);
  bool WriteScreenshot(const std::string& path, const uint32_t* pixels, std::string* error);

 private:
  struct State;
  ShaderRunOptions options_;
  std::unique_ptr<State> state_;
};

}  // namespace orvo
