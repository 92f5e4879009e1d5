// The movie encoder is a module loaded only when a movie is recorded: a run without one does not
// load FFmpeg at all (the dynamic loader's own log says which files it opened), a run with one
// loads the module beside the program, and a broken module fails the recording with an error
// naming the file rather than crashing the run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

TEST(MovieModule, FfmpegLoadsOnlyForAMovieAndABrokenModuleIsNamed) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const TempDir dir;
  int status = -1;
  // LD_DEBUG=files makes the dynamic loader list every library it opens on standard error.
  const std::string loaderLog =
      CaptureCommand("LD_DEBUG=files " + (BuildDir() / "orvo-run").string() + " --rom-dir " +
                         RomDir().string() + " --frames 2 2>&1",
                     &status);
  ASSERT_NE(loaderLog.find("file=libzip"), std::string::npos) << "no loader log:\n" << loaderLog;
  EXPECT_EQ(loaderLog.find("libavcodec"), std::string::npos);
  EXPECT_EQ(loaderLog.find("liborvo_movie"), std::string::npos);

  const std::string movieLog =
      CaptureCommand("LD_DEBUG=files " + (BuildDir() / "orvo-run").string() + " --rom-dir " +
                         RomDir().string() + " --frames 2 --movie " + (dir / "a.mkv") + " 2>&1",
                     &status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(movieLog.find("file=" + (BuildDir() / "liborvo_movie.so").string()), std::string::npos);
  EXPECT_NE(movieLog.find("libavcodec"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "a.mkv"));

  // A module beside the program that is not one: that file is reported, not another one used.
  fs::copy_file(BuildDir() / "orvo-run", dir.path / "orvo-run");
  const std::string broken = dir.Write("liborvo_movie.so", "not a library");
  const std::string out = CaptureCommand(dir / "orvo-run" + " --rom-dir " + RomDir().string() +
                                             " --frames 2 --movie " + (dir / "b.mp4") + " 2>&1",
                                         &status);
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;
  EXPECT_NE(out.find("Movie: cannot load the movie encoder " + broken + " ("), std::string::npos)
      << out;
  EXPECT_FALSE(fs::exists(dir / "b.mp4"));
  for (const auto& e : fs::directory_iterator(dir.path))
    EXPECT_EQ(e.path().filename().string().find(".orvo-save-"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace orvo::test
