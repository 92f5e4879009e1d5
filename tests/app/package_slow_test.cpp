// The Debian package `cpack -G DEB` makes from the build: the programs and the desktop files in
// it, and the shared libraries it needs among its dependencies.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

TEST(DebianPackage, HoldsTheProgramsAndDesktopFilesAndDependsOnTheLibraries) {
  ORVO_REQUIRE_FILE(BuildDir() / "CPackConfig.cmake");
  ORVO_REQUIRE_TOOL("dpkg-deb");
  ORVO_REQUIRE_TOOL("dpkg-shlibdeps");
  const TempDir out;
  int status = -1;
  const std::string log =
      CaptureCommand("cpack -G DEB --config '" + (BuildDir() / "CPackConfig.cmake").string() +
                         "' -B '" + out.path.string() + "' 2>&1",
                     &status);
  ASSERT_EQ(status, 0) << log;
  fs::path deb;
  for (const auto& entry : fs::directory_iterator(out.path)) {
    if (entry.path().extension() == ".deb") deb = entry.path();
  }
  ASSERT_FALSE(deb.empty()) << log;

  // The installed files are the install test's; the package holds them under /usr.
  const std::string contents = CaptureCommand("dpkg-deb -c '" + deb.string() + "'", &status);
  EXPECT_NE(contents.find("./usr/bin/orvo-run\n"), std::string::npos) << contents;
  EXPECT_TRUE(
      std::regex_search(contents, std::regex("\\./usr/lib/([^/\n]+/)?orvo/liborvo_movie\\.so\n")))
      << contents;

  const std::string info = CaptureCommand("dpkg-deb -I '" + deb.string() + "'", &status);
  EXPECT_EQ(status, 0);
  const size_t depends = info.find("\n Depends: ");
  ASSERT_NE(depends, std::string::npos) << info;
  const std::string line = info.substr(depends, info.find('\n', depends + 1) - depends);
  // libavcodec comes in through the movie module alone.
  for (const char* library : {"libsdl2-2.0-0", "libzip4", "libpng16-16", "libavcodec"}) {
    EXPECT_NE(line.find(library), std::string::npos) << library << " in" << line;
  }
  if (fs::exists(BuildDir() / "orvo")) {
    EXPECT_NE(line.find("libqt6widgets6"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace orvo::test
