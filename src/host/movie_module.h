#pragma once
// The movie encoder is a module of its own, liborvo_movie.so, the only part of Orvo that links
// FFmpeg's libraries: the programs load it (and FFmpeg with it) when a movie is first recorded,
// so a run without a movie does not pay for loading a hundred codec libraries at start-up.
//
// The module exports one C function, kMovieModuleEntry, returning this table; the loader
// (host/movie_writer.cpp) refuses a table of another version.
#include <cstdint>

#include "host/movie_writer.h"

namespace orvo {

inline constexpr int kMovieModuleVersion = 2;
inline constexpr char kMovieModuleFile[] = "liborvo_movie.so";
inline constexpr char kMovieModuleEntry[] = "orvo_movie_module";

// An encoder is an opaque handle. The functions returning int return 1 for success, 0 for
// failure, after which `lastError` says why; the strings they return stay valid until the next
// call on the same encoder.
struct MovieModuleApi {
  int version;
  void* (*create)();
  void (*destroy)(void* encoder);  // abandons an unfinished recording
  // Writes into `file` (the loader's temporary file, which it puts in place); `name` is the
  // user's name for the movie, whose extension chooses the container.
  int (*open)(void* encoder, const char* file, const char* name, const MovieFormat* format);
  int (*addFrame)(void* encoder, const uint32_t* pixels, int stride, const uint8_t* audio,
                  uint32_t audioBytes);
  int (*finish)(void* encoder);
  void (*abandon)(void* encoder);
  int64_t (*frames)(const void* encoder);
  int64_t (*bytesWritten)(const void* encoder);
  const char* (*videoCodec)(const void* encoder);
  const char* (*lastError)(const void* encoder);
  int (*hasH264)();
};

}  // namespace orvo
