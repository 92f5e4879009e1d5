#include "render/offscreen_render.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <algorithm>

#include "render/shader_chain.h"

namespace orvo::render {

QImage ScalePlain(const uint32_t* pixels, int scale) {
  scale = std::clamp(scale, 1, 4);
  QImage image(kVideoWidth * scale, kVideoHeight * scale, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    const uint32_t* src = pixels + (y / scale) * kVideoWidth;
    for (int x = 0; x < image.width(); ++x) row[x] = src[x / scale] | 0xFF000000u;
  }
  return image;
}

OffscreenRender RenderOffscreen(const uint32_t* pixels, const ShaderPreset& preset, int scale,
                                const std::vector<std::pair<std::string, float>>& parameters,
                                int frames) {
  OffscreenRender out;
  scale = std::clamp(scale, 1, 4);
  QOpenGLContext context;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface)) {
    out.image = ScalePlain(pixels, scale);
    return out;
  }
  out.openGl = true;
  const int width = kVideoWidth * scale, height = kVideoHeight * scale;
  {
    QOpenGLFramebufferObject target(width, height);
    ShaderChain chain;
    out.choice = SetUpChain(chain, preset, &out.log);
    if (out.choice == ChainChoice::None) {
      out.image = ScalePlain(pixels, scale);
    } else {
      for (ShaderParameter& p : chain.Parameters())
        for (const auto& [name, value] : parameters)
          if (p.name == name) p.value = ClampParameter(p, value);
      for (int i = 0; i < std::max(frames, 1); ++i)
        chain.Render(pixels, scale, width, height, target.handle());
      context.functions()->glFinish();
      out.image = target.toImage().convertToFormat(QImage::Format_RGB32);
    }
    chain.Release();
  }
  context.doneCurrent();
  return out;
}

}  // namespace orvo::render
