#pragma once
// Enabled and checked states of the menu commands, kept by the core and read by the window after
// every frame or command.
#include <map>

#include "shell/command_id.h"

namespace orvo {

struct MenuItemState {
  bool enabled = true;
  bool checked = false;
};

class MenuStates {
 public:
  void Enable(CommandId command, bool enabled) { items_[command].enabled = enabled; }
  void Check(CommandId command, bool checked) { items_[command].checked = checked; }
  bool IsEnabled(CommandId command) const {
    auto it = items_.find(command);
    return it == items_.end() || it->second.enabled;
  }
  bool IsChecked(CommandId command) const {
    auto it = items_.find(command);
    return it != items_.end() && it->second.checked;
  }
  const std::map<CommandId, MenuItemState>& Items() const { return items_; }

 private:
  std::map<CommandId, MenuItemState> items_;
};

}  // namespace orvo
