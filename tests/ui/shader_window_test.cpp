// The window's shader effects on OpenGL (xcb only; the offscreen platform has no OpenGL view):
// the chosen effect on screen and the parameters dialog applied live and kept.
#include <QPushButton>
#include <QSlider>

#include "ui/display_extras.h"
#include "ui/picture_view.h"
#include "ui/window_test_support.h"

namespace orvo::ui::test {
namespace {

class ShaderWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !PlatformSupportsOpenGl())
      GTEST_SKIP() << "shaders are tested on the xcb platform with OpenGL only";
  }
  // A flat grey picture, drawn and read back at the view's size.
  QImage Show() {
    const std::vector<uint32_t> grey(352 * 296, 0xCACACA);
    window->Present(grey.data());
    ProcessEvents();
    return window->View()->Grab();
  }
  // Brightness of rows 100 and 101 in the middle of the picture.
  static std::pair<int, int> Rows(const QImage& image) {
    return {qGray(image.pixel(300, 100)), qGray(image.pixel(300, 101))};
  }
};

TEST_F(ShaderWindowTest, ParametersApplyLiveAndAreKeptPerEffect) {
  emu->settings.DrawMode = 2;
  emu->settings.OptShader = 3;  // Scanlines
  emu->settings.DrawSize = 2;
  OpenWindow();
  ASSERT_TRUE(window->View()->IsOpenGl());
  EXPECT_EQ(emu->m.video.ColourTable[0], 0x303030u);  // black is lifted for the effects
  const auto [bright, dark] = Rows(Show());
  EXPECT_GT(bright, dark + 10);  // at 200% every second row lies between two lines

  window->DispatchCommand(CommandId::ShaderParameters);
  ProcessEvents();
  auto* height = window->findChild<QSlider*>(QStringLiteral("SPOT_HEIGHT"));
  ASSERT_NE(height, nullptr);
  height->setValue(height->maximum());  // a tall spot: no gap between the lines
  const auto [bright2, dark2] = Rows(Show());
  EXPECT_LT(bright2 - dark2, bright - dark);
  EXPECT_NE(emu->settings.ShaderParameters[3].find("SPOT_HEIGHT=1"), std::string::npos)
      << emu->settings.ShaderParameters[3];

  auto* reset = window->findChild<QPushButton*>(QStringLiteral("reset"));
  ASSERT_NE(reset, nullptr);
  reset->click();
  EXPECT_EQ(emu->settings.ShaderParameters[3], "");
  EXPECT_EQ(Rows(Show()), std::make_pair(bright, dark));
}

}  // namespace
}  // namespace orvo::ui::test
