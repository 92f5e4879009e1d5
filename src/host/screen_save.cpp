#include "host/screen_save.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "host/png_writer.h"
#include "machine/machine_state.h"
#include "shell/screen_file.h"
#include "sound/wav_file.h"
#include "video/ula.h"

namespace orvo {

namespace {

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

bool SaveCurrentScreen(const MachineState& m, const std::string& path, bool withBorder,
                       std::string* error) {
  const std::string ext = LowerExtension(path);
  if (ext == "scr") return WriteFileAtomically(path, BuildScr(m), error);
  if (ext != "png") {
    *error = "a screen is saved as .png or .scr: " + path;
    return false;
  }
  const uint32_t* picture = ScreenPixels(m);
  if (withBorder) return WritePng(path, picture, kPictureWidth, kPictureHeight, error);
  std::vector<uint32_t> display(256 * 192);
  for (int y = 0; y < 192; ++y)
    std::copy_n(picture + (y + kDisplayTop) * kPictureWidth + kDisplayLeft, 256,
                display.begin() + y * 256);
  return WritePng(path, display.data(), 256, 192, error);
}

}  // namespace orvo
