#pragma once
// The two ways of showing the 352 x 296 picture: DrawMode 0 paints it with QPainter
// (nearest-neighbour), DrawMode 1 draws it as an OpenGL texture. Both scale it to their own size.
#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "formats/shader_preset.h"
#include "render/shader_chain.h"

class QOpenGLShaderProgram;
class QOpenGLTexture;

namespace orvo::ui {

constexpr int kPictureWidth = 352;
constexpr int kPictureHeight = 296;

class PictureView {
 public:
  virtual ~PictureView() = default;
  virtual QWidget* Widget() = 0;
  // Copies a finished picture (352 x 296, 0x00RRGGBB) and schedules a repaint.
  void SetPicture(const uint32_t* pixels);
  const QImage& Picture() const { return picture_; }
  // What the view shows, read back at its own size.
  virtual QImage Grab() = 0;
  virtual bool IsOpenGl() const = 0;

 protected:
  PictureView();
  void ScheduleRepaint();
  static constexpr qint64 kMinRepaintMs = 10;
  QImage picture_;  // Format_RGB32
  bool dirty_ = true;
  bool repaintPending_ = false;
  QElapsedTimer sinceRepaint_;
};

class SoftwarePictureView final : public QWidget, public PictureView {
  Q_OBJECT
 public:
  explicit SoftwarePictureView(QWidget* parent);
  QWidget* Widget() override { return this; }
  QImage Grab() override;
  bool IsOpenGl() const override { return false; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class GlPictureView final : public QOpenGLWidget, public PictureView, protected QOpenGLFunctions {
  Q_OBJECT
 public:
  // `vsync` chooses the swap interval (1 waits for the vertical blank, 0 does not).
  GlPictureView(QWidget* parent, bool vsync);
  ~GlPictureView() override;
  QWidget* Widget() override { return this; }
  QImage Grab() override;
  bool IsOpenGl() const override { return true; }
  bool Vsync() const { return vsync_; }
  // False when the context could not be made or the shaders failed.
  bool Ready() const { return ready_; }

  // DrawMode 2: draws through `preset`'s shader chain (built at the next paint, in the view's
  // context); nullopt draws the plain picture. `sourceScale` (1..3) sizes the source texture.
  void SetShader(std::optional<ShaderPreset> preset, int sourceScale);
  // The chain's parameters (empty before the first paint and without a chain); change their
  // values and call update() to see them.
  std::vector<ShaderParameter>& ShaderParameters() { return chain_.Parameters(); }
  // False when the chain in use is not the one asked for (it fell back to "No Shader", or to the
  // plain picture).
  bool ShaderFellBack() const { return fellBack_; }
  // Called (once per failing SetShader) with the compiler's log after the fall-back.
  std::function<void(const std::string& log)> onShaderFailure;
  // Called after the chain was built, so parameter values can be applied.
  std::function<void()> onShaderBuilt;

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  void ReleaseGl();
  bool vsync_;
  bool ready_ = false;
  void BuildChain();
  std::unique_ptr<QOpenGLShaderProgram> program_;
  unsigned texture_ = 0;
  render::ShaderChain chain_;
  std::optional<ShaderPreset> preset_;
  int sourceScale_ = 1;
  bool chainDirty_ = false;
  bool fellBack_ = false;
};

// False on platforms where an OpenGL widget cannot be made (offscreen, minimal).
bool PlatformSupportsOpenGl();

// DrawMode 1 (and 2, which draws through the same path) gives an OpenGL view where the platform
// has one; everything else the software view. The view belongs to `parent`.
PictureView* MakePictureView(QWidget* parent, int drawMode, bool vsync);

}  // namespace orvo::ui
