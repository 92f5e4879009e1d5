// Reading orvo.ini. The reader is positional: the n-th line of a section gives the n-th setting
// whatever its key text says, and the sections may come in any order.
#include <cstdio>
#include <filesystem>
#include <limits>

#include "formats/file_io.h"
#include "shell/config.h"
#include "shell/config_internal.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/sound_setup.h"

namespace orvo {

namespace fs = std::filesystem;
using namespace config_detail;

namespace {

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
  bool AtEnd() const { return pos_ >= text_.size(); }

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

enum class ReadResult { kOk, kMissing, kUnreadable };

ReadResult ReadTextFile(const std::string& path, std::string& text) {
  // Only a regular file is read: a folder or a pipe in its place is as good as unreadable. No
  // settings file comes near the cap.
  constexpr uint64_t kLargestConfig = 16u << 20;
  switch (ReadRegularText(path, text, kLargestConfig)) {
    case ReadFailure::None: return ReadResult::kOk;
    case ReadFailure::Missing: return ReadResult::kMissing;
    default: return ReadResult::kUnreadable;
  }
}

// Moves the file the reader could not use to "orvo.ini.bad" beside it (replacing an older one),
// so that the new file written next never destroys what the user had. Returns the kept path, or
// an empty string when it could not be moved.
std::string KeepBadFile(const Emulator& emu) {
  const std::string path = ConfigFilePath(emu);
  if (path.empty() || ConfigFileReadOnly(emu)) return {};
  const std::string bad = path + ".bad";
  std::error_code ec;
  fs::remove_all(bad, ec);
  fs::rename(path, bad, ec);
  return ec ? std::string() : bad;
}

// A file that exists but cannot be read, or breaks off before "[End]": it is kept as
// orvo.ini.bad and a new file with the defaults is written.
int CorruptConfig(Emulator& emu) {
  emu.ShowMessage(CaptionId::Options, kMsgConfigCorrupt);
  if (ConfigFileReadOnly(emu)) {
    // The user's read-only file stays as it is: this session runs on the defaults, unsaved.
    RestoreDefaults(emu);
    SetUpDisplay(emu);
    emu.ShowMessage(CaptionId::Options, kMsgConfigReadOnly);
    return 1;
  }
  const std::string kept = KeepBadFile(emu);
  ResetConfig(emu);
  emu.host.ShowPlainMessage("Orvo Error", kept.empty() ? "Creating new config file"
                                                       : "Creating new config file; the old "
                                                         "one is kept as orvo.ini.bad");
  return 1;
}

bool IsHeader(std::string_view line) {
  return !line.empty() && line.front() == '[';
}

}  // namespace

ConfigParse ParseConfigText(std::span<const uint8_t> bytes, Settings& staged, Folders& f,
                            WindowPlacements& p) {
  ConfigParse result;
  LineReader lines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  // Lines the reader does not understand (a stray line between sections, or a section with a
  // line too many) are passed over to the next header; the file is then kept as orvo.ini.bad and
  // written anew from what was read. A section with a line too many keeps its earlier values.
  std::string_view pending;  // a header found where a separator line was expected
  for (;;) {
    std::string_view header = pending.empty() ? lines.Next() : pending;
    pending = {};
    if (!IsHeader(header)) {
      result.strayLines = true;
      while (!lines.AtEnd() && !IsHeader(header)) header = lines.Next();
      if (!IsHeader(header)) return result;
    }
    const std::string_view name =
        header.size() >= 2 ? header.substr(1, header.size() - 2) : std::string_view{};
    const uint8_t id = LookUpSection(name);
    if (id == kSecEnd) break;
    const Settings before = staged;
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
    } else if (id == kSecDevices) {
      staged.CurrentJoystickName = std::string(ValueText(lines.Next()));
      staged.CustomRomPath = std::string(ValueText(lines.Next()));
    } else if (id == kSecPlacements) {
      for (int i = 0; i < kPlacementCount; ++i) {
        WindowPosition& w = p.windows[static_cast<size_t>(i)];
        w.left = ParseSigned(lines.Next());
        w.top = ParseSigned(lines.Next());
        if (i == 0) p.WindowSize = ParseSigned(lines.Next());
      }
    } else if (id == kSecShaders) {
      staged.ShaderPreset = std::string(ValueText(lines.Next()));
      for (std::string& values : staged.ShaderParameters) values = ValueText(lines.Next());
    }
    // The separator line. A "Key=value" line here means the section had a line too many, so its
    // values are shifted: they are dropped. A header here starts the next section.
    const std::string_view separator = lines.Next();
    if (IsHeader(separator)) {
      pending = separator;
    } else if (separator.find('=') != std::string_view::npos) {
      result.strayLines = true;
      if (FindNumericSection(id) != nullptr) staged = before;
    }
  }
  result.complete = true;
  return result;
}

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
  staged.CurrentJoystickName.clear();
  staged.CustomRomPath.clear();
  Folders& f = emu.folders;
  const ConfigParse parsed = ParseConfigText(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), staged,
      f, emu.config.placements);
  if (!parsed.complete) return CorruptConfig(emu);
  const bool strayLines = parsed.strayLines;
  ClampSettings(staged);

  // "[End]". The Custom ROM file chosen last, when the file names it; otherwise a Custom ROM is
  // looked for in the configured ROM folder under the ROM file name current now. The path is
  // settled before the set-up so that the set-up loads that file.
  if (!staged.CustomRomPath.empty()) {
    emu.settings.CustomRomPath = staged.CustomRomPath;
  } else if (staged.CustomRom == 1) {
    emu.settings.CustomRomPath = emu.config.RomFileName.empty()
                                     ? std::string()
                                     : f.ConfiguredRomDir + emu.config.RomFileName;
  }
  ApplyLoadedSettings(emu);
  f.CurrentRomDir = f.ConfiguredRomDir;
  SetRomFileNameFromModel(emu);
  ResetMachine(emu, true);
  SetUpDisplay(emu);
  ReopenSound(emu);
  if (strayLines && ConfigFileReadOnly(emu)) {
    emu.ShowMessage(CaptionId::Options, kMsgConfigReadOnly);
    return 1;
  }
  if (strayLines) {
    const std::string kept = KeepBadFile(emu);
    SaveConfig(emu);
    emu.ShowMessage(CaptionId::Options, kMsgConfigKeptAsBad, kept);
    return 1;
  }
  return 0;
}

}  // namespace orvo
