// The public input recordings replay to their last frame through orvo-run.
#include <gtest/gtest.h>

#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

class RzxRecording : public testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(RzxRecording, ReplaysToTheEndWithoutAMismatch) {
  const auto& [name, frames] = GetParam();
  const auto file = SharedFile(std::string("testdata/media/rzx/") + name);
  ORVO_REQUIRE_FILE(file);
  ORVO_REQUIRE_RUNNER("128k.rom");
  int status = -1;
  const std::string out = RunOrvo("--rzx " + file.string(), &status);
  EXPECT_EQ(status, 0) << out;
  const std::string count = std::to_string(frames);
  EXPECT_NE(out.find(count + " of " + count + " frames played, mismatch: none"), std::string::npos)
      << out;
}

INSTANTIATE_TEST_SUITE_P(
    Shared, RzxRecording,
    testing::Values(std::pair{"harddrivin.rzx", 22116}, std::pair{"Metro-Cross.rzx", 42755},
                    std::pair{"seto.rzx", 70737}, std::pair{"zynaps.rzx", 75680},
                    std::pair{"exolon.rzx", 112474}, std::pair{"gothik.rzx", 259160}));

}  // namespace
}  // namespace orvo::test
