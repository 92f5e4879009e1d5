// orvo: the emulator in its window.
#include <QApplication>
#include <cerrno>
#include <chrono>
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
        "  --frame-times FILE  write the wall-clock time of every emulated frame to FILE\n"
        "                      (microseconds, one a line), to check the pacing\n"
        "  --version  print the version\n"
        "  --help     this text\n");
    return 0;
  }
  // Taken out before Qt and the file argument see the command line.
  std::FILE* frameTimes = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--frame-times") != 0) continue;
    frameTimes = std::fopen(argv[i + 1], "w");
    if (frameTimes == nullptr) {
      std::fprintf(stderr, "orvo: %s: %s\n", argv[i + 1], std::strerror(errno));
      return 1;
    }
    for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
    argc -= 2;
    break;
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

  if (frameTimes == nullptr) return window.RunMainLoop();
  uint64_t frames = emu.m.FrameCount;
  while (window.RunPass()) {
    if (emu.m.FrameCount == frames) continue;
    frames = emu.m.FrameCount;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(
        frameTimes, "%lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
    if (frames % 50 == 0) std::fflush(frameTimes);
  }
  std::fclose(frameTimes);
  return 0;
}
