// orvo: the emulator in its window.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/display_check.h"
#include "shell/app_init.h"
#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "shell/version.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"

namespace {

constexpr int kExitUsage = 2;

const char kHelp[] =
    "Usage: orvo [options] [FILE]\n"
    "Opens the ZX Spectrum emulator's window; FILE (a snapshot, tape, disk, recording or ZIP\n"
    "archive) is opened as File, Load File would. Each orvo opens a window of its own.\n"
    "  --model M     start with model M: 16, 48, 128, plus2, plus2a or plus3, as if chosen\n"
    "                in the options (and kept, as they keep it)\n"
    "  --fullscreen  start full screen (F4 goes back to the window)\n"
    "  --version     print the version\n"
    "  --help        this text\n"
    "An option's value may follow it (--model 128) or be joined to it (--model=128). Qt's own\n"
    "options (-platform NAME, -style NAME, ...) are passed on to Qt.\n";

struct WindowOptions {
  int model = -1;  // -1: as the settings say
  bool fullscreen = false;
  std::vector<std::string> files;
};

bool ParseModel(std::string_view text, int* model) {
  static const char* const kNames[] = {"16", "48", "128", "plus2", "plus2a", "plus3"};
  for (int i = 0; i < 6; ++i) {
    if (text == kNames[i]) {
      *model = i;
      return true;
    }
  }
  return false;
}

// Reads orvo's options from argv. Arguments with a single "-" are Qt's and are skipped (Qt takes
// them out of argv when the application is made; before that, their values count as files, which
// only the second reading uses). Returns -1 to carry on, else the exit status (after --help,
// --version or an error on standard error).
int ParseWindowOptions(int argc, char** argv, WindowOptions& options) {
  options = WindowOptions{};
  bool filesOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (filesOnly || a.empty() || a[0] != '-') {
      options.files.push_back(a);
      continue;
    }
    if (a.size() < 2 || a[1] != '-') {
      if (a == "-h")
        a = "--help";
      else
        continue;
    }
    std::string value;
    bool hasValue = false;
    if (const size_t eq = a.find('='); eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
      hasValue = true;
    }
    if (a == "--") {
      filesOnly = true;
    } else if (a == "--help" || a == "--version" || a == "--fullscreen") {
      if (hasValue) {
        std::fprintf(stderr, "orvo: %s takes no value (see --help)\n", a.c_str());
        return kExitUsage;
      }
      if (a == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
      }
      if (a == "--version") {
        std::printf("%s\n", orvo::VersionLine("orvo").c_str());
        return 0;
      }
      options.fullscreen = true;
    } else if (a == "--model") {
      if (!hasValue && i + 1 < argc) value = argv[++i], hasValue = true;
      if (!hasValue || !ParseModel(value, &options.model)) {
        std::fprintf(stderr, "orvo: --model needs 16, 48, 128, plus2, plus2a or plus3\n");
        return kExitUsage;
      }
    } else {
      std::fprintf(stderr, "orvo: unknown option '%s' (see --help)\n", argv[i]);
      return kExitUsage;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  WindowOptions options;
  // Answered before the window system is asked for anything, so they work without a display.
  if (const int status = ParseWindowOptions(argc, argv, options); status >= 0) return status;
  if (const std::string missing = orvo::render::MissingDisplayReason(); !missing.empty()) {
    std::fprintf(stderr, "orvo: cannot open the window: %s\n", missing.c_str());
    return 1;
  }
  orvo::render::InstallPlatformStartHandler();
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  orvo::render::UndoPlatformStartHandler();
  QApplication::setApplicationName(QStringLiteral("Orvo"));
  ParseWindowOptions(argc, argv, options);  // without Qt's options now: the files are the files

  orvo::ui::QtHost host;
  orvo::Emulator emu(host);

  std::string programFolder = orvo::ExecutableFolder();
  if (programFolder.empty()) programFolder = QCoreApplication::applicationDirPath().toStdString();
  orvo::SetUpFolders(emu, programFolder, orvo::DefaultConfigFolder());
  orvo::InitApplication(emu);
  if (options.model >= 0 && options.model != emu.m.MachineModel) {
    orvo::ChooseStartModel(emu, options.model);
  }

  orvo::ui::MainWindow window(emu, host);
  // The window first, so that a sound device's failure is one message over it; without a
  // device the program runs on silently and paces itself.
  window.ShowInitially();
  if (options.fullscreen && !window.IsFullScreen()) window.ToggleFullScreen();
  orvo::StartSound(emu);

  // One file, as named; several words are one name with blanks, as a command line that was not
  // quoted means it.
  std::vector<const char*> words = {argv[0]};
  for (const std::string& f : options.files) words.push_back(f.c_str());
  const std::string path =
      options.files.size() == 1
          ? options.files.front()
          : orvo::CommandLinePath(static_cast<int>(words.size()), words.data());
  if (!path.empty()) window.OpenCommandLineFile(path);

  return window.RunMainLoop();
}
