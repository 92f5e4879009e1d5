#include "render/display_check.h"

#include <QString>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace orvo::render {

namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

// The Qt platform to start: QT_QPA_PLATFORM's first choice, without its ":options".
std::string_view ChosenPlatform() {
  const char* value = std::getenv("QT_QPA_PLATFORM");
  if (value == nullptr) return {};
  const std::string_view text(value);
  return text.substr(0, text.find_first_of(":;"));
}

void PlatformStartHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "%s: cannot connect to the display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
                 program_invocation_short_name, display != nullptr ? display : "",
                 wayland != nullptr ? wayland : "");
    std::_Exit(1);
  }
  // The plugin's complaints say the same as the line above, which follows them.
  if (context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

std::string MissingDisplayReason() {
  const std::string_view platform = ChosenPlatform();
  const bool xcb = platform == "xcb";
  const bool wayland = platform.substr(0, 7) == "wayland";
  if (!platform.empty() && !xcb && !wayland) return {};
  if (xcb) return Set("DISPLAY") ? std::string() : "no display (DISPLAY is not set)";
  if (wayland) return {};  // its default socket may be there: the start handler tells
  if (Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return {};
  return "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
}

void InstallPlatformStartHandler() {
  qInstallMessageHandler(PlatformStartHandler);
}

void UndoPlatformStartHandler() {
  qInstallMessageHandler(nullptr);
}

}  // namespace orvo::render
