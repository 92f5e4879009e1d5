#pragma once
// What the window adds to the picture beyond showing it: the shader effect of DrawMode 2 (the
// built-in effect or the user's .glslp preset, its parameters and their dialog, the fall-back
// message) and movie recording with its status bar display.
#include <QObject>
#include <QSize>
#include <QString>
#include <memory>
#include <string>

#include "formats/shader_preset.h"
#include "sound/audio_device.h"

class QLabel;
class QDialog;

namespace orvo {
class Emulator;
class MovieWriter;
}  // namespace orvo

namespace orvo::ui {

class MainWindow;
class GlPictureView;
class PictureView;

class DisplayExtras final : public QObject, private SoundFrameSink {
  Q_OBJECT
 public:
  explicit DisplayExtras(MainWindow& window);
  ~DisplayExtras() override;

  // After the display was set up: gives an OpenGL view the chain DrawMode 2 asks for.
  void ApplyShader(PictureView* view);
  // Every presented frame: records it while a movie runs.
  void FramePresented(const uint32_t* pixels);

  // "Shader Parameters": a slider per parameter of the current effect, applied live.
  void ShowParameters();
  // "Load Shader Preset" / "Built-in Shader Effects": a .glslp file instead of the effect.
  void LoadPreset();
  void ClearPreset();
  // "Record Movie" / "Stop Movie".
  void RecordMovie();
  void StopMovie();
  bool Recording() const;

  // Which effect's saved values the parameters are (opt_shader), -1 for a user preset.
  int ParameterSlot() const;

 private:
  void TakeFrame(const uint8_t* data, uint32_t bytes) override;
  void ApplySavedValues();
  void SaveValues();
  void UpdateMovieStatus();
  GlPictureView* ShaderView() const;

  MainWindow& window_;
  Emulator& emu_;
  PictureView* view_ = nullptr;
  std::unique_ptr<MovieWriter> movie_;
  bool movieAfterEffect_ = false;
  QSize movieSize_;
  uint64_t lastFrameCount_ = 0;
  std::vector<uint8_t> pendingSound_;
  QLabel* movieLabel_ = nullptr;
  QDialog* parameters_ = nullptr;
};

}  // namespace orvo::ui
