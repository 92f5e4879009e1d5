#include "ui/picture_view.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QSurfaceFormat>
#include <QTimer>

#include "render/shader_effects.h"

namespace orvo::ui {

PictureView::PictureView() : picture_(kPictureWidth, kPictureHeight, QImage::Format_RGB32) {
  picture_.fill(Qt::black);
}

void PictureView::SetPicture(const uint32_t* pixels) {
  if (pixels == nullptr) return;
  for (int y = 0; y < kPictureHeight; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(picture_.scanLine(y));
    const uint32_t* src = pixels + y * kPictureWidth;
    // Format_RGB32 wants the unused top byte set.
    for (int x = 0; x < kPictureWidth; ++x) row[x] = src[x] | 0xFF000000u;
  }
  dirty_ = true;
  ScheduleRepaint();
}

void PictureView::ScheduleRepaint() {
  // At full speed frames come far faster than any screen shows them: repaint at most once per
  // kMinRepaintMs, the last picture winning.
  if (repaintPending_) return;
  const qint64 since = sinceRepaint_.isValid() ? sinceRepaint_.elapsed() : kMinRepaintMs;
  if (since >= kMinRepaintMs) {
    sinceRepaint_.start();
    Widget()->update();
    return;
  }
  repaintPending_ = true;
  QTimer::singleShot(static_cast<int>(kMinRepaintMs - since), Widget(), [this] {
    repaintPending_ = false;
    sinceRepaint_.start();
    Widget()->update();
  });
}

// ---- software ----

SoftwarePictureView::SoftwarePictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void SoftwarePictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // drop pixels, never blend
  painter.drawImage(rect(), picture_);
  dirty_ = false;
}

QImage SoftwarePictureView::Grab() {
  return grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// ---- OpenGL ----

namespace {

const char* const kVertexShader = R"(
attribute vec2 position;
varying vec2 texCoord;
void main() {
  texCoord = vec2((position.x + 1.0) * 0.5, (1.0 - position.y) * 0.5);
  gl_Position = vec4(position, 0.0, 1.0);
}
)";

const char* const kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D picture;
varying vec2 texCoord;
void main() {
  gl_FragColor = vec4(texture2D(picture, texCoord).rgb, 1.0);
}
)";

}  // namespace

GlPictureView::GlPictureView(QWidget* parent, bool vsync) : QOpenGLWidget(parent), vsync_(vsync) {
  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setSwapInterval(vsync ? 1 : 0);
  setFormat(format);
  setFocusPolicy(Qt::NoFocus);
}

GlPictureView::~GlPictureView() {
  ReleaseGl();
}

void GlPictureView::ReleaseGl() {
  if (!ready_ && texture_ == 0 && !program_) return;
  if (context() != nullptr) {
    makeCurrent();
    if (texture_ != 0) glDeleteTextures(1, &texture_);
    program_.reset();
    chain_.Release();
    doneCurrent();
  }
  texture_ = 0;
  ready_ = false;
  chainDirty_ = preset_.has_value();  // a new context builds the chain again
}

void GlPictureView::SetShader(std::optional<ShaderPreset> preset, int sourceScale) {
  preset_ = std::move(preset);
  sourceScale_ = sourceScale;
  chainDirty_ = true;
  update();
}

void GlPictureView::BuildChain() {
  chainDirty_ = false;
  fellBack_ = false;
  chain_.Release();
  if (!preset_) return;
  std::string log;
  const render::ChainChoice choice = render::SetUpChain(chain_, *preset_, &log);
  if (choice != render::ChainChoice::Requested) {
    fellBack_ = true;
    // The box waits until the paint is over; the picture goes on meanwhile.
    QTimer::singleShot(0, this, [this, log] {
      if (onShaderFailure) onShaderFailure(log);
    });
  }
  if (onShaderBuilt) onShaderBuilt();
}

void GlPictureView::initializeGL() {
  initializeOpenGLFunctions();
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GlPictureView::ReleaseGl,
          Qt::DirectConnection);
  program_ = std::make_unique<QOpenGLShaderProgram>();
  bool ok = program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
            program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader);
  program_->bindAttributeLocation("position", 0);
  ok = ok && program_->link();
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  // Nearest-neighbour both ways: every Spectrum pixel becomes a sharp block.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // Uploaded as R, G, B, A bytes, the one byte order every OpenGL (and OpenGL ES) accepts.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kPictureWidth, kPictureHeight, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
  ready_ = ok;
  dirty_ = true;
}

void GlPictureView::paintGL() {
  if (chainDirty_) BuildChain();
  if (chain_.Ready()) {
    const qreal ratio = devicePixelRatioF();
    // Format_RGB32 rows are 0xFFRRGGBB words; the chain reads the colour bytes only.
    chain_.Render(reinterpret_cast<const uint32_t*>(picture_.constBits()), sourceScale_,
                  static_cast<int>(width() * ratio), static_cast<int>(height() * ratio),
                  defaultFramebufferObject());
    dirty_ = true;  // the plain path's texture was not refreshed
    return;
  }
  if (!ready_) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  glBindTexture(GL_TEXTURE_2D, texture_);
  if (dirty_) {
    const QImage rgba = picture_.convertToFormat(QImage::Format_RGBA8888);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kPictureWidth, kPictureHeight, GL_RGBA,
                    GL_UNSIGNED_BYTE, rgba.constBits());
    dirty_ = false;
  }
  const qreal ratio = devicePixelRatioF();
  glViewport(0, 0, static_cast<GLsizei>(width() * ratio), static_cast<GLsizei>(height() * ratio));
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  program_->bind();
  program_->setUniformValue("picture", 0);
  static const GLfloat kQuad[] = {-1.f, -1.f, 1.f, -1.f, -1.f, 1.f, 1.f, 1.f};
  program_->enableAttributeArray(0);
  program_->setAttributeArray(0, GL_FLOAT, kQuad, 2);
  glActiveTexture(GL_TEXTURE0);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program_->disableAttributeArray(0);
  program_->release();
}

QImage GlPictureView::Grab() {
  return grabFramebuffer().convertToFormat(QImage::Format_RGB32);
}

bool PlatformSupportsOpenGl() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  // A platform that has OpenGL may still lack a working driver: try a context once.
  static const bool works = [] {
    QOpenGLContext probe;
    return probe.create();
  }();
  return works;
}

PictureView* MakePictureView(QWidget* parent, int drawMode, bool vsync) {
  if (drawMode != 0 && PlatformSupportsOpenGl()) {
    // The window that shows an OpenGL widget swaps with the default format's interval; it takes
    // it when its native window is made.
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setSwapInterval(vsync ? 1 : 0);
    QSurfaceFormat::setDefaultFormat(format);
    return new GlPictureView(parent, vsync);
  }
  return new SoftwarePictureView(parent);
}

}  // namespace orvo::ui
