#pragma once
// Movie recording through FFmpeg's libraries: one video frame per emulated frame at 50 frames a
// second, and that frame's sound, so picture and sound stay in step however long the recording.
//
// H.264 in MP4 when libavcodec has the x264 encoder (an ".mkv" name gives Matroska instead);
// without it FFV1, lossless, in Matroska. Sound is AAC at 48 kHz: each frame's samples (the
// machine's fixed count per frame) are resampled to exactly 960, a fiftieth of a second.
//
// The file is written under a temporary name beside the target and renamed when it is finished,
// so a failed or abandoned recording never leaves a half-written file under the user's name.
//
// The encoder itself is the module liborvo_movie.so (host/movie_module.h), loaded on the first
// Open or MovieHasH264 call, so a run that records no movie never loads FFmpeg. When the module
// cannot be loaded, Open fails with an error naming the file and why, and MovieHasH264 is false.
#include <cstdint>
#include <memory>
#include <string>

namespace orvo {

struct MovieFormat {
  int width = 352;
  int height = 296;
  int channels = 2;         // 1 or 2
  int bitsPerSample = 16;   // 16 (signed) or 8 (unsigned)
  int samplesPerFrame = 0;  // the sound's samples in one emulated frame (per channel)
  bool withSound = true;
};

class MovieWriter {
 public:
  MovieWriter();
  ~MovieWriter();  // an unfinished recording is abandoned and its temporary file removed
  MovieWriter(const MovieWriter&) = delete;
  MovieWriter& operator=(const MovieWriter&) = delete;

  // False with `error` set when no encoder or file can be set up.
  bool Open(const std::string& path, const MovieFormat& format, std::string* error);
  // One emulated frame: `pixels` (width x height, 0x00RRGGBB, `stride` pixels a row) and its
  // sound (`audioBytes` of interleaved samples, samplesPerFrame of them; null for silence).
  bool AddFrame(const uint32_t* pixels, int stride, const uint8_t* audio, uint32_t audioBytes,
                std::string* error);
  // Flushes the encoders, writes the index and renames the file into place.
  bool Finish(std::string* error);
  // Ends the recording without keeping anything.
  void Abandon();

  bool IsOpen() const;
  int64_t Frames() const;
  int64_t BytesWritten() const;  // what the file holds so far
  std::string VideoCodec() const;
  const std::string& Path() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when libavcodec has the H.264 encoder (false when the movie module cannot be loaded).
bool MovieHasH264();

}  // namespace orvo
