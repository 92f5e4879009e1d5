#pragma once
// How every benchmark measures and reports, and where it finds its data; standard library only.
//
// A measurement runs its work in batches until it has used at least `MinSeconds()` of processor
// time (1 s unless --seconds or ORVO_BENCH_SECONDS says otherwise), so that a figure rests on a
// run long enough to be stable. Processor time, not wall time, is counted: the benchmarks run on
// machines shared with other work, and a run that waits for a core has not been slower.
//
// Each figure is one line, in columns that bench/run.sh reads:
//   <program>.<figure>  <value>  <unit>  [<multiple> x real time]
// The name and the unit hold no spaces. Units that are times ("us/frame") are better when lower;
// every other unit is better when higher. "x real time" compares with the real machine, whose
// Z80 runs at 3.5 MHz and whose 48K frame lasts 20 ms.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace orvo::bench {

constexpr double kRealClockHz = 3.5e6;  // "1x real time" for T-state rates

// $ORVO_SHARED, or ../shared beside the source tree: the ROMs and the test programs.
inline std::string SharedDir() {
  const char* env = std::getenv("ORVO_SHARED");
  if (env && *env) return env;
  return std::string(ORVO_SOURCE_DIR) + "/../shared";
}

inline double ProcessSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double& MinSecondsSetting() {
  static double seconds = [] {
    const char* env = std::getenv("ORVO_BENCH_SECONDS");
    const double value = env ? std::atof(env) : 0.0;
    return value > 0 ? value : 1.0;
  }();
  return seconds;
}
inline double MinSeconds() {
  return MinSecondsSetting();
}

// Takes "--seconds S" from the command line (the minimum processor time of each measurement).
// Returns false, having printed a usage line, for --help.
inline bool ParseCommonOptions(int argc, char** argv, const char* what) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf(
          "Usage: %s [--seconds S]\n%s\nEach measurement runs for at least S seconds of "
          "processor time (default 1, or $ORVO_BENCH_SECONDS).\n",
          argv[0], what);
      return false;
    }
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      const double value = std::atof(argv[++i]);
      if (value > 0) MinSecondsSetting() = value;
    }
  }
  return true;
}

struct Measured {
  double units = 0;    // how much work was done (frames, T-states...)
  double seconds = 0;  // processor time it took
  double PerSecond() const { return seconds > 0 ? units / seconds : 0; }
  double SecondsPerUnit() const { return units > 0 ? seconds / units : 0; }
};

// Calls `batch(n)`, which does n units of work and returns how many it did (it may stop early, as
// an exerciser that has finished does; 0 ends the measurement), until MinSeconds() of processor
// time have been used. The batch size grows so that the clock is read about ten times a second.
template <class Batch>
Measured MeasureAtLeast(Batch&& batch, uint64_t firstBatch = 1) {
  Measured total;
  uint64_t n = std::max<uint64_t>(firstBatch, 1);
  while (total.seconds < MinSeconds()) {
    const double t0 = ProcessSeconds();
    const uint64_t done = batch(n);
    const double took = ProcessSeconds() - t0;
    total.units += static_cast<double>(done);
    total.seconds += took;
    if (done == 0) break;
    if (took < 0.05) n *= 2;
  }
  return total;
}

inline void PrintFigure(const std::string& name, double value, const char* unit) {
  std::printf("%-44s %12.3f %-12s\n", name.c_str(), value, unit);
  std::fflush(stdout);
}

inline void PrintFigure(const std::string& name, double value, const char* unit, double realTime) {
  std::printf("%-44s %12.3f %-12s %9.2f x real time\n", name.c_str(), value, unit, realTime);
  std::fflush(stdout);
}

// An emulated T-state rate, in millions per second and as a multiple of the real machine.
inline void PrintTStateRate(const std::string& name, double tstatesPerSecond) {
  PrintFigure(name, tstatesPerSecond / 1e6, "Mtstates/s", tstatesPerSecond / kRealClockHz);
}

}  // namespace orvo::bench
