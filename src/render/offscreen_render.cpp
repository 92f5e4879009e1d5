#include "render/offscreen_render.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
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

struct OffscreenRenderer::Gl {
  QOpenGLContext context;
  QOffscreenSurface surface;
  std::unique_ptr<QOpenGLFramebufferObject> target;
  ShaderChain chain;
};

OffscreenRenderer::OffscreenRenderer() = default;

OffscreenRenderer::~OffscreenRenderer() {
  if (gl_ && gl_->context.makeCurrent(&gl_->surface)) {
    gl_->chain.Release();
    gl_->target.reset();
    gl_->context.doneCurrent();
  }
}

bool OffscreenRenderer::Start(const ShaderPreset& preset, int scale,
                              const std::vector<std::pair<std::string, float>>& parameters) {
  scale_ = std::clamp(scale, 1, 4);
  gl_ = std::make_unique<Gl>();
  openGl_ = false;
  choice_ = ChainChoice::None;
  if (!gl_->context.create()) return false;
  gl_->surface.setFormat(gl_->context.format());
  gl_->surface.create();
  if (!gl_->surface.isValid() || !gl_->context.makeCurrent(&gl_->surface)) return false;
  openGl_ = true;
  gl_->target =
      std::make_unique<QOpenGLFramebufferObject>(kVideoWidth * scale_, kVideoHeight * scale_);
  choice_ = SetUpChain(gl_->chain, preset, &log_);
  for (ShaderParameter& p : gl_->chain.Parameters())
    for (const auto& [name, value] : parameters)
      if (p.name == name) p.value = ClampParameter(p, value);
  return true;
}

bool OffscreenRenderer::Draw(const uint32_t* pixels) {
  if (!openGl_ || choice_ == ChainChoice::None || !gl_->context.makeCurrent(&gl_->surface))
    return false;
  gl_->chain.Render(pixels, scale_, kVideoWidth * scale_, kVideoHeight * scale_,
                    gl_->target->handle());
  gl_->context.functions()->glFinish();
  return true;
}

QImage OffscreenRenderer::Render(const uint32_t* pixels) {
  if (!Draw(pixels)) return ScalePlain(pixels, scale_);
  return gl_->target->toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace orvo::render
