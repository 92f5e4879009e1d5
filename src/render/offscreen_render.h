#pragma once
// Drawing the picture through a shader chain without a window: an offscreen surface, its own
// OpenGL context and a framebuffer read back as an image. Needs a QGuiApplication on a platform
// with OpenGL (xcb, also under Xvfb).
#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formats/shader_preset.h"
#include "render/shader_effects.h"

namespace orvo::render {

class OffscreenRenderer {
 public:
  OffscreenRenderer();
  ~OffscreenRenderer();

  // Sets the chain up for `preset` at `scale` (1..3) with the parameter values given by name,
  // falling back as SetUpChain does. False when no OpenGL context could be made: Render then
  // gives the plain picture scaled.
  bool Start(const ShaderPreset& preset, int scale,
             const std::vector<std::pair<std::string, float>>& parameters);
  // Draws one frame of `pixels` (352 x 296, 0x00RRGGBB): scale x 352 by scale x 296, RGB32.
  QImage Render(const uint32_t* pixels);
  // Draws one frame and waits for OpenGL to finish it, without reading it back (for timing).
  // False when there is no chain to draw through.
  bool Draw(const uint32_t* pixels);

  bool OpenGl() const { return openGl_; }
  ChainChoice Choice() const { return choice_; }
  const std::string& Log() const { return log_; }

 private:
  struct Gl;
  std::unique_ptr<Gl> gl_;
  int scale_ = 1;
  bool openGl_ = false;
  ChainChoice choice_ = ChainChoice::None;
  std::string log_;
};

// The plain picture scaled by whole pixels, as the software display shows it.
QImage ScalePlain(const uint32_t* pixels, int scale);

}  // namespace orvo::render
