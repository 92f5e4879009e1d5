// Orvo installed into a fresh prefix as `cmake --install` puts it: every file in its place (the
// ROMs that may be given away and no others), the desktop files accepted by the freedesktop.org
// validators, the manual page naming every option, and the installed runner booting every model
// from its own ROMs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/test_paths.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  const std::vector<uint8_t> bytes =
      fs::exists(path) ? ReadWholeFile(path) : std::vector<uint8_t>();
  return std::string(bytes.begin(), bytes.end());
}

std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += path.string();
  return quoted += '\'';
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
  // A module (the movie encoder, the shader renderer) under the prefix's library folder (lib/orvo/
  // or lib/<arch>/orvo/).
  static fs::path InstalledModule(const std::string& file) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(prefix_ / "lib", ec)) {
      if (entry.path().filename() == file) return entry.path();
    }
    return prefix_ / "lib/orvo" / file;
  }
  static fs::path InstalledMovieModule() { return InstalledModule("liborvo_movie.so"); }

  static inline fs::path prefix_;
  static inline std::string log_;
  static inline bool installed_ = false;
};

TEST_F(Installed, EveryFileIsInItsPlace) {
  ORVO_REQUIRE_FILE(BuildDir() / "roms" / "48k.rom");
  std::vector<std::string> files = {"bin/orvo-run",
                                    "share/orvo/roms/48k.rom",
                                    "share/orvo/roms/128k.rom",
                                    "share/orvo/roms/plus2.rom",
                                    "share/orvo/roms/plus3.rom",
                                    "share/orvo/roms/IF1.rom",
                                    "share/orvo/roms/README.md",
                                    "share/doc/orvo/copyright",
                                    "share/doc/orvo/changelog.gz",
                                    "share/orvo/libs/tape_48.z80",
                                    "share/applications/orvo.desktop",
                                    "share/mime/packages/orvo.xml",
                                    "share/metainfo/io.github.orvo.orvo.metainfo.xml",
                                    "share/icons/hicolor/scalable/apps/orvo.svg",
                                    "share/man/man1/orvo.1.gz",
                                    "share/man/man1/orvo-run.1.gz"};
  if (fs::exists(BuildDir() / "orvo")) files.push_back("bin/orvo");
  const fs::path module = InstalledMovieModule();
  EXPECT_EQ(module.parent_path().filename(), "orvo") << module;
  files.push_back(fs::relative(module, prefix_).string());
  if (fs::exists(BuildDir() / "liborvo_shader.so")) {
    const fs::path shader = InstalledModule("liborvo_shader.so");
    EXPECT_EQ(shader.parent_path(), module.parent_path()) << shader;
    files.push_back(fs::relative(shader, prefix_).string());
  }
  for (const std::string& file : files) {
    EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
    EXPECT_FALSE(ReadText(prefix_ / file).empty()) << file;
  }
  // The ROMs that may not be given away never are, whatever the build tree's roms/ held; the
  // permission for the others is beside them.
  for (const char* rom : {"MF128.rom", "MF3.rom", "mf1.rom", "currah.rom", "mf128.rom"})
    EXPECT_FALSE(fs::exists(Share() / "orvo/roms" / rom)) << rom;
  EXPECT_NE(ReadText(Share() / "orvo/roms/README.md").find("Amstrad have kindly given their"),
            std::string::npos);
  EXPECT_NE(ReadText(Share() / "doc/orvo/copyright").find("License: GPL-3+"), std::string::npos);
  // Each PNG icon is as large as the folder it sits in says.
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string n = std::to_string(size);
    const std::string png = ReadText(Share() / ("icons/hicolor/" + n + "x" + n + "/apps/orvo.png"));
    ASSERT_GE(png.size(), 24u) << size;
    EXPECT_EQ(png[18] << 8 | static_cast<uint8_t>(png[19]), size);
    EXPECT_EQ(png[22] << 8 | static_cast<uint8_t>(png[23]), size);
  }
}

// The entry claims exactly the types the MIME package declares; the freedesktop.org validators
// accept the entry and the metadata (a smoke check: their rules are theirs); the runner's manual
// page explains every option its --help lists.
TEST_F(Installed, DesktopFilesAgreeAndTheManualNamesEveryOption) {
  const std::string entry = ReadText(Share() / "applications/orvo.desktop");
  for (const char* line : {"\nExec=orvo %f\n", "\nIcon=orvo\n"})
    EXPECT_NE(entry.find(line), std::string::npos) << line;
  const std::string mime = ReadText(Share() / "mime/packages/orvo.xml");
  std::set<std::string> declared, claimed;
  const std::regex typeAttr("<mime-type type=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(mime.begin(), mime.end(), typeAttr);
       it != std::sregex_iterator(); ++it)
    declared.insert((*it)[1]);
  std::smatch line;
  ASSERT_TRUE(std::regex_search(entry, line, std::regex("\nMimeType=([^\n]*)\n")));
  std::stringstream list(line[1].str());
  for (std::string type; std::getline(list, type, ';');) claimed.insert(type);
  EXPECT_EQ(claimed, declared);
  EXPECT_TRUE(declared.count("application/x-spectrum-tzx"));

  int status = -1;
  std::string missing;
  for (const auto& [tool, file] :
       {std::pair<std::string, fs::path>{"desktop-file-validate",
                                         Share() / "applications/orvo.desktop"},
        {"appstreamcli validate --no-net",
         Share() / "metainfo/io.github.orvo.orvo.metainfo.xml"}}) {
    if (!ToolOnPath(tool.substr(0, tool.find(' ')))) {
      missing += " " + tool.substr(0, tool.find(' '));
      continue;
    }
    const std::string out = CaptureCommand(tool + " " + Quoted(file) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
  }

  ORVO_REQUIRE_TOOL("man");
  const std::string page = CaptureCommand(
      "MANWIDTH=100 man -l " + Quoted(Share() / "man/man1/orvo-run.1.gz") + " 2>&1", &status);
  EXPECT_EQ(status, 0) << page;
  const std::string help = CaptureCommand(Quoted(prefix_ / "bin/orvo-run") + " --help", &status);
  const std::regex option("(^|\\s)(--[a-z][a-z0-9-]*)");
  int options = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it, ++options)
    EXPECT_NE(page.find((*it)[2].str()), std::string::npos) << (*it)[2];
  EXPECT_GT(options, 20);
  if (!missing.empty()) GTEST_SKIP() << "missing tool:" << missing;
}

TEST_F(Installed, InstalledRunnerBootsThe48KWithItsOwnRom) {
  ORVO_REQUIRE_FILE(BuildDir() / "roms" / "48k.rom");
  // A user with no ROMs of their own: an empty data folder, no --rom-dir, no other installation.
  const fs::path home = prefix_ / "home";
  fs::create_directories(home);
  int status = -1;
  const std::string run = "env HOME=" + Quoted(home) +
                          " XDG_DATA_HOME= XDG_DATA_DIRS=" + Quoted(home) + " " +
                          Quoted(prefix_ / "bin/orvo-run");
  const std::string out = CaptureCommand(run + " --frames 200 --screen-text 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Model: ZX Spectrum 48K"), std::string::npos) << out;
  EXPECT_NE(out.find("ROM: " + (Share() / "orvo/roms/48k.rom").string() + " (16384 bytes)"),
            std::string::npos)
      << out;
  // The copyright line the ROM prints once it has started.
  EXPECT_TRUE(std::regex_search(out, std::regex("198[0-9]"))) << out;

  // Every model and the Interface 1 boot from the installed ROMs alone: the 128K's and the +3's
  // menus, and the Interface 1's CAT 1 taken as a command (no cartridge: its own report).
  const struct {
    const char* args;
    const char* shows;
  } boots[] = {{"--model 128 --frames 150", "Tape Loader"},
               {"--model plus2 --frames 150", "Tape Loader"},
               {"--model plus3 --frames 300", "Loader"},
               {"--if1 --frames 400 --type-frame 150 --type 'CAT 1'", "Microdrive not present"}};
  for (const auto& boot : boots) {
    const std::string screen =
        CaptureCommand(run + " " + boot.args + " --screen-text 2>&1", &status);
    EXPECT_EQ(status, 0) << boot.args << "\n" << screen;
    EXPECT_NE(screen.find(boot.shows), std::string::npos) << boot.args << "\n" << screen;
    EXPECT_EQ(screen.find("ROM missing"), std::string::npos) << screen;
  }

  // A movie loads the installed encoder module, not the build tree's (the dynamic loader's log
  // names the files it opens).
  const std::string movie =
      CaptureCommand("env HOME=" + Quoted(home) + " XDG_DATA_HOME= LD_DEBUG=files " +
                         Quoted(prefix_ / "bin/orvo-run") + " --frames 2 --movie " +
                         Quoted(home / "a.mkv") + " 2>&1",
                     &status);
  EXPECT_EQ(status, 0) << movie;
  EXPECT_NE(movie.find("file=" + InstalledMovieModule().string()), std::string::npos) << movie;
  EXPECT_TRUE(fs::is_regular_file(home / "a.mkv"));
  // So does a shader (drawn offscreen: the picture itself is the shader tests' business).
  if (fs::exists(BuildDir() / "liborvo_shader.so")) {
    const std::string shader = CaptureCommand(
        "env HOME=" + Quoted(home) + " XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen " +
            "LD_DEBUG=files " + Quoted(prefix_ / "bin/orvo-run") +
            " --frames 2 --shader 0 --screenshot " + Quoted(home / "s.png") + " 2>&1",
        &status);
    EXPECT_EQ(status, 0) << shader;
    EXPECT_NE(shader.find("file=" + InstalledModule("liborvo_shader.so").string()),
              std::string::npos)
        << shader;
    EXPECT_TRUE(fs::is_regular_file(home / "s.png"));
  }

  // Both programs answer --version, the window program without opening a window.
  for (const std::string program : {"orvo-run", "orvo"}) {
    if (!fs::exists(prefix_ / "bin" / program)) continue;
    const std::string version =
        CaptureCommand("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                           Quoted(prefix_ / "bin" / program) + " --version",
                       &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(
        std::regex_match(version, std::regex(program + " [0-9]+\\.[0-9]+( \\(git .+\\))?\n")))
        << version;
  }
}

}  // namespace
}  // namespace orvo::test
