// The shader chain as a user sees it: orvo-run draws a booted 48K through each effect into a
// screenshot (an offscreen OpenGL context, under Xvfb when there is no display), and records
// movies checked with ffprobe.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "run_orvo.h"

namespace orvo::test {
namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  // 0 outside the picture (or for a run that wrote none): the size checks report that.
  int At(int x, int y, int channel) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return rgb[(static_cast<size_t>(y) * width + x) * 3 + channel];
  }
  int Sum(int x, int y) const { return At(x, y, 0) + At(x, y, 1) + At(x, y, 2); }
};

Picture ReadPng(const std::filesystem::path& path) {
  Picture p;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
  image.format = PNG_FORMAT_RGB;
  p.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) return Picture{};
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  return p;
}

// How to start a program that needs OpenGL: the display there is, or a virtual one. The OpenGL
// driver and the X libraries keep allocations for the program's life: a sanitized build is not
// to count them as leaks. The X keyboard library hands strndup names that are not terminated
// within its buffer (it reads no further than the length it gives): the sanitizer's strndup
// would stop the program there, so it is left to the C library.
std::string GlPrefix() {
  const std::string env =
      "env QT_QPA_PLATFORM=xcb "
      "\"ASAN_OPTIONS=${ASAN_OPTIONS}:detect_leaks=0:intercept_strndup=0\" ";
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') return env;
  if (ToolOnPath("xvfb-run")) return "xvfb-run -a -s '-screen 0 1280x1024x24' " + env;
  return {};
}

class ShaderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_REQUIRE_RUNNER("48k.rom");
    prefix_ = GlPrefix();
    if (prefix_.empty()) GTEST_SKIP() << "missing tool: xvfb-run (and no display)";
  }

  // A booted 48K (the copyright line at the bottom) through `shader` options at `scale`; with no
  // options at all, the plain picture drawn without OpenGL.
  Picture Shot(const std::string& shader, int scale = 1, std::string* out = nullptr) {
    const std::string png = dir_ / "shot.png";
    int status = -1;
    const std::string text = CaptureCommand(
        (shader.empty() ? std::string() : prefix_) + (BuildDir() / "orvo-run").string() +
            " --rom-dir " + RomDir().string() + " --frames 100 " + shader + " --scale " +
            std::to_string(scale) + " --screenshot " + png + " 2>&1",
        &status);
    if (out != nullptr) *out = text;
    EXPECT_EQ(WEXITSTATUS(status), 0) << text;
    if (text.find("no OpenGL") != std::string::npos) noGl_ = true;
    Picture p = ReadPng(png);
    std::filesystem::remove(png);
    EXPECT_EQ(p.width, 352 * scale) << text;
    EXPECT_EQ(p.height, 296 * scale) << text;
    return p;
  }

  TempDir dir_;
  std::string prefix_;
  bool noGl_ = false;
};

// "No Shader" is the plain picture scaled by whole pixels; each effect compiles (no fall-back to
// "No Shader") and changes the picture; the curved CRT leaves black corners round a lit middle.
TEST_F(ShaderRun, NoShaderScalesByWholePixelsAndEachEffectChangesThePicture) {
  const Picture plain = Shot("");
  ASSERT_EQ(plain.width, 352);
  const Picture none = Shot("--shader 0", 3);
  if (noGl_) GTEST_SKIP() << "no OpenGL context";
  ASSERT_EQ(none.width, 352 * 3);
  int differing = 0;
  for (int y = 0; y < none.height; ++y)
    for (int x = 0; x < none.width; ++x)
      for (int c = 0; c < 3; ++c) differing += none.At(x, y, c) != plain.At(x / 3, y / 3, c);
  EXPECT_EQ(differing, 0);
  for (int effect = 1; effect <= 5; ++effect) {
    SCOPED_TRACE(effect);
    std::string out;
    const Picture p = Shot("--shader " + std::to_string(effect), 3, &out);
    EXPECT_EQ(out.find("No Shader used"), std::string::npos) << out;
    EXPECT_NE(p.rgb, none.rgb);
    if (effect != 4) continue;
    for (const auto& [x, y] : {std::pair{0, 0}, {p.width - 1, p.height - 1}, {3, 3}})
      EXPECT_EQ(p.Sum(x, y), 0) << x << "," << y;
    EXPECT_GT(p.Sum(p.width / 2, p.height / 3), 200);
  }
}

// A preset that does not compile falls back to "No Shader" with the compiler's log; two
// inversions through a framebuffer of twice the size give the picture back, the right way up (the
// second pass compiles only when the first pass's alias is defined), and a parameter reaches the
// program as a uniform.
TEST_F(ShaderRun, PresetsFallBackOrChainPassesWithAliasesAndParameters) {
  std::string broken, chained;
  const Picture fallback =
      Shot("--shader-preset " + (DataDir() / "shaders" / "broken.glslp").string(), 2, &broken);
  if (noGl_) GTEST_SKIP() << "no OpenGL context";
  for (const char* text : {"GLSL: fragment program errors", "undeclared_colour", "No Shader used"})
    EXPECT_NE(broken.find(text), std::string::npos) << broken;
  const std::string preset =
      "--shader-preset " + (DataDir() / "shaders" / "two_pass.glslp").string();
  const Picture twoPass = Shot(preset, 2, &chained);
  EXPECT_EQ(chained.find("failed"), std::string::npos) << chained;
  const Picture plain = Shot("--shader 0", 2);
  EXPECT_EQ(fallback.rgb, plain.rgb);  // the picture, not black
  EXPECT_EQ(twoPass.rgb, plain.rgb);
  const Picture dark = Shot(preset + " --shader-param BRIGHT=0", 2);
  EXPECT_EQ(dark.Sum(dark.width / 2, dark.height / 2), 0);
}

// orvo-run's shader renderer is a module: a run without a shader loads none of Qt (the dynamic
// loader's log lists every library it opens), a run with one loads the module beside the program
// and records the shader's picture into a movie at the shader's scale, and a broken module is
// named in the error rather than crashing the run.
TEST_F(ShaderRun, QtLoadsOnlyForAShaderAndABrokenRendererIsNamed) {
  const std::string runner =
      (BuildDir() / "orvo-run").string() + " --rom-dir " + RomDir().string() + " ";
  int status = -1;
  const std::string plain = CaptureCommand(
      "LD_DEBUG=files " + runner + "--frames 2 --screenshot " + (dir_ / "a.png") + " 2>&1",
      &status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << plain;
  ASSERT_NE(plain.find("file=libzip"), std::string::npos) << "no loader log:\n" << plain;
  // (X11 itself may come with SDL's sound, which the sanitizer build keeps linked.)
  for (const char* library : {"libQt6", "libGL", "libEGL", "liborvo_shader"})
    EXPECT_EQ(plain.find(library), std::string::npos) << library;

  const std::string movie = dir_ / "effect.mkv";
  const std::string shaded = CaptureCommand(prefix_ + "LD_DEBUG=files " + runner +
                                                "--frames 5 --shader 3 --scale 2 --movie-effect "
                                                "--movie " +
                                                movie + " 2>&1",
                                            &status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << shaded;
  EXPECT_NE(shaded.find("file=" + (BuildDir() / "liborvo_shader.so").string()), std::string::npos);
  EXPECT_NE(shaded.find("libQt6Gui"), std::string::npos);
  if (ToolOnPath("ffprobe")) {
    const std::string size = CaptureCommand(
        "ffprobe -v error -show_entries stream=width,height -of csv=p=0 " + movie, &status);
    EXPECT_NE(size.find("704,592"), std::string::npos) << size;
  }

  // A module beside the program that is not one: that file is reported, not another one used.
  const TempDir copy;
  std::filesystem::copy_file(BuildDir() / "orvo-run", copy.path / "orvo-run");
  const std::string broken = copy.Write("liborvo_shader.so", "not a library");
  const std::string out =
      CaptureCommand(copy / "orvo-run" + " --rom-dir " + RomDir().string() +
                         " --frames 2 --shader 1 --screenshot " + (copy / "b.png") + " 2>&1",
                     &status);
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;
  EXPECT_NE(out.find("orvo-run: Shader: cannot load the shader renderer " + broken + " ("),
            std::string::npos)
      << out;
  EXPECT_FALSE(std::filesystem::exists(copy / "b.png"));
}

TEST(MovieRun, TenSecondsAreFiveHundredFramesWithSoundInStep) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  ORVO_REQUIRE_TOOL("ffprobe");
  const TempDir dir;
  const std::string movie = dir / "movie.mp4";
  int status = -1;
  const std::string out = RunOrvo("--frames 500 --type 'BEEP 2,0' --movie " + movie, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Movie: 500 frames written"), std::string::npos) << out;
  const std::string probe = CaptureCommand(
      "ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames,duration "
      "-of csv=p=0 " +
          movie,
      &status);
  // "video,10.000000,500" and "audio,10.000000,N": both streams exactly ten seconds.
  EXPECT_NE(probe.find("video,10.000000,500"), std::string::npos) << probe;
  EXPECT_NE(probe.find("audio,10.0"), std::string::npos) << probe;
  // Only the movie is left in its folder: the temporary file it was written under is gone.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                          std::filesystem::directory_iterator()),
            1);
  // A movie cannot share the run with a WAV recording; a folder that does not exist fails.
  RunOrvo("--movie a.mp4 --wav a.wav", &status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  RunOrvo("--frames 2 --movie /nonexistent/folder/a.mp4", &status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace orvo::test
