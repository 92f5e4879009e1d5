#include "ui/qt_host.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/sdl_audio.h"
#include "host/sdl_controllers.h"
#include "shell/status_bar.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The program's message box: the text and an OK button, centred on the main window.
void RunMessageDialog(QWidget* parent, const QString& caption, const QString& text) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("ORVO_MESSAGEBOX"));
  dialog.setWindowTitle(caption);
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(text, &dialog);
  label->setObjectName(QStringLiteral("messageText"));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(280);
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  dialog.exec();
}

}  // namespace

QWidget* QtHost::DialogParent() const {
  return window_;
}

void QtHost::ShowText(std::string_view caption, std::string_view text) {
  if (messageSink) {
    messageSink(caption, text);
    return;
  }
  ModalScope scope(window_);
  RunMessageDialog(DialogParent(), ToQString(caption), ToQString(text));
}

void QtHost::ShowMessage(CaptionId caption, MessageId message, std::string_view detail) {
  ShowText(CaptionText(caption), FormatMessage(message, detail));
  if (window_ != nullptr) window_->SetStatusPart(0, QString::fromLatin1(kStatusReady));
}

bool QtHost::AskYesNo(std::string_view caption, std::string_view text) {
  if (questionSink) return questionSink(caption, text);
  ModalScope scope(window_);
  const auto answer = QMessageBox::question(DialogParent(), ToQString(caption), ToQString(text),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
  return answer == QMessageBox::Yes;
}

void QtHost::PresentFrame(const uint32_t* pixels) {
  if (window_ != nullptr) window_->Present(pixels);
}

void QtHost::SetUpDisplay() {
  if (window_ != nullptr) window_->SetUpDisplay();
}

// SDL's joystick subsystem starts at the first use; without it there are no controllers.
GameControllers* QtHost::Controllers() {
  if (!controllers_ && !controllersTried_) {
    controllersTried_ = true;
    auto sdl = std::make_unique<SdlGameControllers>();
    if (sdl->Available()) controllers_ = std::move(sdl);
  }
  return controllers_.get();
}

AudioDevice* QtHost::Audio() {
  if (!audio_) audio_ = std::make_unique<SdlAudioDevice>();
  return audio_.get();
}

}  // namespace orvo::ui
