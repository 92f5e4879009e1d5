// Orvo installed into a fresh prefix as `cmake --install` puts it: every file in its place, the
// desktop files accepted by the freedesktop.org validators, the manual pages rendered, and the
// installed runner finding its ROM by itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/test_paths.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

// One installation for the whole suite, removed at the end.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = fs::temp_directory_path() / ("orvo_install_" + std::to_string(::getpid()));
    fs::remove_all(prefix_);
    if (!fs::exists(BuildDir() / "man" / "orvo-run.1.gz")) return;
    int status = -1;
    log_ = CaptureCommand(
        "cmake --install " + Quoted(BuildDir()) + " --prefix " + Quoted(prefix_) + " 2>&1",
        &status);
    installed_ = status == 0;
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(prefix_, ec);
  }
  void SetUp() override {
    ORVO_REQUIRE_FILE(BuildDir() / "man" / "orvo-run.1.gz");
    ASSERT_TRUE(installed_) << log_;
  }
  static fs::path Share() { return prefix_ / "share"; }

  static inline fs::path prefix_;
  static inline std::string log_;
  static inline bool installed_ = false;
};

TEST_F(Installed, EveryFileIsInItsPlace) {
  ORVO_REQUIRE_FILE(BuildDir() / "roms" / "48k.rom");
  std::vector<std::string> files = {
      "bin/orvo-run",
      "share/orvo/roms/48k.rom",
      "share/orvo/libs/tape_48.z80",
      "share/applications/orvo.desktop",
      "share/mime/packages/orvo.xml",
      "share/metainfo/io.github.orvo.orvo.metainfo.xml",
      "share/icons/hicolor/scalable/apps/orvo.svg",
      "share/man/man1/orvo.1.gz",
      "share/man/man1/orvo-run.1.gz",
  };
  if (fs::exists(BuildDir() / "orvo")) files.push_back("bin/orvo");
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    files.push_back("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                    "/apps/orvo.png");
  }
  for (const std::string& file : files) {
    const fs::path path = prefix_ / file;
    EXPECT_TRUE(fs::is_regular_file(path)) << file;
    EXPECT_GT(fs::exists(path) ? fs::file_size(path) : 0, 0u) << file;
  }
  // A PNG icon is as large as the folder it sits in says.
  const std::vector<uint8_t> png = ReadWholeFile(Share() / "icons/hicolor/48x48/apps/orvo.png");
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png[19], 48);
  EXPECT_EQ(png[23], 48);
}

TEST_F(Installed, DesktopEntryPassesTheValidatorAndOpensEveryDeclaredType) {
  const fs::path entry = Share() / "applications/orvo.desktop";
  const std::string text = ReadText(entry);
  EXPECT_NE(text.find("\nExec=orvo %f\n"), std::string::npos);
  EXPECT_NE(text.find("\nCategories=Game;Emulator;\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=orvo\n"), std::string::npos);

  // The entry claims exactly the types the MIME package declares.
  const std::string mime = ReadText(Share() / "mime/packages/orvo.xml");
  std::set<std::string> declared;
  const std::regex typeAttr("<mime-type type=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(mime.begin(), mime.end(), typeAttr);
       it != std::sregex_iterator(); ++it) {
    declared.insert((*it)[1]);
  }
  std::smatch line;
  ASSERT_TRUE(std::regex_search(text, line, std::regex("\nMimeType=([^\n]*)\n")));
  std::set<std::string> claimed;
  std::stringstream list(line[1].str());
  for (std::string type; std::getline(list, type, ';');) claimed.insert(type);
  EXPECT_EQ(claimed, declared);
  for (const char* kind :
       {"tap", "tzx", "csw", "z80", "sna", "szx", "snx", "sp", "rzx", "dsk", "mdr"}) {
    EXPECT_TRUE(declared.count(std::string("application/x-zx-spectrum-") + kind)) << kind;
  }

  ORVO_REQUIRE_TOOL("desktop-file-validate");
  int status = -1;
  const std::string out =
      CaptureCommand("desktop-file-validate " + Quoted(entry) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "");
}

TEST_F(Installed, MimePackageBuildsADatabaseThatKnowsTheSignatures) {
  ORVO_REQUIRE_TOOL("update-mime-database");
  int status = -1;
  const fs::path mime = Share() / "mime";
  const std::string out = CaptureCommand("update-mime-database " + Quoted(mime) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("rror"), std::string::npos) << out;
  const std::string magic = ReadText(mime / "magic");
  for (const char* signature : {"ZXTape!", "Compressed Square Wave", "ZXST", "RZX!", "MV - CPC"}) {
    EXPECT_NE(magic.find(signature), std::string::npos) << signature;
  }
}

TEST_F(Installed, AppStreamMetadataPassesTheValidator) {
  ORVO_REQUIRE_TOOL("appstreamcli");
  int status = -1;
  const std::string out =
      CaptureCommand("appstreamcli validate --no-net " +
                         Quoted(Share() / "metainfo/io.github.orvo.orvo.metainfo.xml") + " 2>&1",
                     &status);
  EXPECT_EQ(status, 0) << out;
}

TEST_F(Installed, ManualPagesRenderAndNameEveryRunnerOption) {
  ORVO_REQUIRE_TOOL("man");
  std::string pages[2];
  const char* names[2] = {"orvo", "orvo-run"};
  for (int i = 0; i < 2; ++i) {
    int status = -1;
    pages[i] = CaptureCommand("MANWIDTH=100 man -l " +
                                  Quoted(Share() / "man/man1" / (std::string(names[i]) + ".1.gz")) +
                                  " 2>&1",
                              &status);
    EXPECT_EQ(status, 0) << pages[i];
    for (const char* section : {"NAME", "SYNOPSIS", "OPTIONS", "EXIT STATUS", "FILES"}) {
      EXPECT_NE(pages[i].find(section), std::string::npos) << names[i] << ": " << section;
    }
    EXPECT_EQ(pages[i].find("@ORVO_VERSION@"), std::string::npos);
  }
  EXPECT_NE(pages[0].find("XDG_STATE_HOME/orvo/recent"), std::string::npos);

  // Every option the runner's --help lists is explained in its manual page.
  int status = -1;
  const std::string help = CaptureCommand(Quoted(prefix_ / "bin/orvo-run") + " --help", &status);
  EXPECT_EQ(status, 0);
  const std::regex option("(^|\\s)(--[a-z][a-z0-9-]*)");
  int options = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it) {
    ++options;
    EXPECT_NE(pages[1].find((*it)[2].str()), std::string::npos) << (*it)[2];
  }
  EXPECT_GT(options, 20);
}

TEST_F(Installed, InstalledRunnerBootsThe48KWithItsOwnRom) {
  ORVO_REQUIRE_FILE(BuildDir() / "roms" / "48k.rom");
  // A user with no ROMs of their own: an empty data folder, no --rom-dir.
  const fs::path home = prefix_ / "home";
  fs::create_directories(home);
  int status = -1;
  const std::string out = CaptureCommand("env HOME=" + Quoted(home) +
                                             " XDG_DATA_HOME= " + Quoted(prefix_ / "bin/orvo-run") +
                                             " --frames 200 --screen-text 2>&1",
                                         &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Model: ZX Spectrum 48K"), std::string::npos) << out;
  EXPECT_NE(out.find("ROM: " + (Share() / "orvo/roms/48k.rom").string() + " (16384 bytes)"),
            std::string::npos)
      << out;
  // The copyright line the ROM prints once it has started.
  EXPECT_TRUE(std::regex_search(out, std::regex("198[0-9]"))) << out;

  const std::string version =
      CaptureCommand(Quoted(prefix_ / "bin/orvo-run") + " --version", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::regex_match(version, std::regex("orvo-run [0-9]+\\.[0-9]+( \\(git .+\\))?\n")))
      << version;
  // The window program answers --version without opening a window (no display needed).
  if (fs::exists(prefix_ / "bin/orvo")) {
    const std::string window =
        CaptureCommand("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                           Quoted(prefix_ / "bin/orvo") + " --version",
                       &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::regex_match(window, std::regex("orvo [0-9]+\\.[0-9]+( \\(git .+\\))?\n")))
        << window;
  }
}

}  // namespace
}  // namespace orvo::test
