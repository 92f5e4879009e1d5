#include "app/rzx_run_options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "rzx/rzx_session.h"
#include "shell/emulator.h"

namespace orvo {

const char kRzxRunHelp[] =
    "Input recordings:\n"
    "  --rzx FILE         play an RZX recording as fast as possible (bounded by --frames when\n"
    "                     given); prints frames played, frames in the file and the first mismatch\n"
    "  --record-rzx FILE  record the run (keys, typing, tape) into an RZX file\n"
    "  --rollback-at F    while recording, keep a rollback point before frame F (repeatable)\n"
    "  --roll-back F      while recording, return to the last rollback point before frame F\n";

int ParseRzxRunOption(const std::vector<std::string>& args, size_t& i, RzxRunOptions& options,
                      std::string* error) {
  const std::string& a = args[i];
  const bool file = a == "--rzx" || a == "--record-rzx";
  const bool frame = a == "--rollback-at" || a == "--roll-back";
  if (!file && !frame) return 0;
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    *error = a + (file ? " needs a file name" : " needs a frame number");
    return -1;
  }
  const std::string& value = args[++i];
  if (file) {
    (a == "--rzx" ? options.playPath : options.recordPath) = value;
    return 1;
  }
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (end == value.c_str() || *end != '\0' || n < 0) {
    *error = a + " needs a whole number";
    return -1;
  }
  (a == "--rollback-at" ? options.rollbackAt : options.rollBackAt).push_back(n);
  return 1;
}

bool RzxRun::Start(Emulator& emu) {
  started_ = std::chrono::steady_clock::now();
  if (!options_.playPath.empty()) return OpenRzxFile(emu, options_.playPath);
  if (!options_.recordPath.empty()) StartRzxRecording(emu, options_.recordPath);
  return true;
}

void RzxRun::BeforeFrame(Emulator& emu, long frame) {
  auto has = [frame](const std::vector<long>& v) {
    return std::find(v.begin(), v.end(), frame) != v.end();
  };
  if (has(options_.rollBackAt)) RollBackToLast(emu);
  if (has(options_.rollbackAt)) AddRollbackPoint(emu);
}

bool RzxRun::Done(const Emulator& emu) const {
  return Playing() && !emu.rzx.playing;
}

bool RzxRun::Finish(Emulator& emu) {
  const RzxSession& s = emu.rzx;
  if (Playing()) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    char mismatch[96] = "none";
    if (s.mismatch.found) {
      std::snprintf(mismatch, sizeof mismatch, "frame %llu of block %u (%u reads, recorded %u)",
                    static_cast<unsigned long long>(s.mismatch.frame), s.mismatch.block,
                    s.mismatch.counted, s.mismatch.expected);
    }
    std::fprintf(stderr, "RZX: %llu of %llu frames played, mismatch: %s (%.0f frames/s)\n",
                 static_cast<unsigned long long>(s.framesPlayed),
                 static_cast<unsigned long long>(s.file.TotalFrames()), mismatch,
                 seconds > 0 ? static_cast<double>(s.framesPlayed) / seconds : 0.0);
    return s.finished && !s.mismatch.found;
  }
  if (!options_.recordPath.empty()) {
    const uint64_t frames = s.file.TotalFrames();
    const std::string path = s.outputPath;
    if (!StopRzxRecording(emu)) return false;
    std::fprintf(stderr, "Recorded: %s (%llu frames)\n", path.c_str(),
                 static_cast<unsigned long long>(frames));
  }
  return true;
}

}  // namespace orvo
