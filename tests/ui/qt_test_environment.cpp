// The Qt application every test of this program runs in. It is made in the environment's set-up,
// never at static initialisation, so listing the tests needs no display. Without an explicit
// QT_QPA_PLATFORM the tests run on the platform CTest names in QT_QPA_PLATFORM_DEFAULT
// (offscreen unless told otherwise).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_paths.h"

namespace {

class QtEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QCoreApplication::instance() != nullptr) return;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    std::string chosen = platform != nullptr ? platform : "";
    if (chosen.empty()) {
      const char* fallback = std::getenv("QT_QPA_PLATFORM_DEFAULT");
      chosen = fallback != nullptr && *fallback ? fallback : "offscreen";
    }
    // The offscreen screen is as large as the Xvfb screen the window tests also run on.
    const std::filesystem::path screens = orvo::test::DataDir() / "offscreen_1280x1024.json";
    if (chosen == "offscreen" && std::filesystem::exists(screens)) {
      chosen += ":configfile=" + screens.string();
    }
    setenv("QT_QPA_PLATFORM", chosen.c_str(), 1);
    if (std::getenv("SDL_AUDIODRIVER") == nullptr) setenv("SDL_AUDIODRIVER", "dummy", 1);
    static int argc = 1;
    static char name[] = "orvo_tests_ui";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
