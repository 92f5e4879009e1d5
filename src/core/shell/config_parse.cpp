// Reading orvo.ini. The reader is positional: the n-th line of a section gives the n-th setting
// whatever its key text says, and the sections may come in any order.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "shell/config.h"
#include "shell/config_internal.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"

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

// A file that exists but cannot be read, or breaks off before "[End]".
int CorruptConfig(Emulator& emu) {
  emu.ShowMessage(CaptionId::Options, kMsgConfigCorrupt);
  ResetConfig(emu);
  emu.host.ShowPlainMessage("Orvo Error", "Creating new config file");
  return 1;
}

}  // namespace

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
    } else if (id == kSecShaders) {
      staged.ShaderPreset = std::string(ValueText(lines.Next()));
      for (std::string& values : staged.ShaderParameters) values = ValueText(lines.Next());
    }
    lines.Next();  // the separator line
  }

  // "[End]". A Custom ROM is found in the configured ROM folder under the ROM file name current
  // now; the path is settled before the set-up so that the set-up loads that file.
  if (staged.CustomRom == 1) {
    emu.settings.CustomRomPath = emu.config.RomFileName.empty()
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

}  // namespace orvo
