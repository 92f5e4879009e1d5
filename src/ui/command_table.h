#pragma once
// The menu bar and the accelerators as one table: each row a command number, where it sits, its
// text and key, and the window's handler. A later subsystem adds its command as a row here.
#include <span>

#include "shell/command_id.h"

namespace orvo::ui {

class MainWindow;

using CommandHandler = void (*)(MainWindow& window);

struct CommandRow {
  CommandId id;
  const char* menu;        // "File", "Emulation", ...; nullptr for a key with no menu item
  const char* submenu;     // "Insert Disk", ...; nullptr when the item sits in the menu itself
  const char* text;        // the item's text
  const char* shortcut;    // a QKeySequence text ("F3", "Ctrl+Delete"); nullptr for none
  CommandHandler handler;  // nullptr: the command's subsystem is not in this build (item greyed)
  bool checkable = false;  // the item shows a check mark kept in the core's menu states
  bool separatorBefore = false;
};

// In menu order: "File", "Emulation", "Tape", "View", "Tools", "RZX", "Debug", "Help", then the
// keys that have no menu item.
std::span<const CommandRow> CommandTable();
const CommandRow* FindCommand(CommandId id);
// The menus in the order the menu bar shows them.
std::span<const char* const> MenuTitles();

}  // namespace orvo::ui
