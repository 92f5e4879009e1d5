#pragma once
// Whether the window system can be reached, asked before a QGuiApplication is made: Qt ends the
// program with SIGABRT when its platform plugin cannot start, after a page of advice.
#include <string>

namespace orvo::render {

// Empty when a display may be there, or the chosen Qt platform needs none (QT_QPA_PLATFORM
// offscreen, minimal, vnc, eglfs, linuxfb...); else why not, in a few words ("no display
// (DISPLAY is not set)").
std::string MissingDisplayReason();

// Until UndoPlatformStartHandler: Qt's fatal message (the display named but not reachable) becomes
// one line on standard error, "PROGRAM: cannot connect to the display ...", and exit status 1;
// the platform plugin's warnings before it are dropped.
void InstallPlatformStartHandler();
void UndoPlatformStartHandler();

}  // namespace orvo::render
