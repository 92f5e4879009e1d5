// Writing orvo.ini: plain text with CR LF line ends, the sections in a fixed order and one
// "Key=value" line per setting.
#include <sys/stat.h>

#include <cstdio>
#include <limits>
#include <span>

#include "shell/config.h"
#include "shell/config_internal.h"
#include "shell/emulator.h"
#include "shell/snapshot_save.h"

namespace orvo {

using namespace config_detail;

namespace {

// The speed is held as a float and written as its integer part.
int32_t SpeedForFile(float speed) {
  if (!(speed == speed)) return 0;  // NaN
  if (speed >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
  if (speed <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(speed);
}

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

}  // namespace

bool config_detail::ConfigFileReadOnly(const Emulator& emu) {
  const std::string path = ConfigFilePath(emu);
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         (st.st_mode & 0222) == 0;
}

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
        value = emu.settings.OptShader;  // the shader choice is written from the live value
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
  AppendLine(out, "[Devices]");
  const std::string* devices[2] = {&s.CurrentJoystickName, &s.CustomRomPath};
  for (int i = 0; i < 2; ++i) {
    out.append(kDeviceKeys[i]);
    out.push_back('=');
    AppendLine(out, *devices[i]);
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
  AppendLine(out, "[Shaders]");
  for (int i = 0; i < 7; ++i) {
    out.append(kShaderKeys[i]);
    out.push_back('=');
    AppendLine(out, i == 0 ? s.ShaderPreset : s.ShaderParameters[static_cast<size_t>(i - 1)]);
  }
  AppendLine(out, " ");
  AppendLine(out, "[End]");
  AppendLine(out, "-----Nothing Below This Line-----");
  return out;
}

void SaveConfig(Emulator& emu) {
  CapturePendingSettings(emu);
  // A file the user made read-only stays as it is: the settings of this session are not kept.
  if (ConfigFileReadOnly(emu)) {
    emu.ShowMessage(CaptionId::Options, kMsgConfigReadOnly);
    return;
  }
  const std::string text = BuildConfigText(emu);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (ConfigFilePath(emu).empty() || !WriteFileReplacing(ConfigFilePath(emu), bytes)) {
    emu.ShowMessage(CaptionId::Options, kMsgCannotSaveConfig);
  }
}

}  // namespace orvo
