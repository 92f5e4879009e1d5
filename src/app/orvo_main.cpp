// orvo: the emulator in its window.
#include <QApplication>
#include <string>

#include "shell/app_init.h"
#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Orvo"));

  orvo::ui::QtHost host;
  orvo::Emulator emu(host);

  std::string programFolder = orvo::ExecutableFolder();
  if (programFolder.empty()) programFolder = QCoreApplication::applicationDirPath().toStdString();
  orvo::SetUpFolders(emu, programFolder, orvo::DefaultConfigFolder());
  orvo::InitApplication(emu);

  orvo::ui::MainWindow window(emu, host);
  // Without a sound device the program runs on silently (message 100) and paces itself.
  orvo::StartSound(emu);
  window.ShowInitially();

  const std::string path = orvo::CommandLinePath(argc, argv);
  if (!path.empty()) window.OpenCommandLineFile(path);

  return window.RunMainLoop();
}
