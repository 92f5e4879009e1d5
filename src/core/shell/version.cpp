#include "shell/version.h"

#include "orvo_git_version.h"

namespace orvo {

std::string_view ProjectVersion() {
  return ORVO_PROJECT_VERSION_TEXT;
}

std::string_view GitDescription() {
  return ORVO_GIT_DESCRIBE;
}

std::string VersionLine(std::string_view program) {
  std::string line(program);
  line += ' ';
  line += ProjectVersion();
  if (!GitDescription().empty()) {
    line += " (git ";
    line += GitDescription();
    line += ')';
  }
  return line;
}

}  // namespace orvo
