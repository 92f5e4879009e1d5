#include "app/video_run_options.h"

#include <algorithm>
#include <cstdlib>

#include "formats/file_io.h"
#include "machine/typing.h"
#include "rzx/rzx_session.h"
#include "shell/emulator.h"
#include "video/palette.h"

namespace orvo {

const char kVideoRunHelp[] =
    "Screen and keyboard:\n"
    "  --screenshot FILE  write the picture at the end as a 352 x 296 PNG\n"
    "  --screen-text      print the 24 x 32 character screen at the end ('?': no character)\n"
    "  --type TEXT        type TEXT in as \"Load BASIC Text File\" does (\\n starts a new line)\n"
    "  --type-file FILE   type a text file in\n"
    "  --type-frame N     start typing before frame N (default 0)\n"
    "  --key F:KEYS:N     hold Spectrum keys down from frame F for N frames, e.g. 100:SS+P:5,\n"
    "                     50:ENTER:3 (keys: A-Z, 0-9, CS, SS, ENTER, SPACE); repeatable\n";

namespace {

bool ParseCount(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < 0) return false;
  *value = v;
  return true;
}

// "\n" (backslash, n) in a --type argument starts a new line.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool ParseKeyHold(const std::string& text, KeyHold& hold) {
  const size_t first = text.find(':');
  const size_t last = text.rfind(':');
  if (first == std::string::npos || first == last) return false;
  return ParseCount(text.substr(0, first), &hold.frame) &&
         ParseCount(text.substr(last + 1), &hold.frames) && hold.frames > 0 &&
         ParseSpectrumKeys(text.substr(first + 1, last - first - 1), hold.keys);
}

int ParseVideoRunOption(const std::vector<std::string>& args, size_t& i, VideoRunOptions& options,
                        std::string* error) {
  const std::string& a = args[i];
  if (a != "--screenshot" && a != "--screen-text" && a != "--type" && a != "--type-file" &&
      a != "--type-frame" && a != "--key") {
    return 0;
  }
  if (a == "--screen-text") {
    options.screenText = true;
    return 1;
  }
  if (i + 1 >= args.size()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& value = args[++i];
  if (a == "--screenshot") {
    options.screenshotPath = value;
  } else if (a == "--type") {
    options.typing = true;
    options.typeText = Unescape(value);
    options.typeFile.clear();
  } else if (a == "--type-file") {
    options.typing = true;
    options.typeFile = value;
  } else if (a == "--type-frame") {
    if (!ParseCount(value, &options.typeFrame)) {
      *error = "--type-frame needs a whole number";
      return -1;
    }
  } else {
    KeyHold hold;
    if (!ParseKeyHold(value, hold)) {
      *error = "--key needs FRAME:KEYS:FRAMES, for example 100:SS+P:5 (got '" + value + "')";
      return -1;
    }
    options.keys.push_back(hold);
  }
  return 1;
}

bool VideoRun::Start(Emulator& emu, std::string* error) {
  ApplyPalette(emu.m);
  if (!options_.typeFile.empty()) {
    // Text to type is a listing at most: a larger file would take hours to type in.
    constexpr uint64_t kLargestText = 16u << 20;
    if (ReadRegularText(options_.typeFile, options_.typeText, kLargestText) != ReadFailure::None) {
      *error = "cannot read the text file " + options_.typeFile;
      return false;
    }
  }
  return true;
}

void VideoRun::BeforeFrame(Emulator& emu, long frame) {
  MachineState& m = emu.m;
  if (options_.typing && frame == options_.typeFrame && RzxAllowsTyping(emu)) {
    StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(options_.typeText.data()),
                             options_.typeText.size()));
  }
  if (options_.keys.empty()) return;
  std::vector<SpectrumKey> wanted;
  for (const KeyHold& hold : options_.keys) {
    if (frame >= hold.frame && frame < hold.frame + hold.frames) {
      wanted.insert(wanted.end(), hold.keys.begin(), hold.keys.end());
    }
  }
  for (const SpectrumKey& k : held_) {
    if (std::find(wanted.begin(), wanted.end(), k) == wanted.end()) ReleaseSpectrumKey(m, k);
  }
  for (const SpectrumKey& k : wanted) PressSpectrumKey(m, k);
  held_ = std::move(wanted);
}

}  // namespace orvo
