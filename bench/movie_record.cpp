// Cost of movie recording: processor time (the encoder's threads included) to add one frame, a
// 352 x 296 picture that changes every frame and its sound, encoded as orvo-run --movie does.
//
//   orvo-bench-movie_record [--seconds S]
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_report.h"
#include "host/movie_writer.h"

int main(int argc, char** argv) {
  using namespace orvo;
  if (!bench::ParseCommonOptions(argc, argv, "Measures movie recording per frame.")) return 0;
  const std::string path =
      (std::filesystem::temp_directory_path() / "orvo_bench_movie.mp4").string();
  MovieWriter writer;
  MovieFormat format;
  format.samplesPerFrame = 884;  // 44.1 kHz stereo 16-bit, as the sound output makes it
  std::string error;
  if (!writer.Open(path, format, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<uint32_t> picture(352 * 296);
  std::vector<int16_t> sound(884 * 2);
  long frames = 0;
  const double start = bench::ProcessSeconds();
  while (bench::ProcessSeconds() - start < bench::MinSeconds() || frames < 100) {
    // A moving pattern of Spectrum colours and a square wave: work a real picture gives.
    for (int y = 0; y < 296; ++y)
      for (int x = 0; x < 352; ++x)
        picture[y * 352 + x] = ((x + y + frames) / 8) % 2 ? 0xCACACA : 0x0000CA;
    for (size_t i = 0; i < sound.size(); ++i) sound[i] = (i / 40) % 2 ? 8000 : -8000;
    if (!writer.AddFrame(picture.data(), 352, reinterpret_cast<const uint8_t*>(sound.data()),
                         static_cast<uint32_t>(sound.size() * 2), &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    ++frames;
  }
  const std::string codec = writer.VideoCodec();
  const bool finished = writer.Finish(&error);
  const double seconds = bench::ProcessSeconds() - start;
  std::filesystem::remove(path);
  if (!finished) return 1;
  bench::PrintFigure("movie_record." + codec, seconds / frames * 1e6, "us/frame");
  return 0;
}
