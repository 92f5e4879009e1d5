// The Debian package `cpack -G DEB` makes from the build: the programs and the desktop files in
// it, the shared libraries it needs among its dependencies, lintian's verdict, and the desktop
// offering Orvo for Spectrum files beside another Spectrum emulator's file types.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += path.string();
  return quoted += '\'';
}

std::string ReadText(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// One package for the suite, made in a folder of its own.
class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists(BuildDir() / "CPackConfig.cmake") || !ToolOnPath("dpkg-shlibdeps")) return;
    out_ = std::make_unique<TempDir>();
    int status = -1;
    log_ = CaptureCommand("cpack -G DEB --config " + Quoted(BuildDir() / "CPackConfig.cmake") +
                              " -B " + Quoted(out_->path) + " 2>&1",
                          &status);
    if (status != 0) return;
    for (const auto& entry : fs::directory_iterator(out_->path)) {
      if (entry.path().extension() == ".deb") deb_ = entry.path();
    }
  }
  static void TearDownTestSuite() { out_.reset(); }
  void SetUp() override {
    ORVO_REQUIRE_FILE(BuildDir() / "CPackConfig.cmake");
    ORVO_REQUIRE_TOOL("dpkg-deb");
    ORVO_REQUIRE_TOOL("dpkg-shlibdeps");
    ASSERT_FALSE(deb_.empty()) << log_;
  }

  static inline std::unique_ptr<TempDir> out_;
  static inline fs::path deb_;
  static inline std::string log_;
};

TEST_F(DebianPackage, HoldsTheProgramsAndDesktopFilesAndDependsOnTheLibraries) {
  int status = -1;
  // The installed files are the install test's; the package holds them under /usr.
  const std::string contents = CaptureCommand("dpkg-deb -c " + Quoted(deb_), &status);
  for (const char* file :
       {"./usr/bin/orvo-run\n", "./usr/share/orvo/roms/plus3.rom\n",
        "./usr/share/doc/orvo/copyright\n", "./usr/share/doc/orvo/changelog.gz\n"})
    EXPECT_NE(contents.find(file), std::string::npos) << file << contents;
  EXPECT_TRUE(
      std::regex_search(contents, std::regex("\\./usr/lib/([^/\n]+/)?orvo/liborvo_movie\\.so\n")))
      << contents;
  if (fs::exists(BuildDir() / "liborvo_shader.so")) {
    EXPECT_TRUE(std::regex_search(contents,
                                  std::regex("\\./usr/lib/([^/\n]+/)?orvo/liborvo_shader\\.so\n")))
        << contents;
  }

  const std::string info = CaptureCommand("dpkg-deb -I " + Quoted(deb_), &status);
  EXPECT_EQ(status, 0);
  const size_t depends = info.find("\n Depends: ");
  ASSERT_NE(depends, std::string::npos) << info;
  const std::string line = info.substr(depends, info.find('\n', depends + 1) - depends);
  // libavcodec comes in through the movie module alone, Qt's GUI library (without the window)
  // through the shader renderer alone.
  for (const char* library : {"libsdl2-2.0-0", "libzip4", "libpng16-16", "libavcodec"}) {
    EXPECT_NE(line.find(library), std::string::npos) << library << " in" << line;
  }
  if (fs::exists(BuildDir() / "liborvo_shader.so")) {
    EXPECT_NE(line.find("libqt6gui6"), std::string::npos) << line;
  }
  if (fs::exists(BuildDir() / "orvo")) {
    EXPECT_NE(line.find("libqt6widgets6"), std::string::npos) << line;
  }
}

// Debian's package checker finds no error (its warnings are listed for the reader).
TEST_F(DebianPackage, LintianFindsNoError) {
  ORVO_REQUIRE_TOOL("lintian");
  int status = -1;
  const std::string report =
      CaptureCommand("lintian --allow-root " + Quoted(deb_) + " 2>&1", &status);
  std::smatch error;
  EXPECT_FALSE(std::regex_search(report, error, std::regex("(^|\n)E: [^\n]*"))) << report;
  if (!report.empty()) std::printf("lintian:\n%s", report.c_str());
}

// The package unpacked beside another Spectrum emulator's MIME types (Debian's
// fuse-emulator-common, when installed) and the system's own: the desktop offers Orvo for each
// type it claims, and files are told apart by their signatures, not by two letters.
TEST_F(DebianPackage, TheDesktopOffersOrvoForSpectrumFilesBesideOtherEmulators) {
  ORVO_REQUIRE_TOOL("gio");
  ORVO_REQUIRE_TOOL("update-mime-database");
  ORVO_REQUIRE_TOOL("update-desktop-database");
  const TempDir root;
  int status = -1;
  ASSERT_EQ(std::system(("dpkg-deb -x " + Quoted(deb_) + " " + Quoted(root.path / "pkg")).c_str()),
            0);
  const fs::path share = root.path / "share";
  fs::create_directories(share / "mime/packages");
  fs::create_directories(share / "applications");
  const fs::path pkg = root.path / "pkg/usr/share";
  fs::copy_file(pkg / "mime/packages/orvo.xml", share / "mime/packages/orvo.xml");
  fs::copy_file(pkg / "applications/orvo.desktop", share / "applications/orvo.desktop");
  for (const char* other : {"freedesktop.org.xml", "fuse.xml"}) {
    if (fs::exists(fs::path("/usr/share/mime/packages") / other))
      fs::copy_file(fs::path("/usr/share/mime/packages") / other, share / "mime/packages" / other);
  }
  if (fs::exists("/usr/share/applications/fuse-sdl.desktop"))
    fs::copy_file("/usr/share/applications/fuse-sdl.desktop",
                  share / "applications/fuse-sdl.desktop");
  ASSERT_EQ(std::system(("update-mime-database " + Quoted(share / "mime")).c_str()), 0);
  ASSERT_EQ(
      std::system(
          ("update-desktop-database " + Quoted(share / "applications") + " 2>/dev/null").c_str()),
      0);
  // The desktop offers only programs it finds on the PATH: the package's are.
  const char* searchPath = std::getenv("PATH");
  const std::string env = "env PATH=" + Quoted(root.path / "pkg/usr/bin") + ":" +
                          (searchPath != nullptr ? searchPath : "/usr/bin") +
                          " XDG_DATA_DIRS=" + Quoted(share) +
                          " XDG_DATA_HOME=" + Quoted(root.path / "home") +
                          " XDG_CONFIG_HOME=" + Quoted(root.path / "config") + " ";

  const std::string entry = ReadText(share / "applications/orvo.desktop");
  std::smatch types;
  ASSERT_TRUE(std::regex_search(entry, types, std::regex("\nMimeType=([^\n]*)\n")));
  int checked = 0;
  std::stringstream list(types[1].str());
  for (std::string type; std::getline(list, type, ';'); ++checked) {
    EXPECT_EQ(type.find("x-zx-spectrum"), std::string::npos) << "Debian's name, please: " << type;
    const std::string apps = CaptureCommand(env + "gio mime " + type + " 2>&1", &status);
    EXPECT_NE(apps.find("orvo.desktop"), std::string::npos) << type << "\n" << apps;
  }
  EXPECT_GE(checked, 15);

  // By content: an SP snapshot and a text file that starts with "SP", both without an extension;
  // a SIT snapshot (28 bytes of registers, then the Spectrum ROM) and a StuffIt archive under the
  // same extension.
  const std::string rom = ReadText(RomDir() / "48k.rom");
  const struct {
    std::string name, bytes, type;
  } files[] = {
      {"game", std::string("SP\x00\xC0\x00\x40", 6) + std::string(49152, 'x'),
       "application/x-spectrum-sp"},
      {"cleaning", "SPRING CLEANING LIST\n- windows\n- attic\n", "text/plain"},
      {"game.sit", std::string(28, '\0') + rom + std::string(49152, '\0'),
       "application/x-spectrum-sit"},
      {"archive.sit", "StuffIt (c)1997-2001 Aladdin Systems, Inc." + std::string(80, '\0'),
       "application/x-stuffit"},
      {"game.tzx", "ZXTape!\x1a\x01\x14" + std::string(20, '\0'), "application/x-spectrum-tzx"}};
  for (const auto& f : files) {
    if (f.name == "game.sit" && rom.size() != 16384) continue;
    const std::string path = root.Write(f.name, f.bytes);
    const std::string type = CaptureCommand(
        env + "gio info -a standard::content-type " + Quoted(path) + " 2>&1", &status);
    EXPECT_NE(type.find("standard::content-type: " + f.type + "\n"), std::string::npos)
        << f.name << "\n"
        << type;
  }
}

}  // namespace
}  // namespace orvo::test
