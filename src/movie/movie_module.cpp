// The module's one entry point: the table of plain functions host/movie_writer.cpp calls through
// once it has loaded liborvo_movie.so. Each handle is a MovieEncoder with the text of its last
// error and of its codec kept beside it, so the strings handed out stay valid between calls.
#include "host/movie_module.h"

#include <new>
#include <string>

#include "movie/movie_encoder.h"

namespace orvo {
namespace {

struct Handle {
  MovieEncoder encoder;
  std::string error;
  std::string codec;
};

Handle& Of(void* encoder) {
  return *static_cast<Handle*>(encoder);
}
const Handle& Of(const void* encoder) {
  return *static_cast<const Handle*>(encoder);
}

const MovieModuleApi kApi = {
    kMovieModuleVersion,
    []() -> void* { return new (std::nothrow) Handle; },
    [](void* encoder) { delete static_cast<Handle*>(encoder); },
    [](void* encoder, const char* file, const char* name, const MovieFormat* format) -> int {
      Handle& h = Of(encoder);
      const bool ok = h.encoder.Open(file, name, *format, &h.error);
      h.codec = h.encoder.VideoCodec();
      return ok ? 1 : 0;
    },
    [](void* encoder, const uint32_t* pixels, int stride, const uint8_t* audio,
       uint32_t audioBytes) -> int {
      Handle& h = Of(encoder);
      return h.encoder.AddFrame(pixels, stride, audio, audioBytes, &h.error) ? 1 : 0;
    },
    [](void* encoder) -> int {
      Handle& h = Of(encoder);
      return h.encoder.Finish(&h.error) ? 1 : 0;
    },
    [](void* encoder) { Of(encoder).encoder.Abandon(); },
    [](const void* encoder) { return Of(encoder).encoder.Frames(); },
    [](const void* encoder) { return Of(encoder).encoder.BytesWritten(); },
    [](const void* encoder) { return Of(encoder).codec.c_str(); },
    [](const void* encoder) { return Of(encoder).error.c_str(); },
    []() -> int { return EncoderHasH264() ? 1 : 0; },
};

}  // namespace
}  // namespace orvo

// Of the type every module's entry has (host/module_loader.h), which the loader calls it through.
extern "C" __attribute__((visibility("default"))) const void* orvo_movie_module() {
  return &orvo::kApi;
}
