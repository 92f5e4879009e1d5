#pragma once
// Drawing the picture through a shader chain without a window: an offscreen surface, its own
// OpenGL context and a framebuffer read back as an image. Needs a QGuiApplication on a platform
// with OpenGL (xcb, also under Xvfb).
#include <QImage>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "formats/shader_preset.h"
#include "render/shader_effects.h"

namespace orvo::render {

struct OffscreenRender {
  QImage image;  // scale x 352 by scale x 296, Format_RGB32
  ChainChoice choice = ChainChoice::None;
  bool openGl = false;  // false: no context could be made; `image` is the plain picture scaled
  std::string log;      // the compiler's log of a failing preset
};

// Draws `pixels` (352 x 296, 0x00RRGGBB) through `preset` at `scale` (1..3), `frames` times (so
// the frame counter advances as it would on screen), with the parameter values given by name.
OffscreenRender RenderOffscreen(const uint32_t* pixels, const ShaderPreset& preset, int scale,
                                const std::vector<std::pair<std::string, float>>& parameters,
                                int frames = 1);

// The plain picture scaled by whole pixels, as the software display shows it.
QImage ScalePlain(const uint32_t* pixels, int scale);

}  // namespace orvo::render
