#pragma once
// The program's version: the project version, and the git description of the source tree when it
// was built from a checkout.
#include <string>
#include <string_view>

namespace orvo {

// "0.1", from the project version.
std::string_view ProjectVersion();
// "v0.1-12-gabc1234-dirty" and so on; empty when not built from a checkout.
std::string_view GitDescription();
// What --version prints: "orvo 0.1 (git abc1234)", or "orvo 0.1" outside a checkout.
std::string VersionLine(std::string_view program);

}  // namespace orvo
