#pragma once
// Runs orvo-run from the build tree with the shared ROM folder, as the whole-machine tests do.
#include <string>

#include "support/test_paths.h"

namespace orvo::test {

// orvo-run with `arguments` (after --rom-dir), standard error folded into the output.
inline std::string RunOrvo(const std::string& arguments, int* status) {
  return CaptureCommand((BuildDir() / "orvo-run").string() + " --rom-dir " + RomDir().string() +
                            " " + arguments + " 2>&1",
                        status);
}

}  // namespace orvo::test
