#include "app/file_run_options.h"

#include <charconv>
#include <cstdio>

#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/media_loaders.h"
#include "shell/zip_archive.h"

namespace orvo {

const char kFileRunHelp[] =
    "  --open-at F:FILE   before frame F open FILE as the window's Open does (reset only when\n"
    "                     the file will load; a refused file changes nothing); repeatable\n";

int ParseFileRunOption(const std::vector<std::string>& args, size_t& i, FileRunOptions& options,
                       std::string* error) {
  if (args[i] != "--open-at") return 0;
  const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
  const size_t colon = value.find(':');
  long frame = -1;
  const char* first = value.data();
  const char* last = first + (colon == std::string::npos ? 0 : colon);
  const auto [end, ec] = std::from_chars(first, last, frame);
  if (colon == std::string::npos || colon == 0 || ec != std::errc() || end != last || frame < 0 ||
      colon + 1 >= value.size()) {
    *error = "--open-at needs F:FILE with a frame number F";
    return -1;
  }
  ++i;
  options.openAt.push_back({frame, value.substr(colon + 1)});
  return 1;
}

void FileRun::BeforeFrame(Emulator& emu, long frame) const {
  for (const FileRunOptions::OpenAt& open : options_.openAt) {
    if (open.frame != frame) continue;
    bool loaded = OpenFileCommand(emu, open.path) == 0 && emu.files.LastLoadStatus == kLoadedOk;
    if (loaded && emu.files.ZipPickerPending) {
      emu.files.ZipPickerPending = 0;
      loaded =
          LoadZipArchiveEntry(emu, open.path, {}) == 0 && emu.files.LastLoadStatus == kLoadedOk;
    }
    std::fprintf(stderr, "%s: %s\n", loaded ? "Opened" : "Refused", open.path.c_str());
  }
}

}  // namespace orvo
