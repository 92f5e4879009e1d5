// The instruction exercisers: every one of the 67 groups must report "OK". zexdoc masks the
// undocumented flag bits 5 and 3; zexall checks them too. Each run is about 46e9 T-states.
#include <gtest/gtest.h>

#include "cpu/cpm_runner.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

void RunExerciser(const char* name) {
  const std::filesystem::path path = SharedFile(std::string("testdata/cpu/zex/") + name);
  ORVO_REQUIRE_FILE(path);
  const CpmRun run = RunCpmProgram(ReadWholeFile(path), 60'000'000'000ull);
  ASSERT_TRUE(run.finished) << run.output;
  int ok = 0, errors = 0;
  CountExerciserResults(run.output, ok, errors);
  EXPECT_EQ(ok, 67) << run.output;
  EXPECT_EQ(errors, 0) << run.output;
  EXPECT_NE(run.output.find("Tests complete"), std::string::npos) << run.output;
}

TEST(Exercisers, ZexdocAllGroupsOk) {
  RunExerciser("zexdoc.com");
}
TEST(Exercisers, ZexallAllGroupsOk) {
  RunExerciser("zexall.com");
}

}  // namespace
}  // namespace orvo::test
