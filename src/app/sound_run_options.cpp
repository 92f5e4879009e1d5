#include "app/sound_run_options.h"

#include <cstdlib>

#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "sound/sound_output.h"

namespace orvo {

const char kSoundRunHelp[] =
    "Sound:\n"
    "  --wav FILE         record the generated sound to a WAV file (turns sound on; no device)\n"
    "  --sound-freq HZ    sample rate (at least 11025; default 44100)\n"
    "  --sound-bits B     8 or 16 (default 16)\n"
    "  --sound-output O   mono, abc or acb (default abc)\n";

namespace {

bool ParseInt(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v <= 0 || v > 1000000) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

int ParseSoundRunOption(const std::vector<std::string>& args, size_t& i, SoundRunOptions& options,
                        std::string* error) {
  const std::string& a = args[i];
  if (a != "--wav" && a != "--sound-freq" && a != "--sound-bits" && a != "--sound-output") return 0;
  if (i + 1 >= args.size()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& v = args[++i];
  if (a == "--wav") {
    if (v.empty()) {
      *error = "--wav needs a file name";
      return -1;
    }
    options.wavPath = v;
  } else if (a == "--sound-freq") {
    if (!ParseInt(v, &options.freq)) {
      *error = "--sound-freq needs a sample rate in Hz";
      return -1;
    }
  } else if (a == "--sound-bits") {
    if (v == "8") {
      options.bits = 8;
    } else if (v == "16") {
      options.bits = 16;
    } else {
      *error = "--sound-bits needs 8 or 16";
      return -1;
    }
  } else {
    if (v == "mono") {
      options.output = 0;
    } else if (v == "abc") {
      options.output = 1;
    } else if (v == "acb") {
      options.output = 2;
    } else {
      *error = "--sound-output needs mono, abc or acb";
      return -1;
    }
  }
  return 1;
}

void WavRun::Configure(Settings& settings) const {
  if (options_.freq > 0) settings.Freq = options_.freq;
  if (options_.bits > 0) settings.SoundBits = options_.bits;
  if (options_.output >= 0) settings.Output = options_.output;
  if (Recording()) settings.Sound = 1;
}

void WavRun::Start(Emulator& emu) {
  if (Recording()) InitSoundCapture(emu, capture_);
}

bool WavRun::Finish(Emulator& emu, std::string* error) {
  if (!Recording()) return true;
  SoundState& s = emu.m.sound;
  // The frame still being filled.
  if (s.Capture == &capture_ && s.StagingPosition > 0) {
    capture_.TakeFrame(s.SoundStaging.data(), s.StagingPosition);
    s.StagingPosition = 0;
  }
  const std::vector<uint8_t> file = BuildWavFile(s.format, capture_.Samples());
  return WriteFileAtomically(options_.wavPath, file, error);
}

}  // namespace orvo
