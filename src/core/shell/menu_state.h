#pragma once
// Enabled and checked states of the menu commands, kept by the core and read by the window after
// every frame or command.
#include <map>

namespace orvo {

struct MenuItemState {
  bool enabled = true;
  bool checked = false;
};

class MenuStates {
 public:
  void Enable(int command, bool enabled) { items_[command].enabled = enabled; }
  void Check(int command, bool checked) { items_[command].checked = checked; }
  bool IsEnabled(int command) const {
    auto it = items_.find(command);
    return it == items_.end() || it->second.enabled;
  }
  bool IsChecked(int command) const {
    auto it = items_.find(command);
    return it != items_.end() && it->second.checked;
  }
  const std::map<int, MenuItemState>& Items() const { return items_; }

 private:
  std::map<int, MenuItemState> items_;
};

}  // namespace orvo
