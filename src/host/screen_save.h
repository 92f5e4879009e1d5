#pragma once
// "Save Current Screen": the picture as presented, to a PNG (352 x 296 with the border, or the
// 256 x 192 display alone), or the display file to an SCR (see tools/screen_file.h). The kind
// comes from the file name's extension.
#include <string>

namespace orvo {

struct MachineState;

constexpr int kPictureWidth = 352;
constexpr int kPictureHeight = 296;
constexpr int kDisplayLeft = 48;  // where the 256 x 192 display sits in the picture
constexpr int kDisplayTop = 48;

// False with `error` set when the file cannot be written or the extension is neither .png nor
// .scr (either case).
bool SaveCurrentScreen(const MachineState& m, const std::string& path, bool withBorder,
                       std::string* error);

}  // namespace orvo
