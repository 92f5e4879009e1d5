#include "machine/game_controllers.h"

namespace orvo {

int ControllerIndexByName(const std::vector<std::string>& names, const std::string& name) {
  if (names.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  return 0;
}

}  // namespace orvo
