// orvo: the emulator in its window.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "shell/app_init.h"
#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "shell/version.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"

int main(int argc, char** argv) {
  // Answered before the window system is asked for anything, so they work without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", orvo::VersionLine("orvo").c_str());
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "Usage: orvo [FILE]\n"
        "Opens the ZX Spectrum emulator's window; FILE (a snapshot, tape, disk, recording or ZIP\n"
        "archive) is opened as File, Load File would. Each orvo opens a window of its own.\n"
        "  --version  print the version\n"
        "  --help     this text\n");
    return 0;
  }
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Orvo"));

  orvo::ui::QtHost host;
  orvo::Emulator emu(host);

  std::string programFolder = orvo::ExecutableFolder();
  if (programFolder.empty()) programFolder = QCoreApplication::applicationDirPath().toStdString();
  orvo::SetUpFolders(emu, programFolder, orvo::DefaultConfigFolder());
  orvo::InitApplication(emu);

  orvo::ui::MainWindow window(emu, host);
  // The window first, so that a sound device's failure is one message over it; without a
  // device the program runs on silently and paces itself.
  window.ShowInitially();
  orvo::StartSound(emu);

  const std::string path = orvo::CommandLinePath(argc, argv);
  if (!path.empty()) window.OpenCommandLineFile(path);

  return window.RunMainLoop();
}
