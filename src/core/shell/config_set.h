#pragma once
// Setting one orvo.ini key from a "Key=Value" text, as a command line does: the key by the name it
// has in the file, the value as a whole number (a decimal one for "Emulation Speed").
#include <string>
#include <string_view>

namespace orvo {

struct Settings;

// Sets the key named in `assignment` ("z80 version=1", "ULAplus=1") in `settings`. Returns false
// with `error` naming the key or the value when the key is unknown or the value is not a number.
bool SetSettingByName(Settings& settings, std::string_view assignment, std::string* error);

}  // namespace orvo
