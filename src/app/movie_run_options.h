#pragma once
// The headless runner's movie option: --movie FILE records every frame of the run (the picture,
// or with --movie-effect the shader's picture) and its sound to a movie file.
#include <memory>
#include <string>
#include <vector>

namespace orvo {

class Emulator;
class MovieWriter;
class ShaderRun;
struct Settings;

struct MovieRunOptions {
  std::string path;  // empty: no movie
  bool afterEffect = false;
};

extern const char kMovieRunHelp[];

int ParseMovieRunOption(const std::vector<std::string>& args, size_t& i, MovieRunOptions& options,
                        std::string* error);

class MovieRun {
 public:
  explicit MovieRun(MovieRunOptions options);
  ~MovieRun();

  bool Recording() const { return !options_.path.empty(); }
  // Before machine set-up: sound on (it is recorded).
  void Configure(Settings& settings) const;
  // After set-up and reset: opens the file and takes over the sound's frames. False with `error`.
  bool Start(Emulator& emu, ShaderRun& shaders, std::string* error);
  // After every frame: adds its picture and sound.
  bool AfterFrame(Emulator& emu, std::string* error);
  bool Finish(std::string* error);

 private:
  struct State;
  MovieRunOptions options_;
  std::unique_ptr<State> state_;
};

}  // namespace orvo
