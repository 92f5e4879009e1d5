#include "shell/config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <span>

#include "devices/device.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "machine/setup.h"
#include "shell/emulator.h"
#include "sound/sound_output.h"
#include "video/palette.h"

namespace orvo {

namespace fs = std::filesystem;

namespace {

// ---- the key tables, one per section, in file order ----

// A numeric key: its text and its field. Emulation Speed is the one float and has no field.
struct NumericKey {
  const char* key;
  int32_t Settings::*field;
};

constexpr NumericKey kEmulationKeys[] = {
    {"Late Timing", &Settings::LateTiming},
    {"Contention", &Settings::Contention},
    {"Emulation Speed", nullptr},
    {"Exit Msg", &Settings::ExitMsg},
    {"Focus", &Settings::Focus},
    {"Rewind", &Settings::Rewind},
    {"Rewind Delay", &Settings::RewindDelay},
    {"CPU Speed", &Settings::CpuSpeed},
};
constexpr NumericKey kHardwareKeys[] = {
    {"Model Type", &Settings::ModelType},
    {"Custom ROM", &Settings::CustomRom},
    {"INTERFACE 1", &Settings::Interface1},
    {"MULTIFACE", &Settings::Multiface},
    {"Fuller AY", &Settings::FullerAy},
    {"SpecDrum", &Settings::SpecDrum},
    {"SoftROM", &Settings::SoftRom},
    {"uSpeech", &Settings::USpeech},
    {"Fuller Orator", &Settings::FullerOrator},
    {"Z80_is_CMOS", &Settings::Z80IsCmos},
};
constexpr NumericKey kDisplayKeys[] = {
    {"DrawMode", &Settings::DrawMode},   {"DrawSize", &Settings::DrawSize},
    {"Scanlines", &Settings::Scanlines}, {"ULAplus", &Settings::UlaPlus},
    {"Colours", &Settings::Colours},     {"Frameskip", &Settings::Frameskip},
    {"Vsync", &Settings::Vsync},         {"Disable Attributes", &Settings::DisableAttributes},
    {"ULA Snow", &Settings::UlaSnow},    {"opt_shader", &Settings::OptShader},
};
constexpr NumericKey kSoundKeys[] = {
    {"Sound", &Settings::Sound},         {"Sound Volume", &Settings::SoundVolume},
    {"Output", &Settings::Output},       {"Effect", &Settings::Effect},
    {"AY48K", &Settings::Ay48k},         {"Freq", &Settings::Freq},
    {"Soundbits", &Settings::SoundBits},
};
constexpr NumericKey kInputKeys[] = {
    {"Keyboard Issue", &Settings::KeyboardIssue},
    {"Spool Speed", &Settings::SpoolSpeed},
    {"Keystick Type", &Settings::KeystickType},
    {"Joystick Type", &Settings::JoystickType},
    {"Current Joystick ", &Settings::CurrentJoystick},  // written with a blank before the "="
    {"Mouse Type", &Settings::MouseType},
    {"Recreated Spectrum", &Settings::RecreatedSpectrum},
};
constexpr NumericKey kTapesKeys[] = {
    {"Tape Traps", &Settings::TapeTraps}, {"Tape Wobble", &Settings::TapeWobble},
    {"Autoload", &Settings::Autoload},    {"Fastload", &Settings::Fastload},
    {"Polarity", &Settings::Polarity},
};
constexpr NumericKey kSnapshotsKeys[] = {
    {"z80 version", &Settings::Z80Version},
    {"1FFD byte", &Settings::Save1FFD},
    {"Snapshot save", &Settings::SnapshotSave},
    {"Data compressed", &Settings::DataCompressed},
};
constexpr NumericKey kDisksKeys[] = {
    {"CRC byte", &Settings::CrcByte},
    {"Disk fastLoad", &Settings::DiskFastLoad},
    {"Disk autoload", &Settings::DiskAutoload},
};
constexpr NumericKey kDebuggerKeys[] = {
    {"Basic", &Settings::Basic},
    {"Dis ROM", &Settings::DisRom},
    {"Dis Save", &Settings::DisSave},
    {"MMap Byte Order", &Settings::MMapByteOrder},
    {"MMap Byte Read", &Settings::MMapByteRead},
    {"MMap Byte Write", &Settings::MMapByteWrite},
    {"MMap Fore", &Settings::MMapFore},
    {"MMap Back", &Settings::MMapBack},
};

constexpr const char* kFolderKeys[4] = {"Current ROM Dir", "Current_Snap Dir", "Current Tape Dir",
                                        "Current Download Dir"};

constexpr const char* kPlacementKeys[kPlacementCount] = {
    "Main Window",     "Calculator",     "System Variables",
    "Tape Browser",    "Infoseek",       "ZX Printer",
    "View ZX Printer", "Microdrives",    "View Microdrive Cartridge",
    "Sprite Search",   "ULAplus Editor", "Debugger",
    "View Registers",  "View Memory",    "View Disassembly",
    "Edit Memory",     "Breakpoints",    "Memory Map",
};

// Section ids as the section table numbers them.
enum SectionId : uint8_t {
  kSecEmulation = 0,
  kSecHardware = 1,
  kSecDisplay = 2,
  kSecSound = 3,
  kSecInput = 4,
  kSecTapes = 5,
  kSecDebugger = 6,
  kSecFolders = 7,
  kSecSnapshots = 8,
  kSecDisks = 9,
  kSecPlacements = 10,
  kSecEnd = 11,
  kSecClosing = 255,
};

struct SectionEntry {
  const char* name;
  uint8_t id;
};
constexpr SectionEntry kSectionTable[] = {
    {"Emulation", kSecEmulation},
    {"Hardware", kSecHardware},
    {"Display", kSecDisplay},
    {"Sound", kSecSound},
    {"Input", kSecInput},
    {"Tapes", kSecTapes},
    {"Disks", kSecDisks},
    {"Debugger", kSecDebugger},
    {"Folders", kSecFolders},
    {"Snapshots", kSecSnapshots},
    {"Window Placements", kSecPlacements},
    {"End", kSecEnd},
    {"", kSecClosing},
};

// The numeric sections with their keys; the order here is the order the writer uses.
struct NumericSection {
  const char* header;
  uint8_t id;
  std::span<const NumericKey> keys;
};
constexpr NumericSection kNumericSections[] = {
    {"[Emulation]", kSecEmulation, kEmulationKeys},
    {"[Hardware]", kSecHardware, kHardwareKeys},
    {"[Display]", kSecDisplay, kDisplayKeys},
    {"[Sound]", kSecSound, kSoundKeys},
    {"[Input]", kSecInput, kInputKeys},
    {"[Tapes]", kSecTapes, kTapesKeys},
    {"[Snapshots]", kSecSnapshots, kSnapshotsKeys},
    {"[Disks]", kSecDisks, kDisksKeys},
    {"[Debugger]", kSecDebugger, kDebuggerKeys},
};

const NumericSection* FindNumericSection(uint8_t id) {
  for (const NumericSection& s : kNumericSections)
    if (s.id == id) return &s;
  return nullptr;
}

// A name that is not in the table counts as "End". The search stops at the closing entry.
uint8_t LookUpSection(std::string_view name) {
  for (const SectionEntry* e = kSectionTable; e->id != kSecClosing; ++e)
    if (name == e->name) return e->id;
  return kSecEnd;
}

constexpr const char* kRomFileNames[6] = {"48k.ROM",   "48k.ROM",   "128k.ROM",
                                          "Plus2.ROM", "Plus3.ROM", "Plus3.ROM"};

constexpr MessageId kMsgConfigCorrupt = 6;  // "Configuration file corrupt"
constexpr MessageId kMsgCannotSave = 7;     // "Cannot Save config file"

// View menu size commands.
constexpr int kCmdView100 = 140;
constexpr int kCmdView200 = 141;
constexpr int kCmdFullscreen = 142;
constexpr int kCmdView300 = 144;
constexpr int kCmdMicrodrives = 108;

// ---- reading ----

// Hands out the file's lines one at a time, without their CR LF or LF. Past the end every line
// is empty, as a reader that hits the end of the file sees it.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  std::string_view Next() {
    if (pos_ >= text_.size()) return {};
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// The text of a value: what follows the first "=", or the whole line when there is none.
std::string_view ValueText(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? line : line.substr(eq + 1);
}

// Reads a decimal number the way an integer stream extraction does: leading blanks skipped, an
// optional sign, digits up to the first non-digit. Returns false when there are no digits.
// `magnitude` saturates at 2^64 - 1.
bool ScanNumber(std::string_view text, bool& negative, uint64_t& magnitude) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\v' ||
                             text[i] == '\f' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  magnitude = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any = true;
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10)
      magnitude = std::numeric_limits<uint64_t>::max();
    else
      magnitude = magnitude * 10 + digit;
  }
  return any;
}

// A signed setting: out-of-range numbers saturate at the ends of the 32-bit range, and a line
// with no number gives 0, as a failed stream extraction leaves it.
int32_t ParseSigned(std::string_view line) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ScanNumber(ValueText(line), negative, magnitude)) return 0;
  if (negative) {
    return magnitude > 2147483648ull ? std::numeric_limits<int32_t>::min()
                                     : static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  }
  return magnitude > 2147483647ull ? std::numeric_limits<int32_t>::max()
                                   : static_cast<int32_t>(magnitude);
}

// Emulation Speed is read as an unsigned 32-bit number: a minus sign wraps modulo 2^32 and an
// overlong number saturates, as unsigned stream extraction does.
uint32_t ParseUnsigned(std::string_view line) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ScanNumber(ValueText(line), negative, magnitude)) return 0;
  if (magnitude > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  const uint32_t value = static_cast<uint32_t>(magnitude);
  return negative ? 0u - value : value;
}

// The speed is held as a float and written as its integer part.
int32_t SpeedForFile(float speed) {
  if (!(speed == speed)) return 0;  // NaN
  if (speed >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
  if (speed <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(speed);
}

enum class ReadResult { kOk, kMissing, kUnreadable };

ReadResult ReadTextFile(const std::string& path, std::string& text) {
  if (path.empty()) return ReadResult::kMissing;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return ReadResult::kMissing;
  // Only a regular file is read: a folder or a pipe in its place is as good as unreadable.
  if (ec || status.type() != fs::file_type::regular) return ReadResult::kUnreadable;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return ReadResult::kUnreadable;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return ReadResult::kUnreadable;
  return ReadResult::kOk;
}

// ---- writing ----

void AppendLine(std::string& out, std::string_view text) {
  out.append(text);
  out.append("\r\n");
}

void AppendNumber(std::string& out, std::string_view key, int32_t value) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(value));
  out.append(key);
  out.push_back('=');
  out.append(number);
  out.append("\r\n");
}

// Writes `content` to a new file in the same folder and renames it over `path`, so the old file
// survives any failure on the way.
bool WriteFileReplacing(const std::string& path, std::string_view content) {
  if (path.empty()) return false;
  static std::atomic<uint32_t> counter{0};
  const std::string temp = path + ".new-" + std::to_string(static_cast<long>(::getpid())) + "-" +
                           std::to_string(counter.fetch_add(1));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// ---- applying ----

// The keyboard issue the ports emulate: the 16K is always an issue 2 board and the 128K family
// always issue 3; the 48K (and Custom) follow "Keyboard Issue".
void ApplyKeyboardIssue(MachineState& m) {
  const bool issue3 = m.settings.KeyboardIssue != 0;
  if (m.MachineModel == kModel16K) {
    m.Issue3Keyboard = 0;
  } else if (Is128KFamily(m.MachineModel)) {
    m.Issue3Keyboard = 1;
  } else {
    m.Issue3Keyboard = issue3 ? 1 : 0;
  }
  m.IssueMask = m.Issue3Keyboard ? 0x10 : 0x18;
}

// Makes the model of the live settings the machine's model (set-up happens separately).
void ApplyModel(MachineState& m) {
  m.MachineModel = static_cast<uint8_t>(m.settings.ModelType);
}

// View menu size check marks for the live DrawSize.
void SetViewMenuChecks(Emulator& emu) {
  const int32_t size = emu.m.settings.DrawSize;
  if (size < 1 || size > 3) return;
  emu.menu.Check(kCmdView100, size == 1);
  emu.menu.Check(kCmdView200, size == 2);
  emu.menu.Check(kCmdView300, size == 3);
  emu.menu.Check(kCmdFullscreen, false);
}

void SetCurrentFoldersFromConfigured(Folders& f) {
  f.CurrentRomDir = f.ConfiguredRomDir;
  f.CurrentSnapDir = f.ConfiguredSnapDir;
  f.CurrentTapeDir = f.ConfiguredTapeDir;
  f.CurrentDownloadDir = f.ConfiguredDownloadDir;
}

// The display picks up the new palette, size and method.
void SetUpDisplay(Emulator& emu) {
  ApplyPalette(emu.m);
  emu.host.SetUpDisplay();
}

// The Recreated Spectrum keyboard sends characters, not key states: its protocol starts from a
// released matrix with neither shift latched.
void SwitchToRecreatedKeyboard(MachineState& m) {
  ReleaseAllKeys(m);
  m.input.CapsLatched = 0;
  m.input.SymbolLatched = 0;
}

// Joystick and keystick: the keystick wins when both are chosen.
void ApplyStickModes(MachineState& m) {
  InputState& in = m.input;
  if (m.settings.JoystickType != 0) {
    in.JoystickActive = 1;
    in.KeystickActive = 0;
  }
  if (m.settings.KeystickType != 0) {
    in.KeystickActive = 1;
    in.JoystickActive = 0;
  }
  if (m.settings.MouseType != 0) in.MouseWanted = 1;
}

// Every setting to its default, the folders from the program folder, the placements; then the
// 48K is set up afresh and hard reset.
void RestoreDefaults(Emulator& emu) {
  MachineState& m = emu.m;
  m.settings = Settings{};
  ApplyModel(m);
  ApplyKeyboardIssue(m);
  Folders& f = emu.folders;
  const std::string& program = f.ProgramFolder;
  f.ConfiguredRomDir = f.CurrentRomDir = program + "/roms/";
  f.ConfiguredSnapDir = f.CurrentSnapDir = program + "/snapshots/";
  f.ConfiguredTapeDir = f.CurrentTapeDir = program + "/tapes/";
  f.ConfiguredDownloadDir = f.CurrentDownloadDir = program + "/downloads/";
  f.LibsFolder = program + "/libs/";
  emu.config.placements = DefaultWindowPlacements();
  m.input.KeystickActive = 0;
  m.input.JoystickActive = 0;
  m.input.MouseWanted = 0;
  SetViewMenuChecks(emu);
  SetUpMachine(emu);
  SetUpDisplay(emu);
  emu.config.RomFileName = kRomFileNames[kModel48K];
  ResetMachine(emu, true);
}

// A file that exists but cannot be read, or breaks off before "[End]".
int CorruptConfig(Emulator& emu) {
  emu.ShowMessage(CaptionId::Options, kMsgConfigCorrupt);
  ResetConfig(emu);
  emu.host.ShowPlainMessage("Orvo Error", "Creating new config file");
  return 1;
}

}  // namespace

// ---- tables ----

const char* PlacementKey(Placement which) {
  const auto i = static_cast<size_t>(which);
  return i < static_cast<size_t>(kPlacementCount) ? kPlacementKeys[i] : "";
}

const char* RomFileNameForModel(int model) {
  return model >= 0 && model < 6 ? kRomFileNames[model] : nullptr;
}

std::string ConfigFilePath(const Emulator& emu) {
  // Without a configuration folder there is no file: never fall back to the file system's root.
  if (emu.folders.ConfigFolder.empty()) return {};
  return emu.folders.ConfigFolder + "/orvo.ini";
}

// ---- writing ----

std::string BuildConfigText(const Emulator& emu) {
  const Settings& s = emu.PendingSettings;
  std::string out;
  out.reserve(4096);
  for (const NumericSection& section : kNumericSections) {
    AppendLine(out, section.header);
    for (const NumericKey& key : section.keys) {
      int32_t value = 0;
      if (key.field == nullptr) {
        value = SpeedForFile(s.EmulationSpeed);
      } else if (key.field == &Settings::OptShader) {
        value = emu.m.settings.OptShader;  // the shader choice is written from the live value
      } else {
        value = s.*key.field;
      }
      AppendNumber(out, key.key, value);
    }
    AppendLine(out, " ");
  }
  const Folders& f = emu.folders;
  const std::string* folders[4] = {&f.CurrentRomDir, &f.CurrentSnapDir, &f.CurrentTapeDir,
                                   &f.CurrentDownloadDir};
  AppendLine(out, "[Folders]");
  for (int i = 0; i < 4; ++i) {
    out.append(kFolderKeys[i]);
    out.push_back('=');
    AppendLine(out, *folders[i]);
  }
  AppendLine(out, " ");
  AppendLine(out, "[Window Placements]");
  const WindowPlacements& p = emu.config.placements;
  for (int i = 0; i < kPlacementCount; ++i) {
    const WindowPosition& w = p.windows[static_cast<size_t>(i)];
    AppendNumber(out, kPlacementKeys[i], w.left);
    AppendNumber(out, kPlacementKeys[i], w.top);
    if (i == 0) AppendNumber(out, "Window Size", p.WindowSize);
  }
  AppendLine(out, " ");
  AppendLine(out, "[End]");
  AppendLine(out, "-----Nothing Below This Line-----");
  return out;
}

void SaveConfig(Emulator& emu) {
  CapturePendingSettings(emu);
  if (!WriteFileReplacing(ConfigFilePath(emu), BuildConfigText(emu))) {
    emu.ShowMessage(CaptionId::Options, kMsgCannotSave);
    RestoreDefaults(emu);
  }
}

void ResetConfig(Emulator& emu) {
  RestoreDefaults(emu);
  SaveConfig(emu);
  SetUpDisplay(emu);
}

// ---- reading ----

int LoadConfig(Emulator& emu) {
  std::string text;
  switch (ReadTextFile(ConfigFilePath(emu), text)) {
    case ReadResult::kMissing:  // the very first start: defaults and a new file, silently
      ResetConfig(emu);
      return 1;
    case ReadResult::kUnreadable: return CorruptConfig(emu);
    case ReadResult::kOk: break;
  }

  Settings& staged = emu.LoadedSettings;
  Folders& f = emu.folders;
  LineReader lines(text);
  for (;;) {
    const std::string_view header = lines.Next();
    if (header.empty() || header.front() != '[') return CorruptConfig(emu);
    const std::string_view name =
        header.size() >= 2 ? header.substr(1, header.size() - 2) : std::string_view{};
    const uint8_t id = LookUpSection(name);
    if (id == kSecEnd) break;
    if (const NumericSection* section = FindNumericSection(id)) {
      for (const NumericKey& key : section->keys) {
        const std::string_view line = lines.Next();
        if (key.field == nullptr)
          staged.EmulationSpeed = static_cast<float>(ParseUnsigned(line));
        else
          staged.*key.field = ParseSigned(line);
      }
    } else if (id == kSecFolders) {
      std::string* configured[4] = {&f.ConfiguredRomDir, &f.ConfiguredSnapDir, &f.ConfiguredTapeDir,
                                    &f.ConfiguredDownloadDir};
      for (std::string* folder : configured) *folder = std::string(ValueText(lines.Next()));
    } else if (id == kSecPlacements) {
      WindowPlacements& p = emu.config.placements;
      for (int i = 0; i < kPlacementCount; ++i) {
        WindowPosition& w = p.windows[static_cast<size_t>(i)];
        w.left = ParseSigned(lines.Next());
        w.top = ParseSigned(lines.Next());
        if (i == 0) p.WindowSize = ParseSigned(lines.Next());
      }
    }
    lines.Next();  // the separator line
  }

  // "[End]". A Custom ROM is found in the configured ROM folder under the ROM file name current
  // now; the path is settled before the set-up so that the set-up loads that file.
  if (staged.CustomRom == 1) {
    emu.m.settings.CustomRomPath = emu.config.RomFileName.empty()
                                       ? std::string()
                                       : f.ConfiguredRomDir + emu.config.RomFileName;
  }
  ApplyLoadedSettings(emu);
  f.CurrentRomDir = f.ConfiguredRomDir;
  SetRomFileNameFromModel(emu);
  ResetMachine(emu, true);
  SetUpDisplay(emu);
  return 0;
}

// ---- the three copies ----

void CapturePendingSettings(Emulator& emu) {
  const MachineState& m = emu.m;
  emu.PendingSettings = m.settings;
  // A snapshot may have switched the model since the settings were applied: the machine's model
  // is the live one.
  emu.PendingSettings.ModelType = m.MachineModel;
  ConfigState& c = emu.config;
  const Folders& f = emu.folders;
  c.PendingRomDir = f.CurrentRomDir;
  c.PendingSnapDir = f.CurrentSnapDir;
  c.PendingTapeDir = f.CurrentTapeDir;
  c.PendingDownloadDir = f.CurrentDownloadDir;
  c.PendingRomFileName = c.RomFileName;
  c.PendingFolderTyped = {};
}

void ApplyPendingSettings(Emulator& emu) {
  MachineState& m = emu.m;
  ConfigState& c = emu.config;
  m.settings = emu.PendingSettings;
  ApplyModel(m);
  ApplyKeyboardIssue(m);
  if (m.settings.JoystickType == 0) m.input.JoystickActive = 0;  // the game controller is let go
  Folders& f = emu.folders;
  // A typed folder gets the separator that file names are joined on.
  for (int row = 0; row < 4; ++row) {
    std::string* folder = OptionsPendingFolder(emu, row);
    if (c.PendingFolderTyped[static_cast<size_t>(row)] && !folder->empty() && folder->back() != '/')
      folder->push_back('/');
  }
  c.PendingFolderTyped = {};
  f.ConfiguredRomDir = c.PendingRomDir;
  f.ConfiguredSnapDir = c.PendingSnapDir;
  f.ConfiguredTapeDir = c.PendingTapeDir;
  f.ConfiguredDownloadDir = c.PendingDownloadDir;
  SetCurrentFoldersFromConfigured(f);
  c.RomFileName = c.PendingRomFileName;
  UpdateDevices(m);  // add-ons fitted or removed: the port decoder and overlays follow
}

void ApplyLoadedSettings(Emulator& emu) {
  MachineState& m = emu.m;
  const std::string customRomPath = m.settings.CustomRomPath;  // not a value of the file
  m.settings = emu.LoadedSettings;
  m.settings.CustomRomPath = customRomPath;
  ApplyModel(m);
  ApplyKeyboardIssue(m);
  if (m.settings.RecreatedSpectrum != 0) SwitchToRecreatedKeyboard(m);
  ApplyStickModes(m);
  SetCurrentFoldersFromConfigured(emu.folders);
  if (m.settings.DrawSize == 4) m.settings.DrawSize = 1;  // full screen is not restored
  SetViewMenuChecks(emu);
  SetUpMachine(emu);
  SetUpDisplay(emu);
  SetRomFileNameFromModel(emu);
}

void SetRomFileNameFromModel(Emulator& emu) {
  if (const char* name = RomFileNameForModel(emu.m.MachineModel)) emu.config.RomFileName = name;
}

// ---- placements ----

WindowPosition GetWindowPlacement(const Emulator& emu, Placement which) {
  const auto i = static_cast<size_t>(which);
  return i < static_cast<size_t>(kPlacementCount) ? emu.config.placements.windows[i]
                                                  : WindowPosition{};
}

void SetWindowPlacement(Emulator& emu, Placement which, WindowPosition position) {
  const auto i = static_cast<size_t>(which);
  if (i < static_cast<size_t>(kPlacementCount)) emu.config.placements.windows[i] = position;
}

// ---- options sheet ----

void BeginOptions(Emulator& emu) {
  CapturePendingSettings(emu);
  emu.config.HardwareChanged = false;
}

void OptionsChooseModel(Emulator& emu, int model) {
  Settings& p = emu.PendingSettings;
  p.ModelType = model;
  p.CustomRom = 0;
  if (model == kModel128K) p.KeyboardIssue = 1;
  if (const char* name = RomFileNameForModel(model)) emu.config.PendingRomFileName = name;
  emu.config.HardwareChanged = true;
}

void OptionsChooseCustomRom(Emulator& emu, const std::string& path) {
  Settings& p = emu.PendingSettings;
  p.CustomRomPath = path;
  p.ModelType = kModelCustom;
  p.CustomRom = 1;
  emu.config.PendingRomFileName = fs::path(path).filename().string();
  emu.config.HardwareChanged = true;
}

bool OptionsInterface1Allowed(const Emulator& emu) {
  const uint8_t model = emu.m.MachineModel;
  return model == kModel16K || model == kModel48K || model == kModel128K || model == kModelPlus2;
}

bool OptionsFullerAyAllowed(const Emulator& emu) {
  return !Is128KFamily(emu.m.MachineModel);
}

void OptionsSetInterface1(Emulator& emu, bool on) {
  emu.PendingSettings.Interface1 = on && OptionsInterface1Allowed(emu) ? 1 : 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetMultiface(Emulator& emu, bool on) {
  Settings& p = emu.PendingSettings;
  p.Multiface = on ? 1 : 0;
  if (on) p.FullerAy = 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetFullerAy(Emulator& emu, bool on) {
  Settings& p = emu.PendingSettings;
  p.FullerAy = on && OptionsFullerAyAllowed(emu) ? 1 : 0;
  if (p.FullerAy) p.Multiface = 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetPeripheral(Emulator& emu, int32_t Settings::*field, bool on) {
  emu.PendingSettings.*field = on ? 1 : 0;
  if (field != &Settings::Z80IsCmos) emu.config.HardwareChanged = true;
}

void OptionsSetLateTiming(Emulator& emu, bool on) {
  emu.PendingSettings.LateTiming = on ? 1 : 0;
  emu.config.HardwareChanged = true;
}

void OptionsSetContention(Emulator& emu, bool on) {
  emu.PendingSettings.Contention = on ? 1 : 0;
  emu.config.HardwareChanged = true;
}

bool OptionsKeyboardIssueEnabled(const Emulator& emu) {
  return emu.m.MachineModel == kModel48K;
}

void OptionsSetKeystickType(Emulator& emu, int type) {
  Settings& p = emu.PendingSettings;
  p.KeystickType = type;
  if (type != 0) {
    p.JoystickType = 0;
    emu.m.input.JoystickActive = 0;
    emu.m.input.KeystickActive = 1;
  }
}

void OptionsSetJoystickType(Emulator& emu, int type) {
  Settings& p = emu.PendingSettings;
  p.JoystickType = type;
  if (type != 0) p.KeystickType = 0;
}

std::string* OptionsPendingFolder(Emulator& emu, int row) {
  ConfigState& c = emu.config;
  switch (row) {
    case 0: return &c.PendingRomDir;
    case 1: return &c.PendingSnapDir;
    case 2: return &c.PendingTapeDir;
    case 3: return &c.PendingDownloadDir;
    default: return nullptr;
  }
}

void OptionsSetFolderFromPicker(Emulator& emu, int row, const std::string& folder) {
  std::string* pending = OptionsPendingFolder(emu, row);
  if (pending == nullptr || folder.empty()) return;
  // The picker gives a folder without a trailing separator; everything that joins a folder and a
  // file name relies on it being there.
  *pending = folder;
  if (pending->back() != '/') pending->push_back('/');
  emu.config.PendingFolderTyped[static_cast<size_t>(row)] = false;
}

void OptionsSetFolderFromText(Emulator& emu, int row, const std::string& text) {
  std::string* pending = OptionsPendingFolder(emu, row);
  if (pending == nullptr) return;
  *pending = text.substr(0, 80);
  emu.config.PendingFolderTyped[static_cast<size_t>(row)] = true;
}

std::string FolderFieldText(const std::string& folder) {
  const size_t slash = folder.find_last_of('/');
  return slash == std::string::npos ? folder : folder.substr(0, slash + 1);
}

void OptionsOk(Emulator& emu) {
  MachineState& m = emu.m;
  ConfigState& c = emu.config;
  ApplyPendingSettings(emu);
  SetUpDisplay(emu);
  if (m.MachineModel == kModelPlus3 && m.settings.CrcByte == 2) m.settings.CrcByte = 255;
  emu.menu.Enable(kCmdMicrodrives, m.settings.Interface1 != 0);
  if (m.settings.Rewind != 0) {
    ++c.RewindHistoryClears;
    c.RewindTimerRunning = true;
  } else {
    c.RewindTimerRunning = false;
  }
  if (m.settings.MouseType != 0) m.input.MouseWanted = 1;
  // The sound output opens again with the new rate, depth and volume.
  CloseSound(m);
  InitSound(emu);
  m.FocusPaused = 0;
  if (c.HardwareChanged) {
    SetUpMachine(emu);
    SetRomFileNameFromModel(emu);
    ResetMachine(emu, true);
  }
  SetUpDisplay(emu);
  if (m.settings.RecreatedSpectrum != 0) SwitchToRecreatedKeyboard(m);
  c.HardwareChanged = false;
}

}  // namespace orvo
