#include "app/movie_run_options.h"

#include <cstdio>

#include "app/shader_run_options.h"
#include "host/movie_writer.h"
#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "sound/audio_device.h"
#include "video/ula.h"

namespace orvo {

const char kMovieRunHelp[] =
    "Movie:\n"
    "  --movie FILE       record the run, 50 frames a second with its sound (H.264 in MP4,\n"
    "                     .mkv for Matroska; FFV1 in Matroska without an H.264 encoder)\n"
    "  --movie-effect     record the shader's picture (--shader) instead of the plain one\n";

int ParseMovieRunOption(const std::vector<std::string>& args, size_t& i, MovieRunOptions& options,
                        std::string* error) {
  const std::string& a = args[i];
  if (a == "--movie-effect") {
    options.afterEffect = true;
    return 1;
  }
  if (a != "--movie") return 0;
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    *error = "--movie needs a file name";
    return -1;
  }
  options.path = args[++i];
  return 1;
}

namespace {

// Keeps the last finished frame of sound until the frame's picture joins it.
class FrameSound final : public SoundFrameSink {
 public:
  void TakeFrame(const uint8_t* data, uint32_t bytes) override { last.assign(data, data + bytes); }
  std::vector<uint8_t> last;
};

}  // namespace

struct MovieRun::State {
  MovieWriter writer;
  FrameSound sound;
  ShaderRun* shaders = nullptr;
};

MovieRun::MovieRun(MovieRunOptions options) : options_(std::move(options)) {}
MovieRun::~MovieRun() = default;

void MovieRun::Configure(Settings& settings) const {
  if (Recording()) settings.Sound = 1;
}

bool MovieRun::Start(Emulator& emu, ShaderRun& shaders, std::string* error) {
  if (!Recording()) return true;
  state_ = std::make_unique<State>();
  InitSoundCapture(emu, state_->sound);
  const WaveFormat& f = emu.m.sound.format;
  MovieFormat format;
  const bool effect = options_.afterEffect && shaders.Active();
  state_->shaders = effect ? &shaders : nullptr;
  const int scale = effect ? shaders.Scale() : 1;
  format.width = 352 * scale;
  format.height = 296 * scale;
  format.channels = f.channels;
  format.bitsPerSample = f.bitsPerSample;
  format.samplesPerFrame = static_cast<int>(emu.m.sound.FrameBytes / f.blockAlign);
  if (!state_->writer.Open(options_.path, format, error)) return false;
  std::fprintf(stderr, "Movie: %s (%s)\n", options_.path.c_str(),
               state_->writer.VideoCodec().c_str());
  return true;
}

bool MovieRun::AfterFrame(Emulator& emu, std::string* error) {
  if (!state_) return true;
  const std::vector<uint8_t>& sound = state_->sound.last;
  bool ok = false;
  if (state_->shaders != nullptr) {
    const std::vector<uint32_t> picture = state_->shaders->Render(ScreenPixels(emu.m));
    ok = state_->writer.AddFrame(picture.data(), 352 * state_->shaders->Scale(), sound.data(),
                                 static_cast<uint32_t>(sound.size()), error);
  } else {
    ok = state_->writer.AddFrame(ScreenPixels(emu.m), 352, sound.data(),
                                 static_cast<uint32_t>(sound.size()), error);
  }
  state_->sound.last.clear();
  return ok;
}

bool MovieRun::Finish(std::string* error) {
  if (!state_) return true;
  const int64_t frames = state_->writer.Frames();
  if (!state_->writer.Finish(error)) return false;
  std::fprintf(stderr, "Movie: %lld frames written\n", static_cast<long long>(frames));
  return true;
}

}  // namespace orvo
