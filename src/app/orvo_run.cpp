// orvo-run: runs a Spectrum without a window. Sets up the chosen model, runs frames, and reports
// what a user would look at: the machine state, the screen, the sound, saved files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/addon_run_options.h"
#include "app/assembler_run_options.h"
#include "app/beta_run_options.h"
#include "app/debug_run_options.h"
#include "app/disk_run_options.h"
#include "app/file_run_options.h"
#include "app/if1_run_options.h"
#include "app/movie_run_options.h"
#include "app/rzx_run_options.h"
#include "app/shader_run_options.h"
#include "app/sound_run_options.h"
#include "app/tape_run_options.h"
#include "app/tools_run_options.h"
#include "app/video_run_options.h"
#include "host/png_writer.h"
#include "shell/app_init.h"
#include "shell/config.h"
#include "shell/config_set.h"
#include "shell/data_folders.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/file_dispatch.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/media_loaders.h"
#include "shell/messages.h"
#include "shell/snapshot_save.h"
#include "shell/tape_commands.h"
#include "shell/version.h"
#include "shell/zip_archive.h"
#include "video/screen_text.h"
#include "video/ula.h"

namespace {

using namespace orvo;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a ROM or file could not be loaded, or an output not written
constexpr int kExitUsage = 2;    // bad command line
constexpr int kExitNoBreak = 3;  // --break given and never hit

const char kHelp[] =
    "Usage: orvo-run [options] [FILE]\n"
    "Runs a ZX Spectrum without a window. FILE is opened as --load FILE would.\n"
    "An option's value may follow it (--frames 10) or be joined to it (--frames=10); the\n"
    "machine's status lines go to standard error, what an option prints to standard output.\n"
    "\n"
    "Machine:\n"
    "  --model M          16, 48, 128, plus2, plus2a, plus3, custom or pentagon (default 48)\n"
    "  --rom-dir DIR      look for the ROM images (48k.rom, 128k.rom, plus2.rom, plus3.rom,\n"
    "                     pentagon.rom, trdos.rom, IF1.rom, ...) in DIR first; then in roms\n"
    "                     beside orvo-run, $XDG_DATA_HOME/orvo/roms (~/.local/share/orvo/roms),\n"
    "                     share/orvo/roms of the installation, and orvo/roms in each of\n"
    "                     $XDG_DATA_DIRS (/usr/local/share, /usr/share)\n"
    "  --custom-rom FILE  the ROM of the custom model (16384 or 32768 bytes); a name without\n"
    "                     a folder is looked for where the ROM images are\n"
    "Running:\n"
    "  --frames N         run N frames (default 0: set up only)\n"
    "  --realtime         run at the real machine's speed (default: as fast as possible)\n"
    "  --print-state      print registers, FrameTState and the frame count as JSON at the end\n"
    "  --single-steps     run every instruction on its own with the hooks after it, never in\n"
    "                     batches on the fast core (slower, the same results: for checking)\n"
    "  --config FILE      read the settings from FILE (an orvo.ini) before the other options\n"
    "  --set \"Key=Value\"  set an orvo.ini key by its name in the file before the machine\n"
    "                     starts (\"z80 version=1\", ULAplus=1, \"Late Timing=1\"); repeatable,\n"
    "                     applied after the other options\n"
    "  --help             this text\n"
    "  --version          print the version\n"
    "Files:\n"
    "  --load FILE        open FILE as the command line would (snapshot, tape, ...); a ZIP\n"
    "                     archive loads its first entry of a kind Orvo opens\n"
    "  --zip-entry NAME   with a ZIP archive: load the entry NAME instead\n"
    "  --save FILE        at the end of the run (or at a --break) save a snapshot, the\n"
    "                     format by FILE's extension (.z80 as \"z80 version\" chooses,\n"
    "                     .sna, .szx)\n"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "%s"
    "\n"
    "Exit codes: 0 success; 1 a ROM, file or output failed (the message is on standard error);\n"
    "2 bad command line; 3 --break given and no breakpoint was hit.\n";

// Messages go to standard error; the runner remembers that one was shown.
class HeadlessHost final : public Host {
 public:
  void ShowMessage(CaptionId caption, MessageId message, std::string_view detail) override {
    std::fprintf(stderr, "%s: %s\n", CaptionText(caption), FormatMessage(message, detail).c_str());
    // A snapshot that loaded without some device's state is a notice, not a failure.
    if (message != kMsgDevicesLeftOut) ++messagesShown;
    lastMessage = message;
  }
  // Messages of their own (a refusal's details, the end of a replay) go to standard error as
  // well; what failed has its own message or status.
  void ShowPlainMessage(std::string_view caption, std::string_view text) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  }
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  Clock& GetClock() override { return clock; }

  SystemClock clock;
  int messagesShown = 0;
  int lastMessage = -1;
};

struct RunOptions {
  int model = kModel48K;
  std::string romDir;
  std::string customRom;
  long frames = 0;
  bool realtime = false;
  bool printState = false;
  bool singleSteps = false;
  std::string loadPath;           // --load
  std::string zipEntry;           // --zip-entry
  std::string savePath;           // --save
  std::vector<std::string> sets;  // --set "Key=Value", in order
  bool modelGiven = false;        // --model or --custom-rom
  bool configGiven = false;       // --config FILE
  Settings config;                // the settings --config read
  SoundRunOptions sound;
  TapeRunOptions tape;
  RzxRunOptions rzx;
  VideoRunOptions video;
  DebugRunOptions debug;
  AddonRunOptions addons;
  ToolsRunOptions tools;
  AssemblerRunOptions assembler;
  If1RunOptions if1;
  DiskRunOptions disk;
  BetaRunOptions beta;
  FileRunOptions files;
  ShaderRunOptions shader;
  MovieRunOptions movie;
};

bool ParseModel(std::string_view text, int* model) {
  static const struct {
    const char* name;
    int model;
  } kNames[] = {{"16", kModel16K},        {"48", kModel48K},           {"128", kModel128K},
                {"plus2", kModelPlus2},   {"plus2a", kModelPlus2A},    {"plus3", kModelPlus3},
                {"custom", kModelCustom}, {"pentagon", kModelPentagon}};
  for (const auto& n : kNames) {
    if (text == n.name) {
      *model = n.model;
      return true;
    }
  }
  return false;
}

bool ParseLong(const char* text, long* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0) return false;
  *value = v;
  return true;
}

// "--name=value" becomes "--name" "value", as most programs take it; `joined` marks each value
// so split off. Everything after a "--" is a file and stays as it is.
void SplitJoinedValues(std::vector<std::string>& args, std::vector<bool>& joined) {
  std::vector<std::string> out;
  joined.clear();
  bool options = true;
  for (std::string& a : args) {
    const size_t eq = a.find('=');
    if (options && a.size() > 2 && a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      out.push_back(a.substr(0, eq));
      joined.push_back(false);
      out.push_back(a.substr(eq + 1));
      joined.push_back(true);
      continue;
    }
    if (a == "--") options = false;
    out.push_back(std::move(a));
    joined.push_back(false);
  }
  args = std::move(out);
}

// Whether the file at `path` can be opened for reading; if not, `why` is the system's reason.
bool CanRead(const std::string& path, std::string* why) {
  // O_NONBLOCK: a FIFO with no writer would hold an ordinary open for ever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  struct stat st {};
  const bool got = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (got && S_ISDIR(st.st_mode)) {
    *why = std::strerror(EISDIR);
    return false;
  }
  if (!got || !S_ISREG(st.st_mode)) {
    *why = "not a regular file";
    return false;
  }
  return true;
}

std::string ProgramFolder(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0);
  return exe.parent_path().string();
}

void PrintState(const Emulator& emu) {
  const MachineState& m = emu.m;
  const CpuState& c = m.cpu;
  std::printf(
      "{\"model\":\"%s\",\"af\":%u,\"bc\":%u,\"de\":%u,\"hl\":%u,\"af_\":%u,\"bc_\":%u,\"de_\":%u,"
      "\"hl_\":%u,\"ix\":%u,\"iy\":%u,\"sp\":%u,\"pc\":%u,\"i\":%u,\"r\":%u,\"memptr\":%u,"
      "\"iff1\":%u,\"iff2\":%u,\"im\":%u,\"halted\":%u,\"frame_tstate\":%u,\"frames\":%llu}\n",
      m.ModelName.c_str() + (m.ModelName.empty() ? 0 : 1), c.AF.w, c.BC.w, c.DE.w, c.HL.w, c.AF_.w,
      c.BC_.w, c.DE_.w, c.HL_.w, c.IX.w, c.IY.w, c.SP, c.PC, c.IR.b.h,
      (c.IR.b.l & 0x7F) | (c.R7 & 0x80), c.MEMPTR, c.IFF1, c.IFF2, c.IM, c.Halted, m.FrameTState,
      static_cast<unsigned long long>(m.FrameCount));
}

// --load: the file dispatch, as for a file named on the command line. A ZIP archive loads the
// entry `zipEntry`, or its first entry of a kind the ZIP path opens.
bool LoadRunFile(Emulator& emu, const std::string& path, const std::string& zipEntry) {
  const FileKind kind = MatchExtension(path);
  if (kind == FileKind::Zip) {
    if (LoadZipArchiveEntry(emu, path, zipEntry) != 0) return false;
  } else if (kind == FileKind::None) {
    std::fprintf(stderr, "orvo-run: %s: not a kind of file Orvo opens\n", path.c_str());
    return false;
  } else if (OpenCommandLineFile(emu, path) != 0) {
    return false;
  }
  if (emu.files.LastLoadStatus == kLoadNotSupported) {
    std::fprintf(stderr, "orvo-run: %s: this kind of file cannot be loaded yet\n", path.c_str());
  }
  if (emu.files.LastLoadStatus != kLoadedOk) return false;
  std::fprintf(stderr, "Loaded: %s (%s)\n", emu.files.CurrentFileTitle.c_str(),
               emu.files.FileTypeLabel.c_str());
  return true;
}

// --config: an orvo.ini read over the default settings. False with `error` when the file cannot
// be read or is not a settings file; lines the reader passes over are reported and skipped.
bool ReadRunConfig(const std::string& path, Settings& out, std::string* error) {
  std::vector<uint8_t> bytes;
  if (ReadWholeFile(path, bytes) != kMsgNone) {
    *error = "cannot be read";
    return false;
  }
  Settings staged;
  Folders folders;
  WindowPlacements placements;
  const ConfigParse parsed = ParseConfigText(bytes, staged, folders, placements);
  if (!parsed.complete) {
    *error = "not a settings file (no [End] line)";
    return false;
  }
  if (parsed.strayLines) {
    std::fprintf(stderr, "orvo-run: --config %s: lines not understood were skipped\n",
                 path.c_str());
  }
  ClampSettings(staged);
  out = staged;
  return true;
}

// --save: the snapshot writer chosen by the file's extension.
bool SaveRunFile(Emulator& emu, const std::string& path) {
  const int saved = SaveSnapshot(emu, path);
  if (saved == kSaveNoWriter) {
    std::fprintf(stderr, "orvo-run: %s: this snapshot format cannot be written yet\n",
                 path.c_str());
  }
  if (saved != kSaved) return false;
  std::fprintf(stderr, "Saved: %s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  RunOptions opt;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::vector<bool> joined;
  SplitJoinedValues(args, joined);
  bool filesOnly = false;  // after "--"
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // A value joined to an option that takes none ("--realtime=1") is not a file name.
    if (joined[i]) {
      std::fprintf(stderr, "orvo-run: %s takes no value (see --help)\n", args[i - 1].c_str());
      return kExitUsage;
    }
    // A file named without an option is opened as --load opens it.
    if (filesOnly || a.empty() || a[0] != '-') {
      if (!opt.loadPath.empty()) {
        std::fprintf(stderr, "orvo-run: one file at a time: %s and %s\n", opt.loadPath.c_str(),
                     a.c_str());
        return kExitUsage;
      }
      opt.loadPath = a;
      continue;
    }
    auto next = [&](const char* what) -> const char* {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "orvo-run: %s needs %s\n", a.c_str(), what);
        std::exit(kExitUsage);
      }
      return args[++i].c_str();
    };
    if (a == "--") {
      filesOnly = true;
    } else if (a == "--version") {
      std::printf("%s\n", VersionLine("orvo-run").c_str());
      return kExitOk;
    } else if (a == "--help" || a == "-h") {
      std::printf(kHelp, kFileRunHelp, kSoundRunHelp, kTapeRunHelp, kVideoRunHelp, kRzxRunHelp,
                  kDebugRunHelp, kAddonRunHelp, kToolsRunHelp, kAssemblerRunHelp, kIf1RunHelp,
                  kDiskRunHelp, kShaderRunHelp, kMovieRunHelp, kBetaRunHelp);
      return kExitOk;
    } else if (a == "--model") {
      const char* v = next("a model");
      opt.modelGiven = true;
      if (!ParseModel(v, &opt.model)) {
        std::fprintf(stderr,
                     "orvo-run: unknown model '%s' (16, 48, 128, plus2, plus2a, plus3, custom, "
                     "pentagon)\n",
                     v);
        return kExitUsage;
      }
    } else if (a == "--rom-dir") {
      opt.romDir = next("a folder");
    } else if (a == "--custom-rom") {
      opt.customRom = next("a file");
      opt.model = kModelCustom;
      opt.modelGiven = true;
    } else if (a == "--frames") {
      if (!ParseLong(next("a number"), &opt.frames)) {
        std::fprintf(stderr, "orvo-run: --frames needs a whole number\n");
        return kExitUsage;
      }
    } else if (a == "--realtime") {
      opt.realtime = true;
    } else if (a == "--load") {
      const char* path = next("a file");
      if (!opt.loadPath.empty()) {
        std::fprintf(stderr, "orvo-run: one file at a time: %s and %s\n", opt.loadPath.c_str(),
                     path);
        return kExitUsage;
      }
      opt.loadPath = path;
    } else if (a == "--zip-entry") {
      opt.zipEntry = next("an entry name");
    } else if (a == "--save") {
      opt.savePath = next("a file");
    } else if (a == "--single-steps") {
      opt.singleSteps = true;
    } else if (a == "--print-state") {
      opt.printState = true;
    } else if (a == "--config") {
      const char* path = next("a file");
      if (std::string error; !ReadRunConfig(path, opt.config, &error)) {
        std::fprintf(stderr, "orvo-run: --config %s: %s\n", path, error.c_str());
        return kExitUsage;
      }
      opt.configGiven = true;
    } else if (a == "--set") {
      const char* v = next("Key=Value");
      Settings scratch;
      if (std::string error; !SetSettingByName(scratch, v, &error)) {
        std::fprintf(stderr, "orvo-run: --set: %s\n", error.c_str());
        return kExitUsage;
      }
      opt.sets.emplace_back(v);
    } else if (std::string error; const int fo = ParseFileRunOption(args, i, opt.files, &error)) {
      if (fo < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int r = ParseSoundRunOption(args, i, opt.sound, &error)) {
      if (r < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int z = ParseRzxRunOption(args, i, opt.rzx, &error)) {
      if (z < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int t = ParseTapeRunOption(args, i, opt.tape, &error)) {
      if (t < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int v = ParseVideoRunOption(args, i, opt.video, &error)) {
      if (v < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int dbg = ParseDebugRunOption(args, i, opt.debug, &error)) {
      if (dbg < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int addon = ParseAddonRunOption(args, i, opt.addons, &error)) {
      if (addon < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int tool = ParseToolsRunOption(args, i, opt.tools, &error)) {
      if (tool < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int as = ParseAssemblerRunOption(args, i, opt.assembler, &error)) {
      if (as < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int if1 = ParseIf1RunOption(args, i, opt.if1, &error)) {
      if (if1 < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int disk = ParseDiskRunOption(args, i, opt.disk, &error)) {
      if (disk < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int beta = ParseBetaRunOption(args, i, opt.beta, &error)) {
      if (beta < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int shader = ParseShaderRunOption(args, i, opt.shader, &error)) {
      if (shader < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else if (const int movie = ParseMovieRunOption(args, i, opt.movie, &error)) {
      if (movie < 0) {
        std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
        return kExitUsage;
      }
    } else {
      std::fprintf(stderr, "orvo-run: unknown option '%s' (see --help)\n", a.c_str());
      return kExitUsage;
    }
  }
  if (!opt.zipEntry.empty() && MatchExtension(opt.loadPath) != FileKind::Zip) {
    std::fprintf(stderr, "orvo-run: --zip-entry needs --load with a ZIP archive\n");
    return kExitUsage;
  }
  if (!opt.movie.path.empty() && !opt.sound.wavPath.empty()) {
    std::fprintf(stderr, "orvo-run: --movie and --wav cannot record the same run\n");
    return kExitUsage;
  }
  if (opt.model == kModelCustom && opt.customRom.empty()) {
    std::fprintf(stderr, "orvo-run: the custom model needs --custom-rom FILE\n");
    return kExitUsage;
  }

  // A file to read that cannot be opened is named with the system's reason before anything runs
  // (a disk that --new-disk makes is not there yet).
  for (const std::string* path :
       {&opt.loadPath, &opt.tape.tapePath, &opt.disk.paths[0], &opt.disk.paths[1]}) {
    if (std::string why; !path->empty() && *path != opt.disk.newDiskPath && !CanRead(*path, &why)) {
      std::fprintf(stderr, "orvo-run: %s: %s\n", path->c_str(), why.c_str());
      return kExitFailure;
    }
  }

  HeadlessHost host;
  auto emu = std::make_unique<Emulator>(host);
  MachineState& m = emu->m;
  const std::string programFolder = ProgramFolder(argv[0]);
  emu->folders.ProgramFolder = programFolder;
  emu->folders.RomsFolder = programFolder + "/roms/";
  emu->folders.LibsFolder = FindLibsFolder(programFolder);
  std::string romDir = opt.romDir.empty() ? emu->folders.RomsFolder : opt.romDir;
  if (!romDir.empty() && romDir.back() != '/') romDir += '/';
  emu->folders.ConfiguredRomDir = emu->folders.CurrentRomDir = romDir;
  RemoveInterruptedSaves(*emu);
  Settings& settings = emu->settings;
  // The settings file first; the options given on the command line then override it.
  if (opt.configGiven) {
    settings = opt.config;
    // The custom model needs its ROM named here; a number no model has is the 48K.
    const bool known = settings.ModelType >= kModel16K && settings.ModelType < kModelCount &&
                       settings.ModelType != kModelCustom;
    if (!opt.modelGiven) opt.model = known ? settings.ModelType : kModel48K;
  }
  settings.ModelType = opt.model;
  settings.CustomRom = opt.model == kModelCustom;
  settings.CustomRomPath = opt.customRom;
  settings.Sound = 0;
  WavRun wav(opt.sound);
  wav.Configure(settings);
  MovieRun movie(opt.movie);
  movie.Configure(settings);
  ShaderRun shaderRun(opt.shader);
  if (std::string error; !shaderRun.Start(argc, argv, &error)) {
    std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
    return kExitFailure;
  }
  // A tape named by --load goes into the deck the way --tape puts it there.
  if (!opt.loadPath.empty() && opt.tape.tapePath.empty() &&
      TapeKindOf(opt.loadPath) != TapeKind::None) {
    opt.tape.tapePath = opt.loadPath;
    opt.loadPath.clear();
  }
  TapeRun tapeRun(opt.tape);
  tapeRun.Configure(settings);
  const AddonRun addonRun(opt.addons);
  addonRun.Configure(settings);
  If1Run if1Run(opt.if1);
  if1Run.Configure(settings);
  DiskRun diskRun(opt.disk);
  diskRun.Configure(settings);
  BetaRun betaRun(opt.beta);
  betaRun.Configure(settings);
  std::string unused;
  for (const std::string& set : opt.sets) SetSettingByName(settings, set, &unused);
  m.MachineModel = static_cast<uint8_t>(settings.ModelType);
  emu->NoThrottle = !opt.realtime;
  emu->m.SingleSteps = opt.singleSteps;

  SetUpMachine(*emu);
  if (host.messagesShown > 0) return kExitFailure;
  ResetMachine(*emu, true);
  if (!opt.loadPath.empty() && !LoadRunFile(*emu, opt.loadPath, opt.zipEntry)) return kExitFailure;

  const std::string& romPath = emu->folders.LoadedRomPath;
  std::error_code ec;
  const auto romSize = std::filesystem::file_size(romPath, ec);
  std::fprintf(stderr, "Model: %s\nROM: %s (%llu bytes)\n",
               m.ModelName.c_str() + (m.ModelName.empty() ? 0 : 1), romPath.c_str(),
               static_cast<unsigned long long>(ec ? 0 : romSize));

  if (!addonRun.Start(*emu)) return kExitFailure;
  if (!ApplyToolsAtStart(*emu, opt.tools)) return kExitFailure;
  if (!ApplyAssemblerAtStart(*emu, opt.assembler)) return kExitFailure;
  if (!if1Run.Start(*emu)) return kExitFailure;
  if (!tapeRun.Start(*emu)) return kExitFailure;
  if (!diskRun.Start(*emu)) return kExitFailure;
  if (!betaRun.Start(*emu)) return kExitFailure;
  wav.Start(*emu);
  if (std::string error; !movie.Start(*emu, shaderRun, &error)) {
    std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
    return kExitFailure;
  }
  VideoRun videoRun(opt.video);
  if (std::string error; !videoRun.Start(*emu, &error)) {
    std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
    return kExitFailure;
  }
  RzxRun rzxRun(opt.rzx);
  if (!rzxRun.Start(*emu)) return kExitFailure;
  DebugRun debugRun(opt.debug);
  if (!debugRun.Start(*emu)) return kExitFailure;
  const FileRun fileRun(opt.files);
  // A recording plays to its end unless --frames bounds it.
  const bool unbounded = rzxRun.Playing() && opt.frames == 0;
  long framesRun = 0;
  for (long f = 0; (unbounded || f < opt.frames) && !tapeRun.Done(*emu) && !rzxRun.Done(*emu) &&
                   !debugRun.Hit(*emu);
       ++f) {
    fileRun.BeforeFrame(*emu, f);
    videoRun.BeforeFrame(*emu, f);
    rzxRun.BeforeFrame(*emu, f);
    addonRun.BeforeFrame(*emu, f);
    diskRun.BeforeFrame(*emu, f);
    RunFrame(*emu);
    ++framesRun;
    // A stop inside the frame: the rest of it is not run.
    if (debugRun.Hit(*emu)) break;
    if (std::string error; !movie.AfterFrame(*emu, &error)) {
      std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
      return kExitFailure;
    }
  }
  if (!diskRun.Finish(*emu)) return kExitFailure;
  if (!betaRun.Finish(*emu)) return kExitFailure;
  debugRun.Finish(*emu);
  if (debugRun.Hit(*emu)) {
    std::fprintf(stderr, "Break: PC %04X\n", m.cpu.PC);
    // --save keeps the machine as it stopped, in the middle of its frame.
    if (!opt.savePath.empty() && !SaveRunFile(*emu, opt.savePath)) return kExitFailure;
    PrintState(*emu);
    return kExitOk;
  }
  const bool rzxOk = rzxRun.Finish(*emu);
  if (const std::string tapeLine = tapeRun.Summary(*emu); !tapeLine.empty()) {
    std::fprintf(stderr, "%s\n", tapeLine.c_str());
  }
  if (std::string error; !movie.Finish(&error)) {
    std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
    return kExitFailure;
  }
  if (std::string error; !wav.Finish(*emu, &error)) {
    std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
    return kExitFailure;
  }

  // With no frame run nothing has been drawn yet: the picture is what the memory holds now.
  if (framesRun == 0) DrawWholePicture(m);
  if (videoRun.WantsScreenText()) std::fputs(ScreenText(m).c_str(), stdout);
  if (!videoRun.ScreenshotPath().empty()) {
    std::string error;
    const bool written =
        shaderRun.Active()
            ? shaderRun.WriteScreenshot(videoRun.ScreenshotPath(), ScreenPixels(m), &error)
            : WritePng(videoRun.ScreenshotPath(), ScreenPixels(m), 352, 296, &error);
    if (!written) {
      std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
      return kExitFailure;
    }
  }
  if (!ApplyToolsAtEnd(*emu, opt.tools)) return kExitFailure;
  if (!opt.savePath.empty() && !SaveRunFile(*emu, opt.savePath)) return kExitFailure;
  if (!if1Run.Finish(*emu)) return kExitFailure;
  if (opt.printState) PrintState(*emu);
  if (host.messagesShown > 0 || !rzxOk) return kExitFailure;
  return debugRun.WantsBreak() ? kExitNoBreak : kExitOk;
}
