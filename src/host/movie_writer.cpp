// The movie writer loads the encoder module on first use and forwards each call through its
// table. Where the module is looked for, in order: beside the running program (the build tree,
// or a folder the user unpacked), the installed tree's <prefix>/<libdir>/orvo/ beside its bin/,
// then the build tree's own output path, so programs built elsewhere in the tree find it too.
// The first of those files that exists is the one loaded: a module that is present but broken is
// reported as such rather than silently replaced by another.
#include "host/movie_writer.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "formats/file_io.h"
#include "host/movie_module.h"

namespace orvo {

namespace {

struct LoadedModule {
  const MovieModuleApi* api = nullptr;
  std::string error;  // why `api` is null
};

std::vector<std::filesystem::path> ModuleCandidates() {
  std::vector<std::filesystem::path> paths;
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path folder = program.parent_path();
    paths.push_back(folder / kMovieModuleFile);
    paths.push_back((folder / ".." / ORVO_MOVIE_INSTALL_DIR / kMovieModuleFile).lexically_normal());
  }
  paths.emplace_back(ORVO_MOVIE_BUILD_PATH);
  return paths;
}

LoadedModule Load() {
  LoadedModule loaded;
  const std::vector<std::filesystem::path> candidates = ModuleCandidates();
  std::filesystem::path path;
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec)) {
      path = candidate;
      break;
    }
  }
  if (path.empty()) {
    loaded.error =
        std::string("Movie: cannot find the movie encoder ") + kMovieModuleFile + " (looked for";
    for (size_t i = 0; i < candidates.size(); ++i)
      loaded.error += (i == 0 ? " " : ", ") + candidates[i].string();
    loaded.error += ")";
    return loaded;
  }
  // Kept loaded for the rest of the run: FFmpeg's libraries do not expect to be unloaded.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    loaded.error = "Movie: cannot load the movie encoder " + path.string() + " (" +
                   (why != nullptr ? why : "unknown error") + ")";
    return loaded;
  }
  const auto entry = reinterpret_cast<MovieModuleEntry>(dlsym(handle, kMovieModuleEntry));
  const MovieModuleApi* api = entry != nullptr ? entry() : nullptr;
  if (api == nullptr || api->version != kMovieModuleVersion) {
    loaded.error =
        "Movie: the movie encoder " + path.string() + " does not belong to this version of Orvo";
    dlclose(handle);
    return loaded;
  }
  loaded.api = api;
  return loaded;
}

// Loaded once, by the first recording or query, and never changed afterwards.
const LoadedModule& Module() {
  static const LoadedModule loaded = Load();
  return loaded;
}

}  // namespace

struct MovieWriter::Impl {
  const MovieModuleApi* api = nullptr;
  void* encoder = nullptr;
  std::string path;
  // The movie is written under a temporary name beside its target (a link's target) and put
  // in place when finished, as every save is.
  ReplacingFile file;

  ~Impl() {
    if (encoder != nullptr) api->destroy(encoder);
  }
};

MovieWriter::MovieWriter() = default;

MovieWriter::~MovieWriter() {
  Abandon();
}

bool MovieHasH264() {
  const MovieModuleApi* api = Module().api;
  return api != nullptr && api->hasH264() != 0;
}

bool MovieWriter::IsOpen() const {
  return impl_ != nullptr;
}
int64_t MovieWriter::Frames() const {
  return impl_ ? impl_->api->frames(impl_->encoder) : 0;
}
int64_t MovieWriter::BytesWritten() const {
  return impl_ ? impl_->api->bytesWritten(impl_->encoder) : 0;
}
std::string MovieWriter::VideoCodec() const {
  return impl_ ? impl_->api->videoCodec(impl_->encoder) : "";
}
const std::string& MovieWriter::Path() const {
  static const std::string kNone;
  return impl_ ? impl_->path : kNone;
}

void MovieWriter::Abandon() {
  if (impl_) impl_->api->abandon(impl_->encoder);
  impl_.reset();
}

bool MovieWriter::Open(const std::string& path, const MovieFormat& format, std::string* error) {
  Abandon();
  const LoadedModule& module = Module();
  if (module.api == nullptr) {
    *error = module.error;
    return false;
  }
  auto impl = std::make_unique<Impl>();
  impl->api = module.api;
  impl->path = path;
  impl->encoder = module.api->create();
  if (impl->encoder == nullptr) {
    *error = "Movie: out of memory";
    return false;
  }
  if (const WriteFailure failure = impl->file.Open(path); failure != WriteFailure::None) {
    *error = "Movie: " + WriteFailureText(failure, path);
    return false;
  }
  if (module.api->open(impl->encoder, impl->file.TemporaryPath().c_str(), path.c_str(), &format) ==
      0) {
    *error = module.api->lastError(impl->encoder);
    return false;
  }
  impl_ = std::move(impl);
  return true;
}

bool MovieWriter::AddFrame(const uint32_t* pixels, int stride, const uint8_t* audio,
                           uint32_t audioBytes, std::string* error) {
  if (!impl_) {
    *error = "Movie: no recording";
    return false;
  }
  if (impl_->api->addFrame(impl_->encoder, pixels, stride, audio, audioBytes) != 0) return true;
  *error = impl_->api->lastError(impl_->encoder);
  return false;
}

bool MovieWriter::Finish(std::string* error) {
  if (!impl_) return true;
  bool ok = impl_->api->finish(impl_->encoder) != 0;
  if (!ok) {
    *error = impl_->api->lastError(impl_->encoder);
  } else if (const WriteFailure failure = impl_->file.Commit(); failure != WriteFailure::None) {
    *error = "Movie: " + WriteFailureText(failure, impl_->path);
    ok = false;
  }
  impl_.reset();  // an uncommitted file is discarded
  return ok;
}

}  // namespace orvo
