#include "ui/display_extras.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/movie_writer.h"
#include "render/shader_effects.h"
#include "shell/emulator.h"
#include "ui/main_window.h"
#include "ui/picture_view.h"

namespace orvo::ui {

namespace {

constexpr int kStatusEveryFrames = 25;  // the movie's status text, twice a second

}  // namespace

DisplayExtras::DisplayExtras(MainWindow& window)
    : QObject(&window), window_(window), emu_(window.Emu()) {
  emu_.menu.Enable(CommandId::StopMovie, false);
}

DisplayExtras::~DisplayExtras() {
  if (emu_.m.sound.Tap == this) emu_.m.sound.Tap = nullptr;
  // Closing the window while recording keeps what was recorded.
  if (movie_) {
    std::string error;
    if (!movie_->Finish(&error)) std::fprintf(stderr, "%s\n", error.c_str());
  }
}

GlPictureView* DisplayExtras::ShaderView() const {
  return dynamic_cast<GlPictureView*>(view_);
}

int DisplayExtras::ParameterSlot() const {
  if (!emu_.settings.ShaderPreset.empty()) return -1;
  return std::clamp(emu_.settings.OptShader, 0, render::kEffectCount - 1);
}

void DisplayExtras::ApplyShader(PictureView* view) {
  view_ = view;
  GlPictureView* gl = ShaderView();
  if (gl == nullptr) return;
  Settings& s = emu_.settings;
  if (s.DrawMode != 2) {
    gl->SetShader(std::nullopt, 1);
    return;
  }
  ShaderPreset preset;
  if (!s.ShaderPreset.empty()) {
    std::string error;
    if (!render::LoadPresetFile(s.ShaderPreset, preset, &error)) {
      // A preset that went missing is forgotten; the built-in effect takes over.
      emu_.ShowMessage(CaptionId::Display, kMsgShaderPreset, error);
      s.ShaderPreset.clear();
    }
  }
  if (s.ShaderPreset.empty()) preset = render::EffectPreset(s.OptShader);
  const int scale = s.DrawSize >= 1 && s.DrawSize <= 3 ? s.DrawSize : 1;
  gl->onShaderFailure = [this](const std::string& log) {
    emu_.host.ShowPlainMessage("GLSL ERROR", log);
  };
  gl->onShaderBuilt = [this] { ApplySavedValues(); };
  gl->SetShader(std::move(preset), scale);
}

void DisplayExtras::ApplySavedValues() {
  GlPictureView* gl = ShaderView();
  const int slot = ParameterSlot();
  if (gl == nullptr || slot < 0 || gl->ShaderFellBack()) return;
  const auto values =
      ParseParameterValues(emu_.settings.ShaderParameters[static_cast<size_t>(slot)]);
  for (ShaderParameter& p : gl->ShaderParameters())
    for (const auto& [name, value] : values)
      if (p.name == name) p.value = ClampParameter(p, value);
}

void DisplayExtras::SaveValues() {
  GlPictureView* gl = ShaderView();
  const int slot = ParameterSlot();
  if (gl == nullptr || slot < 0 || gl->ShaderFellBack()) return;
  // Only the values that differ from the source's are kept, so a changed default reaches users.
  std::vector<std::pair<std::string, float>> changed;
  for (const ShaderParameter& p : gl->ShaderParameters())
    if (p.value != p.initial) changed.emplace_back(p.name, p.value);
  emu_.settings.ShaderParameters[static_cast<size_t>(slot)] = FormatParameterValues(changed);
}

// ---- the parameters dialog ----

void DisplayExtras::ShowParameters() {
  if (parameters_ != nullptr) {
    parameters_->raise();
    parameters_->activateWindow();
    return;
  }
  GlPictureView* gl = ShaderView();
  auto* dialog = new QDialog(&window_);
  parameters_ = dialog;
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("shaderParameters"));
  const QString effect = QString::fromStdString(
      emu_.settings.ShaderPreset.empty()
          ? render::EffectLabel(emu_.settings.OptShader)
          : QFileInfo(QString::fromStdString(emu_.settings.ShaderPreset)).fileName().toStdString());
  dialog->setWindowTitle(QStringLiteral("Shader Parameters - ") + effect);
  connect(dialog, &QObject::destroyed, this, [this] { parameters_ = nullptr; });
  auto* outer = new QVBoxLayout(dialog);
  std::vector<ShaderParameter>* params =
      gl != nullptr && emu_.settings.DrawMode == 2 ? &gl->ShaderParameters() : nullptr;
  if (params == nullptr || params->empty()) {
    outer->addWidget(new QLabel(emu_.settings.DrawMode == 2
                                    ? QStringLiteral("This effect has no parameters.")
                                    : QStringLiteral("Choose \"OpenGL Shaders\" in Tools, Options, "
                                                     "Display to use a shader effect.")));
  } else {
    auto* area = new QScrollArea(dialog);
    auto* inner = new QWidget(area);
    auto* form = new QFormLayout(inner);
    std::vector<std::function<void()>> resets;
    for (size_t i = 0; i < params->size(); ++i) {
      const ShaderParameter& p = (*params)[i];
      // Each slider position is one step; a parameter without a step gets a hundred.
      const float step = p.step > 0 ? p.step : (p.maximum - p.minimum) / 100.f;
      const int positions =
          step > 0 ? std::min(10000, static_cast<int>(std::lround((p.maximum - p.minimum) / step)))
                   : 0;
      auto* row = new QWidget(inner);
      auto* h = new QHBoxLayout(row);
      h->setContentsMargins(0, 0, 0, 0);
      auto* slider = new QSlider(Qt::Horizontal, row);
      slider->setObjectName(QString::fromStdString(p.name));
      slider->setRange(0, positions);
      slider->setMinimumWidth(200);
      auto* value = new QLabel(row);
      value->setMinimumWidth(60);
      h->addWidget(slider, 1);
      h->addWidget(value);
      auto toValue = [p, step](int position) {
        return ClampParameter(p, p.minimum + static_cast<float>(position) * step);
      };
      auto show = [value](float v) { value->setText(QString::number(v, 'g', 4)); };
      slider->setValue(step > 0 ? static_cast<int>(std::lround((p.value - p.minimum) / step)) : 0);
      show(p.value);
      connect(slider, &QSlider::valueChanged, this, [this, gl, i, toValue, show](int position) {
        std::vector<ShaderParameter>& list = gl->ShaderParameters();
        if (i >= list.size()) return;
        list[i].value = toValue(position);
        show(list[i].value);
        SaveValues();
        gl->update();
      });
      // Reset gives the source's own value exactly, even where it lies between two steps.
      resets.push_back([gl, i, slider, p, step, show] {
        const QSignalBlocker quiet(slider);
        slider->setValue(step > 0 ? static_cast<int>(std::lround((p.initial - p.minimum) / step))
                                  : 0);
        std::vector<ShaderParameter>& list = gl->ShaderParameters();
        if (i < list.size()) list[i].value = list[i].initial;
        show(p.initial);
      });
      form->addRow(QString::fromStdString(p.description), row);
    }
    area->setWidget(inner);
    area->setWidgetResizable(true);
    outer->addWidget(area);
    auto* reset = new QPushButton(QStringLiteral("Reset"), dialog);
    reset->setObjectName(QStringLiteral("reset"));
    connect(reset, &QPushButton::clicked, this, [this, gl, resets] {
      for (const auto& r : resets) r();
      SaveValues();
      gl->update();
    });
    outer->addWidget(reset, 0, Qt::AlignLeft);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  outer->addWidget(buttons);
  dialog->resize(520, std::min(640, 120 + 34 * static_cast<int>(params ? params->size() : 1)));
  dialog->show();
}

// ---- presets ----

void DisplayExtras::LoadPreset() {
  const QString path =
      QFileDialog::getOpenFileName(&window_, QStringLiteral("Load Shader Preset"), QString(),
                                   QStringLiteral("GLSL shader presets (*.glslp);;All files (*)"));
  if (path.isEmpty()) return;
  ShaderPreset preset;
  std::string error;
  if (!render::LoadPresetFile(path.toStdString(), preset, &error)) {
    emu_.ShowMessage(CaptionId::Display, kMsgShaderPreset, error);
    return;
  }
  if (parameters_ != nullptr) parameters_->close();
  emu_.settings.ShaderPreset = path.toStdString();
  emu_.settings.DrawMode = 2;
  emu_.PendingSettings.DrawMode = 2;
  window_.SetUpDisplay();
}

void DisplayExtras::ClearPreset() {
  if (parameters_ != nullptr) parameters_->close();
  emu_.settings.ShaderPreset.clear();
  window_.SetUpDisplay();
}

// ---- movies ----

bool DisplayExtras::Recording() const {
  return movie_ != nullptr;
}

void DisplayExtras::TakeFrame(const uint8_t* data, uint32_t bytes) {
  if (!movie_) return;
  pendingSound_.insert(pendingSound_.end(), data, data + bytes);
  // Never more than a few frames ahead of the picture (the sound runs on while paused).
  const size_t limit = static_cast<size_t>(emu_.m.sound.FrameBytes) * 8;
  if (pendingSound_.size() > limit)
    pendingSound_.erase(pendingSound_.begin(),
                        pendingSound_.begin() + static_cast<long>(pendingSound_.size() - limit));
}

void DisplayExtras::RecordMovie() {
  if (movie_) return;
  ModalScope paused(&window_);
  const QString path =
      QFileDialog::getSaveFileName(&window_, QStringLiteral("Record Movie"), QString(),
                                   QStringLiteral("MP4 movies (*.mp4);;Matroska movies (*.mkv)"));
  if (path.isEmpty()) return;
  GlPictureView* gl = ShaderView();
  movieAfterEffect_ = false;
  if (gl != nullptr && emu_.settings.DrawMode == 2) {
    movieAfterEffect_ =
        QMessageBox::question(&window_, QStringLiteral("Record Movie"),
                              QStringLiteral("Record the picture with the shader effect?\n"
                                             "(No records the plain 352 x 296 picture.)")) ==
        QMessageBox::Yes;
  }
  MovieFormat format;
  if (movieAfterEffect_) {
    const QImage grab = gl->Grab();
    format.width = grab.width() & ~1;
    format.height = grab.height() & ~1;
  }
  const WaveFormat& wave = emu_.m.sound.format;
  format.channels = wave.channels;
  format.bitsPerSample = wave.bitsPerSample;
  format.samplesPerFrame =
      wave.blockAlign > 0 ? static_cast<int>(emu_.m.sound.FrameBytes / wave.blockAlign) : 0;
  format.withSound = format.samplesPerFrame > 0;
  movieSize_ = QSize(format.width, format.height);
  auto writer = std::make_unique<MovieWriter>();
  std::string error;
  if (!writer->Open(path.toStdString(), format, &error)) {
    emu_.ShowMessage(CaptionId::File, kMsgMovieFailed, error);
    return;
  }
  movie_ = std::move(writer);
  pendingSound_.clear();
  lastFrameCount_ = emu_.m.FrameCount;
  emu_.m.sound.Tap = this;
  if (movieLabel_ == nullptr) {
    movieLabel_ = new QLabel(&window_);
    movieLabel_->setObjectName(QStringLiteral("movieStatus"));
    window_.statusBar()->addPermanentWidget(movieLabel_);
  }
  movieLabel_->show();
  UpdateMovieStatus();
  emu_.menu.Enable(CommandId::RecordMovie, false);
  emu_.menu.Enable(CommandId::StopMovie, true);
  window_.RefreshMenuStates();
}

void DisplayExtras::StopMovie() {
  if (!movie_) return;
  if (emu_.m.sound.Tap == this) emu_.m.sound.Tap = nullptr;
  std::string error;
  const bool ok = movie_->Finish(&error);
  movie_.reset();
  if (movieLabel_ != nullptr) movieLabel_->hide();
  emu_.menu.Enable(CommandId::RecordMovie, true);
  emu_.menu.Enable(CommandId::StopMovie, false);
  window_.RefreshMenuStates();
  if (!ok) emu_.ShowMessage(CaptionId::File, kMsgMovieFailed, error);
}

void DisplayExtras::UpdateMovieStatus() {
  if (!movie_ || movieLabel_ == nullptr) return;
  const int64_t frames = movie_->Frames();
  const double megabytes = static_cast<double>(movie_->BytesWritten()) / (1024.0 * 1024.0);
  movieLabel_->setText(QStringLiteral(" Movie %1:%2  %3 MB ")
                           .arg(frames / 50 / 60)
                           .arg(frames / 50 % 60, 2, 10, QLatin1Char('0'))
                           .arg(megabytes, 0, 'f', 1));
}

void DisplayExtras::FramePresented(const uint32_t* pixels) {
  if (!movie_ || pixels == nullptr) return;
  // With Frameskip the picture stands for several frames: each gets its own video frame.
  const uint64_t now = emu_.m.FrameCount;
  const uint64_t frames = std::clamp<uint64_t>(now - lastFrameCount_, 1, 10);
  lastFrameCount_ = now;
  QImage effect;
  const uint32_t* picture = pixels;
  const int stride = 352;
  if (movieAfterEffect_) {
    if (GlPictureView* gl = ShaderView()) effect = gl->Grab();
    if (effect.isNull())
      effect = QImage(reinterpret_cast<const uchar*>(pixels), 352, 296, QImage::Format_RGB32);
    // The window may have changed size since the recording began: the movie keeps its own.
    if (effect.size() != movieSize_) effect = effect.scaled(movieSize_);
    effect = effect.convertToFormat(QImage::Format_RGB32);
    picture = nullptr;
  }
  const size_t bytes = emu_.m.sound.FrameBytes;
  std::vector<uint8_t> sound;
  std::string error;
  for (uint64_t i = 0; i < frames; ++i) {
    if (pendingSound_.size() >= bytes) {
      sound.assign(pendingSound_.begin(), pendingSound_.begin() + static_cast<long>(bytes));
      pendingSound_.erase(pendingSound_.begin(), pendingSound_.begin() + static_cast<long>(bytes));
    } else {
      sound.clear();  // silence
    }
    bool ok = true;
    if (picture != nullptr) {
      ok = movie_->AddFrame(picture, stride, sound.data(), static_cast<uint32_t>(sound.size()),
                            &error);
    } else {
      const QImage& image = effect;
      ok = movie_->AddFrame(reinterpret_cast<const uint32_t*>(image.constBits()),
                            static_cast<int>(image.bytesPerLine() / 4), sound.data(),
                            static_cast<uint32_t>(sound.size()), &error);
    }
    if (!ok) {
      if (emu_.m.sound.Tap == this) emu_.m.sound.Tap = nullptr;
      movie_->Abandon();
      movie_.reset();
      if (movieLabel_ != nullptr) movieLabel_->hide();
      emu_.menu.Enable(CommandId::RecordMovie, true);
      emu_.menu.Enable(CommandId::StopMovie, false);
      window_.RefreshMenuStates();
      emu_.ShowMessage(CaptionId::File, kMsgMovieFailed, error);
      return;
    }
  }
  if (movie_->Frames() % kStatusEveryFrames < static_cast<int64_t>(frames)) UpdateMovieStatus();
}

}  // namespace orvo::ui
