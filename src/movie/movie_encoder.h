#pragma once
// The movie encoder behind host/movie_writer.h, built on FFmpeg's libraries: one video frame per
// emulated frame at 50 frames a second, and that frame's sound, so picture and sound stay in step
// however long the recording (the formats are described in host/movie_writer.h).
//
// It lives in the module liborvo_movie.so, loaded only when a movie is recorded.
#include <cstdint>
#include <memory>
#include <string>

#include "host/movie_writer.h"

namespace orvo {

class MovieEncoder {
 public:
  MovieEncoder();
  ~MovieEncoder();  // an unfinished recording is abandoned
  MovieEncoder(const MovieEncoder&) = delete;
  MovieEncoder& operator=(const MovieEncoder&) = delete;

  // Writes the movie into `file`, which the caller made and puts in place when it is finished;
  // `name` is the user's name for it: its extension chooses the container, messages quote it.
  bool Open(const std::string& file, const std::string& name, const MovieFormat& format,
            std::string* error);
  bool AddFrame(const uint32_t* pixels, int stride, const uint8_t* audio, uint32_t audioBytes,
                std::string* error);
  bool Finish(std::string* error);
  void Abandon();

  int64_t Frames() const;
  int64_t BytesWritten() const;
  std::string VideoCodec() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when libavcodec has the H.264 encoder.
bool EncoderHasH264();

}  // namespace orvo
